#pragma once
// The About box's logic: its texts, the version label, and the System Information
// launcher over the registry. A host shows it (Host::ShowAbout) and wires its buttons.
#include <cstdint>
#include <string>

#include "ports/AboutForm.h"

namespace folioray {

class Host;
class Registry;
class Launcher;

// "Version " and the three numbers in plain decimal.
std::string VersionText(int major, int minor, int patch);

class frmAbout : public AboutForm {
  public:
    // The ports stay owned by the caller; a null registry or launcher is a platform
    // without one (System Information is then unavailable).
    frmAbout(Host& host, Registry* registry, Launcher* launcher = nullptr);

    // Texts of the dialog's controls.
    std::string Caption() const override;  // the window caption
    std::string lblTitle() const override;
    std::string lblVersion() const override { return lblVersion_; }
    std::string lblDescription() const override;
    std::string lblDescription1() const override;
    std::string lblDisclaimer() const override;
    std::string cmdOKCaption() const override { return "OK"; }
    std::string cmdSysInfoCaption() const override { return "System &Info..."; }

    void Form_Load();             // sets the version label
    void cmdOK_Click() override;  // hides the dialog, which ends the modal display
    void cmdSysInfo_Click() override;
    bool Visible() const override { return visible_; }
    void Show() override { visible_ = true; }

    void StartSysInfo();
    bool GetKeyValue(uint32_t KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                     std::string& KeyVal);

  private:
    Host& host_;
    Registry* registry_;
    Launcher* launcher_;
    std::string lblVersion_ = "Version";
    bool visible_ = false;
};

}  // namespace folioray
