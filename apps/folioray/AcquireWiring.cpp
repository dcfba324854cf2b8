#include "apps/folioray/AcquireWiring.h"

#include <cstdlib>
#include <iostream>

#include "apps/folioray/PictureFile.h"
#include "control/ScanControl.h"
#include "platform/sane/SaneScanner.h"

namespace folioray {

// Says on stderr why the device failed; the control's message cannot.
class AcquireWiring::LoggingScanner : public Scanner {
  public:
    explicit LoggingScanner(SaneScanner& sane) : sane_(sane) {}
    int16_t TWAIN_IsAvailable() override { return Log(sane_.TWAIN_IsAvailable()); }
    int16_t TWAIN_AcquireToClipboard(intptr_t hwnd, uint32_t types) override {
        return Log(sane_.TWAIN_AcquireToClipboard(hwnd, types));
    }
    int16_t TWAIN_SelectImageSource(intptr_t hwnd) override {
        return Log(sane_.TWAIN_SelectImageSource(hwnd));
    }

  private:
    int16_t Log(int16_t result) {
        if (result == 0 && !sane_.LastError().empty()) {
            std::cerr << "folioray: scanner: " << sane_.LastError() << std::endl;
        }
        return result;
    }
    SaneScanner& sane_;
};

AcquireWiring::AcquireWiring(Clipboard& clipboard, SaneScanner& sane)
    : clipboard_(clipboard), sane_(&sane), scanner_(std::make_unique<LoggingScanner>(sane)) {}

AcquireWiring::~AcquireWiring() = default;

Scanner* AcquireWiring::scanner() {
    return scanner_.get();
}

bool AcquireWiring::HandleOption(const std::string& opt,
                                 const std::function<const std::string&(const char*)>& next,
                                 ScanControl& control) {
    if (opt == "--device") {
        sane_->SetDevice(next("a device name"));
        return true;
    }
    if (opt == "--source") {
        const std::string name = next("a device name");
        // The Source command asks the chooser; here the chooser answers with NAME.
        sane_->SetChooser([&name](const std::vector<SaneDevice>&, const std::string&) {
            return std::optional<std::string>(name);
        });
        control.Command4_Click();
        sane_->SetChooser(nullptr);
        return true;
    }
    if (opt == "--list-devices") {
        // One line per device, tab-separated: name, vendor, model, type.
        const std::vector<SaneDevice> devices = sane_->Devices();
        for (const SaneDevice& d : devices) {
            std::cout << d.name << '\t' << d.vendor << '\t' << d.model << '\t' << d.type << '\n';
        }
        if (devices.empty()) {
            std::cerr << "folioray: scanner: "
                      << (sane_->LastError().empty() ? "no scanner device was found"
                                                     : sane_->LastError())
                      << std::endl;
        }
        std::cout.flush();
        return true;
    }
    if (opt == "--scan-option") {
        const std::string& kv = next("NAME=VALUE");
        const size_t eq = kv.find('=');
        if (eq == std::string::npos || eq == 0) {
            std::cerr << "folioray: --scan-option needs NAME=VALUE: " << kv << "\n";
            std::exit(2);
        }
        sane_->SetOption(kv.substr(0, eq), kv.substr(eq + 1));
        return true;
    }
    if (opt == "--scan-timeout") {
        const std::string& s = next("seconds");
        char* end = nullptr;
        const double seconds = std::strtod(s.c_str(), &end);
        if (s.empty() || *end != '\0' || !(seconds > 0) || seconds > 86400) {
            std::cerr << "folioray: --scan-timeout needs a number of seconds: " << s << "\n";
            std::exit(2);
        }
        SaneScanner::Timeouts t;
        t.idle = std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
        sane_->SetTimeouts(t);
        return true;
    }
    if (opt == "--paste-image") {
        const std::string& file = next("a picture file");
        try {
            clipboard_.SetDib(ClipboardDibFromFile(file));
        } catch (const std::exception& e) {
            std::cerr << "folioray: cannot read the picture " << file << ": " << e.what() << "\n";
            std::exit(2);
        }
        control.MenuPasteImage_Click();
        return true;
    }
    return false;
}

}  // namespace folioray
