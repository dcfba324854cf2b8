#pragma once
// The About box's logic: its texts, the version label, and the System Information
// launcher over the registry. A host shows it (Host::ShowAbout) and wires its buttons.
#include <cstdint>
#include <string>

namespace folioray {

class Host;
class Registry;

class frmAbout {
public:
    frmAbout(Host& host, Registry* registry);

    // Texts of the dialog's controls.
    std::string Caption() const;          // the window caption
    std::string lblTitle() const;
    std::string lblVersion() const { return lblVersion_; }
    std::string lblDescription() const;
    std::string lblDescription1() const;
    std::string lblDisclaimer() const;
    std::string cmdOKCaption() const { return "OK"; }
    std::string cmdSysInfoCaption() const { return "System &Info..."; }

    void Form_Load();       // sets the version label
    void cmdOK_Click();     // hides the dialog, which ends the modal display
    void cmdSysInfo_Click();
    bool Visible() const { return visible_; }
    void Show() { visible_ = true; }

    void StartSysInfo();
    bool GetKeyValue(uint32_t KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                     std::string& KeyVal);

private:
    Host& host_;
    Registry* registry_;
    std::string lblVersion_ = "Version";
    bool visible_ = false;
};

}  // namespace folioray
