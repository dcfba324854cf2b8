// folioray: a headless host for one ScanControl, driven from the command line.
// Arguments run left to right; see --help.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "apps/folioray/Wiring.h"
#include "control/ScanControl.h"
#include "platform/headless/HeadlessHost.h"
#include "runtime/Variant.h"

namespace {

using folioray::ScanControl;
using folioray::Variant;

constexpr const char* kUsage = R"(usage: folioray [options...]

Runs one ScanControl without a screen. Options run left to right:
  --set Name=Value        write a property (a whole number is passed as a number)
  --get Name              print Name=value
  --call Method [args]    call a method or command; its arguments run up to the next --option
  --text TEXT             set the text-mode editor's text
  --paste-image FILE      put a picture file (BMP, PNG, JPEG, PPM) on the clipboard, then paste it
  --device NAME           the scanner device for later scans
  --source NAME           choose the scanner source (as the Source command does)
  --list-devices          print the scanner devices, one a line: name, vendor, model, type (tabs)
  --scan-option NAME=VALUE  a SANE option of the device for later scans (mode, resolution...)
  --scan-timeout SECONDS  give up on a device that sends nothing for this long (default 90)
  --progress              print a line per upload progress step
  --registry FILE         read the registry from this REGEDIT4 file (default: $FOLIORAY_REGISTRY,
                          else ~/.config/folioray2/registry.reg)
  --about-sysinfo         the About box presses System Info before it is closed
  --help                  this text

Properties: FullScreen, ButtonStyle, CurrentName (read only), ShowModeButton, SaveAsPDF,
  ControlMode, ImageWidth (read only), ImageHeight (read only), ImageSize (read only),
  Quality, FilePath
Methods: StartScan, SetSize WIDTH HEIGHT, PasteName,
  UploadFile SERVER USER PASSWORD [MODE [REMOTENAME [REMOTEDIR]]]
Commands: Info, Source, Paste, Mode, About

Output: "ScanComplete: PATH" per event, "MessageBox [TITLE] (ICON): TEXT" per message box,
"UploadFile: TEXT" per upload (empty text on success). Exit status 2 for bad arguments.
)";

[[noreturn]] void Usage(const std::string& why) {
    std::cerr << "folioray: " << why << "\n(try folioray --help)\n";
    std::exit(2);
}

// A whole integer becomes a 32-bit number, anything else stays text, as a script would pass it.
Variant ScriptValue(const std::string& s) {
    if (!s.empty()) {
        char* end = nullptr;
        errno = 0;
        long long v = std::strtoll(s.c_str(), &end, 10);
        if (errno == 0 && end && *end == '\0' && v >= INT32_MIN && v <= INT32_MAX &&
            s.find_first_of(" \t") == std::string::npos) {
            return Variant(static_cast<int32_t>(v));
        }
    }
    return Variant(s);
}

std::string ShowBreaks(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
            out += "\\n";
            ++i;
        } else if (s[i] == '\n' || s[i] == '\r') {
            out += "\\n";
        } else {
            out += s[i];
        }
    }
    return out;
}

int32_t ParseInt(const std::string& s, const std::string& what) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (s.empty() || errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX) {
        Usage(what + " must be a whole number: " + s);
    }
    return static_cast<int32_t>(v);
}

std::string GetProperty(ScanControl& c, const std::string& name) {
    if (name == "FullScreen") return std::to_string(c.FullScreen());
    if (name == "ButtonStyle") return std::to_string(c.ButtonStyle());
    if (name == "CurrentName") return c.CurrentName();
    if (name == "ShowModeButton") return c.ShowModeButton().ToText();
    if (name == "SaveAsPDF") return c.SaveAsPDF().ToText();
    if (name == "ControlMode") return std::to_string(c.ControlMode());
    if (name == "ImageWidth") return std::to_string(c.ImageWidth());
    if (name == "ImageHeight") return std::to_string(c.ImageHeight());
    if (name == "ImageSize") return std::to_string(c.ImageSize());
    if (name == "Quality") return std::to_string(c.Quality());
    if (name == "FilePath") return c.FilePath();
    Usage("unknown property: " + name);
}

// Writes a property; 32-bit properties take the script value's conversion.
void SetProperty(ScanControl& c, const std::string& name, const std::string& text) {
    Variant v = ScriptValue(text);
    auto asLong = [&](const std::function<void(int32_t)>& set) {
        try {
            set(v.ToLong());
        } catch (const std::exception&) {
            // A script's type mismatch: the write does not happen.
        }
    };
    if (name == "FullScreen") return asLong([&](int32_t x) { c.FullScreen(x); });
    if (name == "ButtonStyle") return asLong([&](int32_t x) { c.ButtonStyle(x); });
    if (name == "ShowModeButton") return c.ShowModeButton(v);
    if (name == "SaveAsPDF") return c.SaveAsPDF(v);
    if (name == "ControlMode") return asLong([&](int32_t x) { c.ControlMode(x); });
    if (name == "Quality") return asLong([&](int32_t x) { c.Quality(x); });
    if (name == "FilePath") return c.FilePath(text);
    if (name == "CurrentName" || name == "ImageWidth" || name == "ImageHeight" ||
        name == "ImageSize") {
        Usage("property is read only: " + name);
    }
    Usage("unknown property: " + name);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const auto& a : args) {
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        }
    }

    folioray::CliPlatform platform;
    ScanControl control(platform.ports());
    folioray::HeadlessHost& host = platform.host();
    host.onMessage = [](const folioray::RecordedMessage& m) {
        std::cout << "MessageBox [" << m.title << "] (" << folioray::IconName(m.icon)
                  << "): " << ShowBreaks(m.prompt) << std::endl;
    };
    host.onTimer = [&control] { control.Timer1_Timer(); };
    control.ScanComplete = [](std::string& name) {
        std::cout << "ScanComplete: " << name << std::endl;
    };
    platform.Attach(control);
    // A container sizes the control once it is placed.
    control.Resize(6000, 3000);

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& opt = args[i];
        auto next = [&](const char* what) -> const std::string& {
            if (i + 1 >= args.size()) Usage(opt + " needs " + what);
            return args[++i];
        };
        if (opt == "--set") {
            const std::string& kv = next("Name=Value");
            size_t eq = kv.find('=');
            if (eq == std::string::npos || eq == 0) Usage("--set needs Name=Value: " + kv);
            SetProperty(control, kv.substr(0, eq), kv.substr(eq + 1));
        } else if (opt == "--get") {
            const std::string& name = next("a property name");
            const std::string value = GetProperty(control, name);
            std::cout << name << "=" << value << std::endl;
        } else if (opt == "--text") {
            control.SetEditorText(next("a text"));
        } else if (opt == "--call") {
            const std::string method = next("a method name");
            std::vector<std::string> margs;
            while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0)
                margs.push_back(args[++i]);
            auto arity = [&](size_t lo, size_t hi) {
                if (margs.size() < lo || margs.size() > hi) {
                    Usage(method + " takes " + std::to_string(lo) +
                          (hi != lo ? " to " + std::to_string(hi) : std::string()) + " arguments");
                }
            };
            if (method == "StartScan") {
                arity(0, 0);
                control.StartScan();
            } else if (method == "SetSize") {
                arity(2, 2);
                control.SetSize(ParseInt(margs[0], "width"), ParseInt(margs[1], "height"));
            } else if (method == "PasteName") {
                arity(0, 0);
                control.PasteName();
                host.RunTimers();
                std::cout << "Typed: " << host.field.text << std::endl;
            } else if (method == "UploadFile") {
                arity(3, 6);
                std::vector<Variant> v;
                for (const auto& a : margs) v.push_back(ScriptValue(a));
                while (v.size() < 6) v.push_back(Variant::Missing());
                std::string r = control.UploadFile(v[0], v[1], v[2], v[3], v[4], v[5]);
                // One line per result: a server reply's own line ends are shown as \n.
                while (!r.empty() && (r.back() == '\n' || r.back() == '\r')) r.pop_back();
                std::cout << "UploadFile: " << ShowBreaks(r) << std::endl;
            } else if (method == "Info") {
                arity(0, 0);
                control.Command2_Click();
            } else if (method == "Source") {
                arity(0, 0);
                control.Command4_Click();
            } else if (method == "Paste") {
                arity(0, 0);
                control.MenuPasteImage_Click();
            } else if (method == "Mode") {
                arity(0, 0);
                control.Command6_Click();
            } else if (method == "About") {
                arity(0, 0);
                control.Command5_Click();
            } else {
                Usage("unknown method: " + method);
            }
        } else if (!platform.HandleOption(opt, next, control)) {
            Usage("unknown option: " + opt);
        }
    }
    return 0;
}
