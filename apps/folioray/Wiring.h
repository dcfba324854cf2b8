#pragma once
// The command-line host's platform: the headless container and in-memory clipboard,
// with the build's real adapters (PlatformPorts) for everything else.
#include <functional>
#include <memory>
#include <string>

#include "platform/headless/HeadlessHost.h"
#include "platform/headless/HeadlessPreview.h"
#include "platform/headless/MemoryClipboard.h"
#include "platform/wiring/PlatformPorts.h"
#include "ports/Ports.h"

namespace folioray {

class ScanControl;
class AboutWiring;
class AcquireWiring;

class CliPlatform {
  public:
    CliPlatform();
    ~CliPlatform();
    const Ports& ports() const { return ports_; }
    HeadlessHost& host() { return host_; }
    MemoryClipboard& clipboard() { return clipboard_; }
    // Called once the control exists (progress printing and the like).
    void Attach(ScanControl& control);
    // Options that belong to the platform (--device, --paste-image...). `next` takes the
    // option's argument. False when the option is not one of them.
    bool HandleOption(const std::string& opt,
                      const std::function<const std::string&(const char*)>& next,
                      ScanControl& control);

  private:
    HeadlessHost host_;
    MemoryClipboard clipboard_;
    HeadlessPreview preview_;
    PlatformPorts platform_{&clipboard_};
    bool printProgress_ = false;
    Ports ports_;
    std::unique_ptr<AboutWiring> about_;      // registry file, launcher, About box printing
    std::unique_ptr<AcquireWiring> acquire_;  // scanner options, pasting picture files
};

}  // namespace folioray
