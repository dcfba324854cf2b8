#include "about/frmAbout.h"

#include <algorithm>
#include <array>

#include "folioray2/version.h"
#include "ports/Host.h"
#include "ports/Launcher.h"
#include "ports/Registry.h"
#include "runtime/FileOps.h"

namespace folioray {

namespace {

constexpr const char* kRegKeySysInfoLoc = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* kRegValSysInfoLoc = "MSINFO";
constexpr const char* kRegKeySysInfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kRegValSysInfo = "PATH";
// On this platform the folder and the program file are joined with "/".
constexpr const char* kSysInfoProgram = "/MSINFO32.EXE";

constexpr uint32_t kOpenAccess = 0x2003F;
constexpr uint32_t kValueBuffer = 1024;  // longer values count as absent

}  // namespace

std::string VersionText(int major, int minor, int patch) {
    return "Version " + std::to_string(major) + "." + std::to_string(minor) + "." +
           std::to_string(patch);
}

frmAbout::frmAbout(Host& host, Registry* registry, Launcher* launcher)
    : host_(host), registry_(registry), launcher_(launcher) {}

std::string frmAbout::Caption() const {
    return "About Folioray ActiveX Control";
}

std::string frmAbout::lblTitle() const {
    return "Folioray Version II ActiveX Control";
}

std::string frmAbout::lblDescription() const {
    return "This ActiveX Control allows provides in Web-Page scanning through a TWAIN interface. "
           "The control acquires an image, compresses it according to  JPEG standards and saves "
           "the compressed image in a file called scanx.jpg or scanx.pdf. It can optionally be "
           "instructed to paste the filename to the hosting window or FTP it to an FTP Server.";
}

std::string frmAbout::lblDescription1() const {
    return "The control can also be used to provide a text input box that accepts pasted or "
           "typed text. In this mode, the Scan button is replaced with a Done button. When "
           "clicking the Done button, the text is saved to a file and the ScanComplete event "
           "generated. This allows you to use the control in general purpose communications "
           "applications because it can handle both scanned documents and pasted text "
           "communications (such as e-mails) in a consistent manner.";
}

std::string frmAbout::lblDisclaimer() const {
    return "This control is supplied by Brackenmoor (Pty) Ltd as is and without warranty of any "
           "kind; for licensing and support write to support@brackenmoor.example.";
}

void frmAbout::Form_Load() {
    try {
        lblVersion_ =
            VersionText(FOLIORAY_VERSION_MAJOR, FOLIORAY_VERSION_MINOR, FOLIORAY_VERSION_PATCH);
    } catch (...) {
        // The label keeps its design-time text.
    }
}

void frmAbout::cmdOK_Click() {
    visible_ = false;
}

void frmAbout::cmdSysInfo_Click() {
    try {
        StartSysInfo();
    } catch (...) {
    }
}

void frmAbout::StartSysInfo() {
    try {
        std::string sysInfoPath;
        bool found = GetKeyValue(HKEY_LOCAL_MACHINE, kRegKeySysInfo, kRegValSysInfo, sysInfoPath);
        if (!found &&
            GetKeyValue(HKEY_LOCAL_MACHINE, kRegKeySysInfoLoc, kRegValSysInfoLoc, sysInfoPath)) {
            if (FileExists(sysInfoPath + kSysInfoProgram)) {
                sysInfoPath += kSysInfoProgram;
                found = true;
            }
        }
        if (found && launcher_ && launcher_->StartDetached(sysInfoPath)) return;
    } catch (...) {
        // Any failure ends in the message below.
    }
    host_.MsgBox("System Information Is Unavailable At This Time", "Folioray2", MsgBoxIcon::None);
}

bool frmAbout::GetKeyValue(uint32_t KeyRoot, const std::string& KeyName,
                           const std::string& SubKeyRef, std::string& KeyVal) {
    if (!registry_) {
        KeyVal.clear();
        return false;
    }
    Registry& reg = *registry_;
    HKEY hKey = 0;
    if (reg.RegOpenKeyExA(KeyRoot, KeyName, 0, kOpenAccess, hKey) != ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    // The key is closed on every way out, the failures included.
    struct Closer {
        Registry& r;
        HKEY k;
        ~Closer() {
            try {
                r.RegCloseKey(k);
            } catch (...) {
            }
        }
    } closer{reg, hKey};

    std::array<uint8_t, kValueBuffer> buffer{};
    uint32_t type = 0;
    uint32_t size = kValueBuffer;
    if (reg.RegQueryValueExA(hKey, SubKeyRef, type, buffer.data(), size) != ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    // A registry that reports more than the buffer holds is not trusted past the buffer.
    size_t length = std::min<size_t>(size, buffer.size());
    const size_t raw = length;
    if (length > 0 && buffer[length - 1] == 0) --length;

    switch (type) {
        case REG_SZ:
            KeyVal.assign(reinterpret_cast<const char*>(buffer.data()), length);
            break;
        case REG_DWORD: {
            // The number from its four little-endian bytes; the trimmed trailing 0 is a
            // byte of the number here, not a terminator.
            uint32_t value = 0;
            for (size_t i = 0; i < 4 && i < raw; ++i) {
                value |= static_cast<uint32_t>(buffer[i]) << (8 * i);
            }
            KeyVal = std::to_string(value);
            break;
        }
        default:
            break;  // other types leave the caller's text as it was
    }
    return true;
}

}  // namespace folioray
