// The JPEG writer against a bare TurboJPEG compress of the same pixels, and resampling of
// an A4 page at 300 dpi (2480 x 3508) to half size.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

#include "imaging/CDIBSection.h"
#include "imaging/IntelJPGLibrary.h"
#include "platform/turbojpeg/TurboJpegLibrary.h"

namespace {

using folioray::CDIBSection;

constexpr int kPageWidth = 2480;
constexpr int kPageHeight = 3508;
constexpr int kQuality = 75;

// A scanned-looking page: off-white paper, grey lines of "words", a photo-like block.
CDIBSection& Page() {
    static const std::unique_ptr<CDIBSection> page = [] {
        auto d = std::make_unique<CDIBSection>();
        if (!d->Create(kPageWidth, kPageHeight)) throw std::runtime_error("no page");
        std::mt19937 rng(20240601);
        const int stride = d->BytesPerScanLine();
        for (int row = 0; row < kPageHeight; ++row) {
            uint8_t* p = d->DIBSectionBitsPtr() + static_cast<size_t>(row) * stride;
            const int yTop = kPageHeight - 1 - row;
            const bool textLine = (yTop / 40) % 2 == 1 && yTop > 300 && yTop < 2600;
            for (int x = 0; x < kPageWidth; ++x) {
                int v = 240 + static_cast<int>(rng() % 12);
                if (textLine && x > 200 && x < 2280 && ((x / 23) % 5) != 0 && rng() % 3 == 0) {
                    v = 30 + static_cast<int>(rng() % 60);
                }
                uint8_t b = static_cast<uint8_t>(v), g = b, r = b;
                if (yTop >= 2700 && yTop < 3300 && x >= 400 && x < 2080) {
                    b = static_cast<uint8_t>((x * 7 + yTop) & 0xFF);
                    g = static_cast<uint8_t>((x + yTop * 3) & 0xFF);
                    r = static_cast<uint8_t>((x ^ yTop) & 0xFF);
                }
                p[3 * x] = b;
                p[3 * x + 1] = g;
                p[3 * x + 2] = r;
            }
        }
        return d;
    }();
    return *page;
}

std::string TargetFile() {
    static const std::string path = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/bench-jpeg-XXXXXX";
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        return pattern + "/page.jpg";
    }();
    return path;
}

// The same compression the writer asks for, with nothing around it.
unsigned long BareCompress(tjhandle handle, const CDIBSection& page) {
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (tjCompress2(handle, page.DIBSectionBitsPtr(), page.Width(), page.BytesPerScanLine(),
                    page.Height(), TJPF_BGR, &out, &size, TJSAMP_420, kQuality,
                    TJFLAG_BOTTOMUP) != 0) {
        throw std::runtime_error(tjGetErrorStr2(handle));
    }
    tjFree(out);
    return size;
}

void BM_SaveJpegFile(benchmark::State& state) {
    CDIBSection& page = Page();
    folioray::TurboJpegLibrary library;
    const std::string path = TargetFile();
    for (auto _ : state) {
        benchmark::DoNotOptimize(folioray::SaveJpegFile(library, page, path, kQuality));
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    state.counters["MPix/s"] =
        benchmark::Counter(static_cast<double>(kPageWidth) * kPageHeight / 1e6,
                           benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SaveJpegFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TurboJpegCompress(benchmark::State& state) {
    const CDIBSection& page = Page();
    tjhandle handle = tjInitCompress();
    unsigned long size = 0;
    for (auto _ : state) benchmark::DoNotOptimize(size = BareCompress(handle, page));
    tjDestroy(handle);
    state.counters["bytes"] = static_cast<double>(size);
    state.counters["MPix/s"] =
        benchmark::Counter(static_cast<double>(kPageWidth) * kPageHeight / 1e6,
                           benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_TurboJpegCompress)->Unit(benchmark::kMillisecond)->UseRealTime();

double ThreadSeconds() {
    struct timespec t {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Both in turns within one run, so that the ratio sees the same machine state. The
// thread's CPU time (which includes the kernel's work on the file) is steady on a busy
// machine; the wall-clock ratio is given beside it.
void BM_SaveJpegFileOverBareCompress(benchmark::State& state) {
    CDIBSection& page = Page();
    folioray::TurboJpegLibrary library;
    const std::string path = TargetFile();
    tjhandle handle = tjInitCompress();
    using Clock = std::chrono::steady_clock;
    Clock::duration writerWall{}, bareWall{};
    double writerCpu = 0, bareCpu = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const double c0 = ThreadSeconds();
        folioray::SaveJpegFile(library, page, path, kQuality);
        const auto t1 = Clock::now();
        const double c1 = ThreadSeconds();
        benchmark::DoNotOptimize(BareCompress(handle, page));
        const auto t2 = Clock::now();
        const double c2 = ThreadSeconds();
        writerWall += t1 - t0;
        bareWall += t2 - t1;
        writerCpu += c1 - c0;
        bareCpu += c2 - c1;
    }
    tjDestroy(handle);
    state.counters["ratio"] = writerCpu / bareCpu;
    state.counters["wall ratio"] = std::chrono::duration<double>(writerWall).count() /
                                   std::chrono::duration<double>(bareWall).count();
}
BENCHMARK(BM_SaveJpegFileOverBareCompress)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Resample(benchmark::State& state) {
    const CDIBSection& page = Page();
    const int newWidth = kPageWidth / 2;
    const int newHeight = kPageHeight / 2;
    for (auto _ : state) {
        auto half = page.Resample(newHeight, newWidth);
        benchmark::DoNotOptimize(half->DIBSectionBitsPtr());
    }
    state.counters["out MPix/s"] =
        benchmark::Counter(static_cast<double>(newWidth) * newHeight / 1e6,
                           benchmark::Counter::kIsIterationInvariantRate);
    state.counters["src MPix/s"] =
        benchmark::Counter(static_cast<double>(kPageWidth) * kPageHeight / 1e6,
                           benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Resample)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(TargetFile()).parent_path(), ec);
    return 0;
}
