#include "platform/qt/DefaultPorts.h"

#include <QDir>
#include <QProgressDialog>
#include <QSettings>
#include <QStringList>

#include "platform/qt/QtForms.h"
#include "platform/wiring/PlatformPorts.h"
#include "ports/Host.h"

// FOLIORAY_HAVE_SANE is defined by the build when it links the SANE adapter.
#if defined(FOLIORAY_HAVE_SANE)
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include "platform/qt/AcquireDialog.h"
#include "platform/sane/SaneScanner.h"
#endif

namespace folioray {

namespace {

[[maybe_unused]] const QString kDeviceKey = QStringLiteral("Scanner/Device");

}  // namespace

QString ScannerSettingsFile() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // Relative values are to be ignored, as the XDG rules say.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/folioray2/scanner.ini");
}

DefaultPorts::DefaultPorts(Clipboard* clipboard)
    : platform_(std::make_unique<PlatformPorts>(clipboard)) {
    sane_ = platform_->sane();
}

DefaultPorts::~DefaultPorts() = default;

const Ports& DefaultPorts::ports() const {
    return platform_->ports();
}

void DefaultPorts::FillMissing(Ports& ports) const {
    platform_->FillMissing(ports);
}

void DefaultPorts::Attach([[maybe_unused]] Host& host, [[maybe_unused]] QWidget* parent) {
#if defined(FOLIORAY_HAVE_SANE)
    if (!sane_) return;
    SaneScanner* sane = sane_;
    // A local event loop that ends when the device thread writes to the descriptor: the
    // window paints meanwhile, and the result is taken at once.
    sane->SetWait([](int fd, std::chrono::milliseconds timeout) {
        QEventLoop loop;
        QSocketNotifier ready(static_cast<qintptr>(fd), QSocketNotifier::Read);
        QObject::connect(&ready, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
        loop.exec();
    });
    QSettings settings(ScannerSettingsFile(), QSettings::IniFormat);
    sane->SetDevice(settings.value(kDeviceKey).toString().toStdString());
    sane->SetChooser([parent](const std::vector<SaneDevice>& devices,
                              const std::string& current) -> std::optional<std::string> {
        QList<QStringList> rows;
        int selected = 0;
        for (size_t i = 0; i < devices.size(); ++i) {
            const SaneDevice& d = devices[i];
            rows << QStringList{QString::fromStdString(d.name), QString::fromStdString(d.vendor),
                                QString::fromStdString(d.model), QString::fromStdString(d.type)};
            if (d.name == current) selected = static_cast<int>(i);
        }
        const int chosen =
            ChooseFromList(parent, QStringLiteral("Select Source"), QStringLiteral("Sources:"),
                           {QStringLiteral("Name"), QStringLiteral("Vendor"),
                            QStringLiteral("Model"), QStringLiteral("Type")},
                           rows, selected);
        if (chosen < 0) return std::nullopt;
        const std::string& name = devices[static_cast<size_t>(chosen)].name;
        QSettings(ScannerSettingsFile(), QSettings::IniFormat)
            .setValue(kDeviceKey, QString::fromStdString(name));
        return name;
    });
    parent_ = parent;
    SetScanDialog(scanDialog_);
    sane->SetProgress([this](int percent) {
        if (progress_) progress_->setValue(percent);
    });
    sane->SetScanning([this, sane](bool on) {
        if (!on || !scanDialog_) {
            progress_.reset();
            return;
        }
        progress_ = std::make_unique<QProgressDialog>(QStringLiteral("Scanning..."),
                                                      QStringLiteral("Cancel"), 0, 100, parent_);
        progress_->setObjectName(QStringLiteral("ScanProgress"));
        progress_->setWindowTitle(QStringLiteral("Scanning"));
        progress_->setAutoReset(false);
        progress_->setAutoClose(false);
        progress_->setMinimumDuration(0);
        QObject::connect(progress_.get(), &QProgressDialog::canceled, [sane] { sane->Cancel(); });
        progress_->show();
    });
#endif
}

void DefaultPorts::Detach() {
    progress_.reset();
    parent_ = nullptr;
}

void DefaultPorts::SetScanDialog(bool on) {
    scanDialog_ = on;
#if defined(FOLIORAY_HAVE_SANE)
    if (!sane_ || !parent_) return;
    if (!on) {
        sane_->SetSettings(nullptr);
        return;
    }
    sane_->SetSettings([this](const std::string& device, const std::vector<SaneOption>& options)
                           -> std::optional<std::vector<SaneScanner::Option>> {
        AcquireDialog dialog(QString::fromStdString(device), options, ScannerSettingsFile(),
                             parent_);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.Chosen();
    });
#endif
}

void DefaultPorts::SetScannerDevice([[maybe_unused]] const std::string& name) {
#if defined(FOLIORAY_HAVE_SANE)
    if (sane_) sane_->SetDevice(name);
#endif
}

}  // namespace folioray
