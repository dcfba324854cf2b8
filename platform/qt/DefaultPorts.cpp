#include "platform/qt/DefaultPorts.h"

#include <QStringList>

#include "platform/ports/Host.h"
#include "platform/qt/QtForms.h"

// FOLIORAY_HAVE_<ADAPTER> is defined by the build for each adapter library it links.
#if defined(FOLIORAY_HAVE_SANE)
#include "platform/sane/SaneScanner.h"
#endif
#if defined(FOLIORAY_HAVE_TURBOJPEG)
#include "platform/turbojpeg/TurboJpegLibrary.h"
#endif
#if defined(FOLIORAY_HAVE_CURL)
#include "platform/curl/CurlInternet.h"
#endif
#if defined(FOLIORAY_HAVE_HARU)
#include "acquire/ObjectRegistry.h"
#include "platform/haru/HaruImageStream.h"
#endif
#if defined(FOLIORAY_HAVE_POSIX)
#include "platform/posix/PosixLauncher.h"
#include "platform/posix/RegFile.h"
#endif

namespace folioray {

DefaultPorts::DefaultPorts([[maybe_unused]] Clipboard* clipboard) {
#if defined(FOLIORAY_HAVE_SANE)
    if (clipboard) {
        auto* sane = Own(std::make_shared<SaneScanner>(*clipboard));
        ports_.scanner = sane;
        sane_ = sane;
    }
#endif
#if defined(FOLIORAY_HAVE_TURBOJPEG)
    ports_.jpeg = Own(std::make_shared<TurboJpegLibrary>());
#endif
#if defined(FOLIORAY_HAVE_CURL)
    ports_.internet = Own(std::make_shared<CurlInternet>());
#endif
#if defined(FOLIORAY_HAVE_HARU)
    auto objects = std::make_shared<ObjectRegistry>();
    RegisterImageStream(*objects);
    ports_.objects = Own(objects);
#endif
#if defined(FOLIORAY_HAVE_POSIX)
    ports_.registry = Own(std::make_shared<RegFileRegistry>(RegFileRegistry::DefaultPath()));
    ports_.launcher = Own(std::make_shared<PosixLauncher>());
#endif
}

DefaultPorts::~DefaultPorts() {
    // The scanner (and its device thread) goes before the other adapters.
    ports_ = Ports{};
    sane_ = nullptr;
    for (std::shared_ptr<void>& adapter : owned_) adapter.reset();
}

void DefaultPorts::FillMissing(Ports& ports) const {
    if (!ports.scanner) ports.scanner = ports_.scanner;
    if (!ports.jpeg) ports.jpeg = ports_.jpeg;
    if (!ports.internet) ports.internet = ports_.internet;
    if (!ports.objects) ports.objects = ports_.objects;
    if (!ports.registry) ports.registry = ports_.registry;
    if (!ports.launcher) ports.launcher = ports_.launcher;
}

void DefaultPorts::Attach([[maybe_unused]] Host& host, [[maybe_unused]] QWidget* parent) {
#if defined(FOLIORAY_HAVE_SANE)
    if (!sane_) return;
    SaneScanner* sane = sane_;
    sane->SetPump([&host] { host.DoEvents(); });
    sane->SetChooser([parent](const std::vector<SaneDevice>& devices,
                              const std::string& current) -> std::optional<std::string> {
        QStringList items;
        int selected = 0;
        for (size_t i = 0; i < devices.size(); ++i) {
            const SaneDevice& d = devices[i];
            items << QString::fromStdString(d.vendor + " " + d.model + " (" + d.name + ")");
            if (d.name == current) selected = static_cast<int>(i);
        }
        const int chosen = ChooseFromList(parent, QStringLiteral("Select Source"),
                                          QStringLiteral("Sources:"), items, selected);
        if (chosen < 0) return std::nullopt;
        return devices[static_cast<size_t>(chosen)].name;
    });
#endif
}

void DefaultPorts::SetScannerDevice([[maybe_unused]] const std::string& name) {
#if defined(FOLIORAY_HAVE_SANE)
    if (sane_) sane_->SetDevice(name);
#endif
}

}  // namespace folioray
