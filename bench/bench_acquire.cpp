// The scan pipeline end to end (SANE test device at 300 dpi, clipboard DIB, Image2, JPEG
// file) and its parts, and the PDF step (libharu "Image.Stream") on the JPEG it made.
// bench/scan_vs_scanimage.sh sets these beside scanimage and img2pdf.
#include <benchmark/benchmark.h>
#include <sane/sane.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/ProcessCpu.h"
#include "control/ScanControl.h"
#include "imaging/CDIBSection.h"
#include "imaging/IntelJPGLibrary.h"
#include "platform/haru/HaruImageStream.h"
#include "platform/headless/HeadlessHost.h"
#include "platform/headless/HeadlessPreview.h"
#include "platform/headless/MemoryClipboard.h"
#include "platform/sane/ReaderThreads.h"
#include "platform/sane/SaneFrames.h"
#include "platform/sane/SaneScanner.h"
#include "platform/turbojpeg/TurboJpegLibrary.h"
#include "platform/wiring/PlatformPorts.h"
#include "ports/ObjectRegistry.h"
#include "runtime/ClipboardDib.h"

namespace {

namespace fs = std::filesystem;

// A private SANE configuration with only the test backend (unless the caller gave one).
const std::string& WorkDir() {
    static const std::string dir = [] {
        std::string pattern = (fs::temp_directory_path() / "folioray-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
        if (!std::getenv("SANE_CONFIG_DIR")) {
            fs::create_directory(pattern + "/sane");
            std::ofstream(pattern + "/sane/dll.conf") << "test\n";
            std::ofstream(pattern + "/sane/test.conf") << "number_of_devices 1\nresolution 300\n";
            ::setenv("SANE_CONFIG_DIR", (pattern + "/sane").c_str(), 1);
        }
        return pattern;
    }();
    return dir;
}

// The settings of the comparison: colour pattern, 80 x 100 mm at 300 dpi, quality 75.
void Configure(folioray::SaneScanner& s) {
    s.SetDevice("test:0");
    s.SetOption("mode", "Color");
    s.SetOption("test-picture", "Color pattern");
    s.SetOption("resolution", "300");
}

// CPU of every thread of the process (the SANE thread, the backend's reader, the JPEG
// worker), per iteration, in ms: the calling thread's alone misses the work handed off.
class ProcessCpu {
  public:
    void Report(benchmark::State& state) const {
        if (state.iterations() > 0) {
            state.counters["process_cpu_ms"] = (folioray::bench::ProcessCpuSeconds() - start_) *
                                               1000 / static_cast<double>(state.iterations());
        }
    }

  private:
    double start_ = folioray::bench::ProcessCpuSeconds();
};

struct Pipeline {
    folioray::HeadlessHost host;
    folioray::MemoryClipboard clipboard;
    folioray::HeadlessPreview preview;
    // Scanner and JPEG library wired together as a host gets them.
    folioray::PlatformPorts platform{&clipboard};
    folioray::ObjectRegistry objects;
    std::unique_ptr<folioray::ScanControl> control;

    Pipeline() {
        Configure(*platform.sane());
        folioray::RegisterImageStream(objects);
        folioray::Ports ports;
        ports.host = &host;
        ports.clipboard = &clipboard;
        ports.preview = &preview;
        ports.scanner = platform.ports().scanner;
        ports.jpeg = platform.ports().jpeg;
        ports.objects = &objects;
        control = std::make_unique<folioray::ScanControl>(ports);
        control->FilePath(WorkDir());
        control->Quality(75);
    }
};

void BM_ScanToJpeg300dpi(benchmark::State& state) {
    Pipeline p;
    int events = 0;
    p.control->ScanComplete = [&](std::string&) { ++events; };
    const ProcessCpu cpu;
    for (auto _ : state) p.control->StartScan();
    cpu.Report(state);
    if (events != static_cast<int>(state.iterations()) || !p.host.messages.empty()) {
        state.SkipWithError("a scan failed");
        return;
    }
    state.counters["jpeg_bytes"] = p.control->ImageSize();
    state.counters["pixels"] =
        static_cast<double>(p.control->ImageWidth()) * p.control->ImageHeight();
}
BENCHMARK(BM_ScanToJpeg300dpi)->Unit(benchmark::kMillisecond);

void BM_ScanToPdf300dpi(benchmark::State& state) {
    Pipeline p;
    p.control->SaveAsPDF(folioray::Variant(true));
    for (auto _ : state) p.control->StartScan();
    if (!p.host.messages.empty()) state.SkipWithError("a scan failed");
    state.counters["pdf_bytes"] = static_cast<double>(fs::file_size(WorkDir() + "/scanx.pdf"));
}
BENCHMARK(BM_ScanToPdf300dpi)->Unit(benchmark::kMillisecond);

// The device alone: SANE to a DIB on the clipboard.
void BM_SaneAcquire300dpi(benchmark::State& state) {
    WorkDir();
    folioray::MemoryClipboard clipboard;
    folioray::SaneScanner scanner(clipboard);
    Configure(scanner);
    for (auto _ : state) {
        if (!scanner.TWAIN_AcquireToClipboard(0, 0))
            state.SkipWithError(scanner.LastError().c_str());
    }
}
// Its work is on the SANE thread: run for a while of the clock, not of this thread's CPU.
BENCHMARK(BM_SaneAcquire300dpi)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor the pipeline is held to: the same page read through SANE with nothing else
// (open, options, read, close) and compressed by a bare tjCompress2 (RGB rows as the
// device sends them, 4:2:0, quality 75, into memory).
struct BarePage {
    std::vector<unsigned char> rgb;
    int width = 0;
    int height = 0;
};

void SetOption(SANE_Handle h, const char* name, void* value) {
    SANE_Int count = 0;
    sane_control_option(h, 0, SANE_ACTION_GET_VALUE, &count, nullptr);
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
        if (!d || !d->name || std::string(d->name) != name) continue;
        SANE_Word word = 0;
        if (d->type == SANE_TYPE_FIXED) {  // the test device's resolution is fixed-point
            word = SANE_FIX(*static_cast<SANE_Word*>(value));
            value = &word;
        }
        sane_control_option(h, i, SANE_ACTION_SET_VALUE, value, nullptr);
    }
}

// The test backend cancels its reader thread on sane_cancel: let it rest first, as the
// control does (ReaderThreads.h), or the bench may hang.
bool ReadBarePage(BarePage& page) {
    SANE_Handle h = nullptr;
    if (sane_open("test:0", &h) != SANE_STATUS_GOOD) return false;
    char mode[] = "Color";
    char picture[] = "Color pattern";
    SANE_Word dpi = 300;
    SetOption(h, "mode", mode);
    SetOption(h, "test-picture", picture);
    SetOption(h, "resolution", &dpi);
    SANE_Parameters p{};
    const std::vector<long> before = folioray::sane::ThreadIds();
    bool ok = sane_start(h) == SANE_STATUS_GOOD && sane_get_parameters(h, &p) == SANE_STATUS_GOOD;
    if (ok) {
        page.width = p.pixels_per_line;
        page.height = p.lines;
        page.rgb.resize(static_cast<size_t>(p.bytes_per_line) * static_cast<size_t>(p.lines));
        size_t at = 0;
        SANE_Int length = 0;
        SANE_Status s = SANE_STATUS_GOOD;
        while (
            at < page.rgb.size() &&
            (s = sane_read(h, page.rgb.data() + at,
                           static_cast<SANE_Int>(std::min<size_t>(page.rgb.size() - at, 64 * 1024)),
                           &length)) == SANE_STATUS_GOOD) {
            at += static_cast<size_t>(length);
        }
        ok = at == page.rgb.size();
    }
    folioray::sane::WaitForNewThreadsToRest(before, std::chrono::milliseconds(20),
                                            std::chrono::microseconds(20));
    sane_cancel(h);
    sane_close(h);
    return ok;
}

void BM_BareSaneRead300dpi(benchmark::State& state) {
    WorkDir();
    SANE_Int version = 0;
    sane_init(&version, nullptr);
    BarePage page;
    const ProcessCpu cpu;
    for (auto _ : state) {
        if (!ReadBarePage(page)) state.SkipWithError("the bare SANE read failed");
    }
    cpu.Report(state);
    sane_exit();
}
BENCHMARK(BM_BareSaneRead300dpi)->Unit(benchmark::kMillisecond);

void BM_BareTjCompress300dpi(benchmark::State& state) {
    WorkDir();
    SANE_Int version = 0;
    sane_init(&version, nullptr);
    BarePage page;
    const bool read = ReadBarePage(page);
    sane_exit();
    if (!read) {
        state.SkipWithError("the bare SANE read failed");
        return;
    }
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    for (auto _ : state) {
        if (tjCompress2(tj, page.rgb.data(), page.width, 0, page.height, TJPF_RGB, &out, &size,
                        TJSAMP_420, 75, 0) != 0) {
            state.SkipWithError("tjCompress2 failed");
        }
    }
    tjFree(out);
    tjDestroy(tj);
    state.counters["jpeg_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_BareTjCompress300dpi)->Unit(benchmark::kMillisecond);

// The stages between them, each on that page: frames to the clipboard DIB, the DIB into
// Image2, Image2 into the DIB section, the DIB section to a JPEG file.
BarePage ReadPageOnce() {
    SANE_Int version = 0;
    sane_init(&version, nullptr);
    BarePage page;
    const bool read = ReadBarePage(page);
    sane_exit();
    if (!read) throw std::runtime_error("the bare SANE read failed");
    return page;
}

std::vector<uint8_t> DibOf(const BarePage& page) {
    folioray::sane::FrameAssembler frames(folioray::kMaxDibPixels);
    frames.BeginFrame(
        {folioray::sane::FrameFormat::Rgb, true, page.width * 3, page.width, page.height, 8});
    frames.Append(page.rgb.data(), page.rgb.size());
    frames.EndFrame();
    return frames.MakeDib(300);
}

void BM_StageFramesToDib300dpi(benchmark::State& state) {
    WorkDir();
    const BarePage page = ReadPageOnce();
    for (auto _ : state) benchmark::DoNotOptimize(DibOf(page));
}
BENCHMARK(BM_StageFramesToDib300dpi)->Unit(benchmark::kMillisecond);

void BM_StagePictureToDibSection300dpi(benchmark::State& state) {
    WorkDir();
    const folioray::Picture picture = folioray::PictureFromDib(DibOf(ReadPageOnce()));
    for (auto _ : state) {
        folioray::CDIBSection dib;
        dib.CreateFromPicture(picture);
        benchmark::DoNotOptimize(dib.DIBSectionBitsPtr());
    }
}
BENCHMARK(BM_StagePictureToDibSection300dpi)->Unit(benchmark::kMillisecond);

void BM_StageSaveJpegFile300dpi(benchmark::State& state) {
    WorkDir();
    const folioray::Picture picture = folioray::PictureFromDib(DibOf(ReadPageOnce()));
    folioray::CDIBSection dib;
    dib.CreateFromPicture(picture);
    folioray::TurboJpegLibrary jpeg;
    for (auto _ : state) folioray::SaveJpegFile(jpeg, dib, WorkDir() + "/stage.jpg", 75);
}
BENCHMARK(BM_StageSaveJpegFile300dpi)->Unit(benchmark::kMillisecond);

// Reading that DIB into Image2.
void BM_ClipboardDibToPicture300dpi(benchmark::State& state) {
    WorkDir();
    folioray::MemoryClipboard clipboard;
    folioray::SaneScanner scanner(clipboard);
    Configure(scanner);
    if (!scanner.TWAIN_AcquireToClipboard(0, 0)) {
        state.SkipWithError(scanner.LastError().c_str());
        return;
    }
    const std::vector<uint8_t> dib = *clipboard.GetDib();
    for (auto _ : state) benchmark::DoNotOptimize(folioray::PictureFromDib(dib));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(dib.size()));
}
BENCHMARK(BM_ClipboardDibToPicture300dpi)->Unit(benchmark::kMillisecond);

// The PDF step alone, on the JPEG of a 300 dpi scan (FOLIORAY_BENCH_JPEG names another).
void BM_JpegToPdf(benchmark::State& state) {
    std::string jpeg;
    if (const char* given = std::getenv("FOLIORAY_BENCH_JPEG")) {
        jpeg = given;
    } else {
        Pipeline p;
        p.control->StartScan();
        jpeg = WorkDir() + "/scanx.jpg";
    }
    folioray::PdfFromJpeg job;
    job.jpegPath = jpeg;
    job.pdfPath = WorkDir() + "/bench.pdf";
    job.title = "Folioray Image";
    job.author = "Brackenmoor (Pty) Ltd";
    job.creator = "Folioray ActiveX Control";
    for (auto _ : state) folioray::WriteJpegAsPdf(job);
    state.counters["jpeg_bytes"] = static_cast<double>(fs::file_size(jpeg));
    state.counters["pdf_bytes"] = static_cast<double>(fs::file_size(job.pdfPath));
}
BENCHMARK(BM_JpegToPdf)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    WorkDir();  // before any scanner talks to SANE
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(WorkDir());
    return 0;
}
