#pragma once
// The command-line host's acquisition options (--device, --source, --scan-option,
// --scan-timeout, --paste-image, --list-devices) over the SANE scanner, which it wraps
// to say on stderr why a device failed.
#include <functional>
#include <memory>
#include <string>

namespace folioray {

class Clipboard;
class SaneScanner;
class ScanControl;
class Scanner;

class AcquireWiring {
  public:
    AcquireWiring(Clipboard& clipboard, SaneScanner& sane);
    ~AcquireWiring();

    Scanner* scanner();

    bool HandleOption(const std::string& opt,
                      const std::function<const std::string&(const char*)>& next,
                      ScanControl& control);

  private:
    class LoggingScanner;
    Clipboard& clipboard_;
    SaneScanner* sane_;
    std::unique_ptr<LoggingScanner> scanner_;
};

}  // namespace folioray
