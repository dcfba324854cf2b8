#include "apps/folioray/AboutWiring.h"

#include <cstdlib>
#include <iostream>

#include "platform/headless/HeadlessHost.h"
#include "platform/posix/RegFile.h"
#include "ports/AboutForm.h"

namespace folioray {

AboutWiring::AboutWiring(RegFileRegistry* registry) : registry_(registry) {
    // The default file is optional; one named in the environment should be there.
    const char* named = std::getenv("FOLIORAY_REGISTRY");
    if (named && *named && !registry_->LoadError().empty()) {
        std::cerr << "folioray: registry " << registry_->LoadError() << std::endl;
    }
}

void AboutWiring::Attach(HeadlessHost& host) {
    host.onAbout = [this](AboutForm& box) {
        std::cout << "About [" << box.Caption() << "]\n"
                  << "  " << box.lblTitle() << "\n"
                  << "  " << box.lblVersion() << "\n"
                  << "  " << box.lblDescription() << "\n"
                  << "  " << box.lblDescription1() << "\n"
                  << "  " << box.lblDisclaimer() << "\n"
                  << "  [" << box.cmdOKCaption() << "] [" << box.cmdSysInfoCaption() << "]"
                  << std::endl;
        if (pressSysInfo_) box.cmdSysInfo_Click();
        box.cmdOK_Click();
    };
}

bool AboutWiring::HandleOption(const std::string& opt,
                               const std::function<const std::string&(const char*)>& next) {
    if (opt == "--about-sysinfo") {
        pressSysInfo_ = true;
        return true;
    }
    if (opt == "--registry") {
        // The control holds the registry object; only its file changes.
        if (!registry_->Open(next("a .reg file"))) {
            std::cerr << "folioray: registry " << registry_->LoadError() << std::endl;
        }
        return true;
    }
    return false;
}

}  // namespace folioray
