#include "apps/folioray/Wiring.h"

#include <iostream>

#include "apps/folioray/AboutWiring.h"
#include "apps/folioray/AcquireWiring.h"
#include "control/ScanControl.h"

namespace folioray {

CliPlatform::CliPlatform() {
    ports_.host = &host_;
    ports_.clipboard = &clipboard_;
    ports_.preview = &preview_;
    about_ = std::make_unique<AboutWiring>(platform_.registryFile());
    acquire_ = std::make_unique<AcquireWiring>(clipboard_, *platform_.sane());
    ports_.scanner = acquire_->scanner();
    platform_.FillMissing(ports_);
}

CliPlatform::~CliPlatform() = default;

void CliPlatform::Attach(ScanControl& control) {
    about_->Attach(host_);
    control.UploadProgress = [this](int32_t current, int32_t total) {
        if (printProgress_) std::cout << "Progress: " << current << "/" << total << "\n";
    };
}

bool CliPlatform::HandleOption(const std::string& opt,
                               const std::function<const std::string&(const char*)>& next,
                               ScanControl& control) {
    if (about_->HandleOption(opt, next)) return true;
    if (acquire_->HandleOption(opt, next, control)) return true;  // ---- acquisition
    if (opt == "--progress") {
        printProgress_ = true;
        return true;
    }
    return false;
}

}  // namespace folioray
