#pragma once
// The command-line host's About box: the registry file, the program launcher, and the
// box's texts printed when it opens.
#include <functional>
#include <memory>
#include <string>

namespace folioray {

class HeadlessHost;
class Registry;
class Launcher;
class RegFileRegistry;
class PosixLauncher;

class AboutWiring {
  public:
    AboutWiring();
    ~AboutWiring();
    Registry* registry();
    Launcher* launcher();
    // Prints the box when the control shows it (and presses System Info when asked to).
    void Attach(HeadlessHost& host);
    // --registry FILE, --about-sysinfo. False when the option is not one of them.
    bool HandleOption(const std::string& opt,
                      const std::function<const std::string&(const char*)>& next);

  private:
    std::unique_ptr<RegFileRegistry> registry_;
    std::unique_ptr<PosixLauncher> launcher_;
    bool pressSysInfo_ = false;
};

}  // namespace folioray
