#pragma once
// The command-line host's About box: the registry file's options, and the box's texts
// printed when it opens.
#include <functional>
#include <string>

namespace folioray {

class HeadlessHost;
class RegFileRegistry;

class AboutWiring {
  public:
    explicit AboutWiring(RegFileRegistry* registry);
    // Prints the box when the control shows it (and presses System Info when asked to).
    void Attach(HeadlessHost& host);
    // --registry FILE, --about-sysinfo. False when the option is not one of them.
    bool HandleOption(const std::string& opt,
                      const std::function<const std::string&(const char*)>& next);

  private:
    RegFileRegistry* registry_;
    bool pressSysInfo_ = false;
};

}  // namespace folioray
