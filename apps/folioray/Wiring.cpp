#include "apps/folioray/Wiring.h"

#include "control/ScanControl.h"

namespace folioray {

CliPlatform::CliPlatform() {
    ports_.host = &host_;
    ports_.clipboard = &clipboard_;
    ports_.preview = &preview_;
}

CliPlatform::~CliPlatform() = default;

void CliPlatform::Attach(ScanControl&) {}

bool CliPlatform::HandleOption(const std::string&,
                               const std::function<const std::string&(const char*)>&,
                               ScanControl&) {
    return false;
}

}  // namespace folioray
