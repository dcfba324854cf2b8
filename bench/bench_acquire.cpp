// The scan pipeline end to end (SANE test device at 300 dpi, clipboard DIB, Image2, JPEG
// file) and its parts, and the PDF step (libharu "Image.Stream") on the JPEG it made.
// bench/scan_vs_scanimage.sh sets these beside scanimage and img2pdf.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "control/ScanControl.h"
#include "platform/haru/HaruImageStream.h"
#include "platform/headless/HeadlessHost.h"
#include "platform/headless/HeadlessPreview.h"
#include "platform/headless/MemoryClipboard.h"
#include "platform/sane/SaneScanner.h"
#include "platform/turbojpeg/TurboJpegLibrary.h"
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

struct Pipeline {
    folioray::HeadlessHost host;
    folioray::MemoryClipboard clipboard;
    folioray::HeadlessPreview preview;
    folioray::SaneScanner scanner{clipboard};
    folioray::TurboJpegLibrary jpeg;
    folioray::ObjectRegistry objects;
    std::unique_ptr<folioray::ScanControl> control;

    Pipeline() {
        Configure(scanner);
        folioray::RegisterImageStream(objects);
        folioray::Ports ports;
        ports.host = &host;
        ports.clipboard = &clipboard;
        ports.preview = &preview;
        ports.scanner = &scanner;
        ports.jpeg = &jpeg;
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
    for (auto _ : state) p.control->StartScan();
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
BENCHMARK(BM_SaneAcquire300dpi)->Unit(benchmark::kMillisecond);

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
