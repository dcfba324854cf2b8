#pragma once
// The real platform adapters a Qt host uses by default (the build's PlatformPorts), with
// the Qt side of the scanner: its source list, settings dialog and progress window. The
// Qt widget adds its own host, clipboard and preview.
#include <memory>
#include <string>

#include "ports/Ports.h"

class QProgressDialog;
class QString;
class QWidget;

namespace folioray {

class PlatformPorts;
class SaneScanner;

// The Qt host's scanner settings (the chosen source, the acquisition defaults):
// $XDG_CONFIG_HOME/folioray2/scanner.ini, else under ~/.config.
QString ScannerSettingsFile();

class DefaultPorts {
  public:
    // The scanner hands its pages over through `clipboard`; without one there is no scanner.
    explicit DefaultPorts(Clipboard* clipboard = nullptr);
    ~DefaultPorts();
    DefaultPorts(const DefaultPorts&) = delete;
    DefaultPorts& operator=(const DefaultPorts&) = delete;

    const Ports& ports() const;
    // Fills every null scanner, jpeg, internet, objects, registry and launcher port of
    // `ports` with this set's adapter; host, clipboard and preview are left alone.
    void FillMissing(Ports& ports) const;

    // While the scanner waits for its device it runs `host`'s messages; choosing the
    // source opens a list over `parent`. The source chosen there, kept in the settings
    // file, is the device of later scans, in this run and the next.
    void Attach(Host& host, QWidget* parent);
    // Whether each scan first shows the device's settings, then its progress with a Cancel
    // button (on by default; takes effect once attached).
    void SetScanDialog(bool on);
    bool ScanDialog() const { return scanDialog_; }
    // The widget is going while a scan may still wait: the progress window goes with it,
    // and later dialogs have no parent.
    void Detach();
    // The scanner device of later scans ("" for the first one found).
    void SetScannerDevice(const std::string& name);

  private:
    SaneScanner* sane_ = nullptr;  // the scanner, when this build has SANE
    QWidget* parent_ = nullptr;
    bool scanDialog_ = true;
    std::unique_ptr<QProgressDialog> progress_;  // while a scan with the dialog runs
    // Last, so that it goes first: the scanner's callbacks use the members above.
    std::unique_ptr<PlatformPorts> platform_;
};

}  // namespace folioray
