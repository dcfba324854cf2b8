#pragma once
// The command-line host's acquisition side: the SANE scanner, the TurboJPEG library and
// the object registry with "Image.Stream", and their options (--device, --source,
// --scan-option, --scan-timeout, --paste-image, --list-devices).
#include <functional>
#include <memory>
#include <string>

#include "acquire/ObjectRegistry.h"

namespace folioray {

class Clipboard;
class JpegLibrary;
class SaneScanner;
class ScanControl;
class Scanner;

class AcquireWiring {
  public:
    explicit AcquireWiring(Clipboard& clipboard);
    ~AcquireWiring();

    Scanner* scanner();
    JpegLibrary* jpeg();
    ObjectFactory* objects() { return &objects_; }

    bool HandleOption(const std::string& opt,
                      const std::function<const std::string&(const char*)>& next,
                      ScanControl& control);

  private:
    class LoggingScanner;
    Clipboard& clipboard_;
    std::unique_ptr<SaneScanner> sane_;
    std::unique_ptr<LoggingScanner> scanner_;
    std::unique_ptr<JpegLibrary> jpeg_;
    ObjectRegistry objects_;
};

}  // namespace folioray
