#include "platform/wiring/PlatformPorts.h"

// FOLIORAY_HAVE_<ADAPTER> is defined by the build for each adapter library it links.
#if defined(FOLIORAY_HAVE_SANE)
#include "platform/sane/SaneScanner.h"
#endif
#if defined(FOLIORAY_HAVE_TURBOJPEG)
#include "platform/turbojpeg/TurboJpegLibrary.h"
#endif
#if defined(FOLIORAY_HAVE_CURL) || defined(FOLIORAY_HAVE_HARU)
#include "platform/wiring/LazyAdapters.h"
#endif
#if defined(FOLIORAY_HAVE_POSIX)
#include "platform/posix/PosixLauncher.h"
#include "platform/posix/RegFile.h"
#endif

namespace folioray {

#if defined(FOLIORAY_HAVE_SANE) && defined(FOLIORAY_HAVE_TURBOJPEG)
namespace {

// A scanned page compressed while it is read, for the write that follows.
class JpegSink : public SaneScanner::PageSink {
  public:
    explicit JpegSink(std::unique_ptr<JpegAhead::Page> page) : page_(std::move(page)) {}
    void Line(const uint8_t* bgr) override { page_->Line(bgr); }
    void Drain() override { page_->Drain(); }
    void Whole(const std::shared_ptr<const std::vector<uint8_t>>& dib, const uint8_t* bits,
               int64_t stride) override {
        page_->Finish(dib, bits, stride);
    }

  private:
    std::unique_ptr<JpegAhead::Page> page_;
};

}  // namespace
#endif

// Each adapter is made in its own spot below, so that one can be made lazily or left out
// without touching the others. Members go in reverse order: the scanner and its device
// thread go first.
struct PlatformPorts::Adapters {
#if defined(FOLIORAY_HAVE_POSIX)
    std::unique_ptr<RegFileRegistry> registry;
    std::unique_ptr<PosixLauncher> launcher;
#endif
#if defined(FOLIORAY_HAVE_HARU)
    std::unique_ptr<LazyObjects> objects;
#endif
#if defined(FOLIORAY_HAVE_CURL)
    std::unique_ptr<LazyInternet> internet;
#endif
#if defined(FOLIORAY_HAVE_TURBOJPEG)
    std::unique_ptr<TurboJpegLibrary> jpeg;
#endif
#if defined(FOLIORAY_HAVE_SANE)
    std::unique_ptr<SaneScanner> sane;
#endif
};

PlatformPorts::PlatformPorts([[maybe_unused]] Clipboard* clipboard)
    : adapters_(std::make_unique<Adapters>()) {
    [[maybe_unused]] Adapters& a = *adapters_;
#if defined(FOLIORAY_HAVE_SANE)
    if (clipboard) {
        a.sane = std::make_unique<SaneScanner>(*clipboard);
        ports_.scanner = a.sane.get();
    }
#endif
#if defined(FOLIORAY_HAVE_TURBOJPEG)
    a.jpeg = std::make_unique<TurboJpegLibrary>();
    ports_.jpeg = a.jpeg.get();
#endif
#if defined(FOLIORAY_HAVE_SANE) && defined(FOLIORAY_HAVE_TURBOJPEG)
    if (a.sane) {
        a.sane->SetPageSinks(
            [ahead = a.jpeg->Ahead()](int32_t width,
                                      int32_t height) -> std::unique_ptr<SaneScanner::PageSink> {
                std::unique_ptr<JpegAhead::Page> page = ahead->Begin(width, height);
                if (!page) return nullptr;
                return std::make_unique<JpegSink>(std::move(page));
            });
    }
#endif
#if defined(FOLIORAY_HAVE_CURL)
    // FTP and PDF are made on first use (LazyAdapters.h): a run that only scans never
    // starts curl or libharu.
    a.internet = std::make_unique<LazyInternet>();
    ports_.internet = a.internet.get();
#endif
#if defined(FOLIORAY_HAVE_HARU)
    a.objects = std::make_unique<LazyObjects>();
    ports_.objects = a.objects.get();
#endif
#if defined(FOLIORAY_HAVE_POSIX)
    a.registry = std::make_unique<RegFileRegistry>(RegFileRegistry::DefaultPath());
    ports_.registry = a.registry.get();
    a.launcher = std::make_unique<PosixLauncher>();
    ports_.launcher = a.launcher.get();
#endif
}

PlatformPorts::~PlatformPorts() = default;

void PlatformPorts::FillMissing(Ports& ports) const {
    if (!ports.scanner) ports.scanner = ports_.scanner;
    if (!ports.jpeg) ports.jpeg = ports_.jpeg;
    if (!ports.internet) ports.internet = ports_.internet;
    if (!ports.objects) ports.objects = ports_.objects;
    if (!ports.registry) ports.registry = ports_.registry;
    if (!ports.launcher) ports.launcher = ports_.launcher;
}

SaneScanner* PlatformPorts::sane() const {
#if defined(FOLIORAY_HAVE_SANE)
    return adapters_->sane.get();
#else
    return nullptr;
#endif
}

RegFileRegistry* PlatformPorts::registryFile() const {
#if defined(FOLIORAY_HAVE_POSIX)
    return adapters_->registry.get();
#else
    return nullptr;
#endif
}

}  // namespace folioray
