#pragma once
// The scanner port over SANE. Device work runs on one SANE thread; the calling thread
// waits for it with bounded waits (keeping a window alive meanwhile) and is woken as soon
// as the device finishes: a device that stops sending data is cancelled and the call fails.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ports/Clipboard.h"
#include "ports/Scanner.h"

namespace folioray {

struct SaneDevice {
    std::string name;  // what SetDevice takes, e.g. "test:0"
    std::string vendor;
    std::string model;
    std::string type;
};

// One option of a device, as a settings dialog offers it. Values are text: numbers in
// decimal, booleans "yes"/"no".
struct SaneOption {
    enum class Type { Bool, Int, Fixed, String, Button };
    std::string name;
    std::string title;
    std::string description;
    std::string group;  // the title of the group the device puts it in
    Type type = Type::Int;
    std::string unit;                  // "", "pixel", "bit", "mm", "dpi", "%", "us"
    std::vector<std::string> choices;  // the values allowed, when the device lists them
    bool hasRange = false;
    double min = 0, max = 0, quant = 0;
    std::string value;  // now (an array option: its first element)
    bool active = true;
    bool settable = true;
};

class SaneScanner : public Scanner {
  public:
    using Option = std::pair<std::string, std::string>;
    // Asked before each scan with the device's name and options: the options for this
    // scan, or nothing when the user cancelled.
    using Settings = std::function<std::optional<std::vector<Option>>(
        const std::string& device, const std::vector<SaneOption>& options)>;

    // Returns the chosen device name, or nothing when the user cancelled.
    using Chooser = std::function<std::optional<std::string>(const std::vector<SaneDevice>&,
                                                             const std::string& current)>;

    struct Timeouts {
        // No progress for this long (no data, or a call that does not return) fails the scan.
        std::chrono::milliseconds idle{90000};
        // After a cancel, how long the device may take to give up.
        std::chrono::milliseconds cancelGrace{10000};
    };

    explicit SaneScanner(Clipboard& clipboard);
    ~SaneScanner() override;
    SaneScanner(const SaneScanner&) = delete;
    SaneScanner& operator=(const SaneScanner&) = delete;

    // 1 when SANE starts and, unless a device is named, lists at least one device.
    int16_t TWAIN_IsAvailable() override;
    // Opens the chosen device (else the first listed), scans one page (in colour unless a
    // mode was chosen) and puts it on the clipboard as a DIB. 0 on cancellation, any device status
    // but success, or a stall.
    int16_t TWAIN_AcquireToClipboard(intptr_t hwndApp, uint32_t wPixTypes) override;
    // Offers the devices to the chooser; its answer becomes the device of later scans.
    int16_t TWAIN_SelectImageSource(intptr_t hwnd) override;

    // The devices SANE lists now (empty when it cannot start or a listing stalls).
    std::vector<SaneDevice> Devices();
    // "" goes back to the first listed device.
    void SetDevice(const std::string& name) { device_ = name; }
    const std::string& Device() const { return device_; }
    // Device options by SANE name ("mode", "resolution", "test-picture"...), applied in the
    // order given after each open; a later value of the same name replaces the earlier one.
    // An option the device refuses fails the scan.
    void SetOption(const std::string& name, const std::string& value);
    void ClearOptions() { options_.clear(); }

    // The options of the device later scans use, read from it now; empty on failure.
    // `device` receives its name.
    std::vector<SaneOption> Options(std::string* device = nullptr);
    // With settings, each scan first asks them; a choice that is refused or no longer
    // applies is skipped, a cancel ends the scan as cancelled.
    void SetSettings(Settings settings) { settings_ = std::move(settings); }
    // While a scan runs (from a message it pumps): stops it, and it fails as cancelled.
    void Cancel();
    // Told when a scan starts reading the device (true) and when it has ended (false).
    void SetScanning(std::function<void(bool)> scanning) { scanning_ = std::move(scanning); }

    void SetChooser(Chooser chooser) { chooser_ = std::move(chooser); }
    // Waits until `fd` is readable or `timeout` has passed, running the host's events
    // meanwhile (a local event loop watching the descriptor). The scanner reads the
    // descriptor itself; it becomes readable when the device finishes, the progress
    // moves or Cancel is called.
    using Wait = std::function<void(int fd, std::chrono::milliseconds timeout)>;
    void SetWait(Wait wait) { wait_ = std::move(wait); }
    // Without a wait: called every few milliseconds while the caller waits for the
    // device (the host's DoEvents).
    void SetPump(std::function<void()> pump) { pump_ = std::move(pump); }
    // Called while scanning with the share of the page received so far (0..100).
    void SetProgress(std::function<void(int percent)> progress) { progress_ = std::move(progress); }
    void SetTimeouts(const Timeouts& t) { timeouts_ = t; }

    // Sees a page while it is read, line by line on the SANE thread: a sink may compress it
    // meanwhile, on another core.
    class PageSink {
      public:
        virtual ~PageSink() = default;
        // Top line first, 24-bit BGR. It may be read later, until Drain returns.
        virtual void Line(const uint8_t* bgr) = 0;
        // Returns once the lines given have been read: the page may move them after it.
        virtual void Drain() = 0;
        // Every line was given, and the page is no more than them: as it goes to the
        // clipboard, its rows bottom-up at `bits`, `stride` bytes apart.
        virtual void Whole(const std::shared_ptr<const std::vector<uint8_t>>& dib,
                           const uint8_t* bits, int64_t stride) = 0;
    };
    // Asked for a sink when a page of this size starts, if the clipboard keeps the page as it
    // is; none: the page is read as before.
    using PageSinks = std::function<std::unique_ptr<PageSink>(int32_t width, int32_t height)>;
    void SetPageSinks(PageSinks sinks) { pageSinks_ = std::move(sinks); }

    // Why the last call failed, for a log or a status line ("" after success).
    const std::string& LastError() const { return lastError_; }

  private:
    struct Session;
    struct Job;
    struct Wakeup;
    // One wait of the caller's: until the wake-up fires or `timeout` passes.
    void WaitForDevice(std::chrono::milliseconds timeout);
    // Runs `job` on the SANE thread and waits for it within the bounds; false when it
    // failed or had to be given up (lastError_ says why).
    bool Run(const std::shared_ptr<Job>& job);

    Clipboard& clipboard_;
    std::shared_ptr<Session> session_;
    std::shared_ptr<Wakeup> wake_;
    std::string device_;
    std::string listedFirst_;  // from the availability check just before a scan
    std::vector<Option> options_;
    Chooser chooser_;
    Settings settings_;
    std::function<void(bool)> scanning_;
    bool cancelRequested_ = false;
    Wait wait_;
    std::function<void()> pump_;
    std::function<void(int)> progress_;
    Timeouts timeouts_;
    PageSinks pageSinks_;
    std::string lastError_;
    bool inRun_ = false;
};

}  // namespace folioray
