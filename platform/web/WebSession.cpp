#include "platform/web/WebSession.h"

#include <atomic>
#include <boost/asio/post.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>
#include <utility>

#include "control/ScanControl.h"
#include "folioray2/version.h"
#include "platform/headless/MemoryClipboard.h"
#include "platform/web/RequestCheck.h"
#include "platform/wiring/PlatformPorts.h"
#include "ports/AboutForm.h"
#include "ports/Host.h"
#include "ports/Internet.h"
#include "ports/Preview.h"
#include "runtime/VbError.h"

#if defined(FOLIORAY_HAVE_SANE)
#include "platform/sane/SaneScanner.h"
#endif

namespace folioray::web {

using json = nlohmann::json;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr float kTwipsPerPixel = 15.0f;  // a CSS pixel is 1/96 inch
constexpr auto kProgressInterval = std::chrono::milliseconds(50);
constexpr uint32_t kOperationCancelled = 12017;

const char* KindName(ChildKind k) {
    static constexpr const char* names[] = {
        "PushButton",       "PictureButton", "PictureStore", "Preview", "PictureHolder", "TextBox",
        "MultiLineTextBox", "ProgressBar",   "Timer",        "Menu",    "MenuItem"};
    return names[static_cast<int>(k)];
}

const char* IconText(MsgBoxIcon icon) {
    switch (icon) {
        case MsgBoxIcon::Critical:
            return "critical";
        case MsgBoxIcon::Question:
            return "question";
        case MsgBoxIcon::Exclamation:
            return "exclamation";
        case MsgBoxIcon::Information:
            return "information";
        case MsgBoxIcon::None:
            break;
    }
    return "none";
}

json ChildRecord(const ChildControl& c) {
    return {{"name", c.name},       {"kind", KindName(c.kind)},
            {"caption", c.caption}, {"toolTip", c.toolTipText},
            {"visible", c.visible}, {"enabled", c.enabled},
            {"left", c.left},       {"top", c.top},
            {"width", c.width},     {"height", c.height},
            {"picture", c.picture}, {"min", c.min},
            {"max", c.max},         {"value", c.value}};
}

// A page's value as a script would hand it to the control.
Variant ToVariant(const json& v) {
    if (v.is_null()) return Variant::Null();
    if (v.is_boolean()) return Variant(v.get<bool>());
    if (v.is_number_integer()) {
        const int64_t n = v.get<int64_t>();
        if (n >= INT32_MIN && n <= INT32_MAX) return Variant(static_cast<int32_t>(n));
        return Variant(static_cast<double>(n));
    }
    if (v.is_number()) return Variant(v.get<double>());
    if (v.is_string()) return Variant(v.get<std::string>());
    return v.is_array() ? Variant::Array() : Variant::Object();
}

// Width and height of a JPEG from its frame header.
std::optional<std::pair<int, int>> JpegSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> b(256 * 1024);
    in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(b.size()));
    const size_t n = static_cast<size_t>(in.gcount());
    if (n < 4 || b[0] != 0xFF || b[1] != 0xD8) return std::nullopt;
    size_t i = 2;
    while (i + 9 < n) {
        if (b[i] != 0xFF) return std::nullopt;
        const unsigned m = b[i + 1];
        if (m == 0xFF) {
            ++i;
            continue;
        }
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
            return std::make_pair((b[i + 7] << 8) | b[i + 8], (b[i + 5] << 8) | b[i + 6]);
        }
        i += 2 + ((static_cast<size_t>(b[i + 2]) << 8) | b[i + 3]);
    }
    return std::nullopt;
}

std::string ContentType(const std::string& path) {
    const std::string ext = fs::path(path).extension().string();
    if (ext == ".jpg" || ext == ".jpeg") return "image/jpeg";
    if (ext == ".png") return "image/png";
    if (ext == ".gif") return "image/gif";
    if (ext == ".bmp") return "image/bmp";
    return "application/octet-stream";
}

// The FTP layer, made to fail from the moment the page has gone: the wait under way
// gives up and no new transfer starts, so the upload ends and its connection is closed.
class AbortableInternet : public Internet {
  public:
    explicit AbortableInternet(Internet& inner) : in_(inner) {}
    void Abort() {
        aborted_ = true;
        in_.Cancel();
    }

    HINTERNET InternetOpenA(const std::string& agent, uint32_t access, const char* proxy,
                            const char* bypass, uint32_t flags) override {
        return in_.InternetOpenA(agent, access, proxy, bypass, flags);
    }
    HINTERNET InternetConnectA(HINTERNET session, const std::string& server, uint16_t port,
                               const std::string& user, const std::string& password,
                               uint32_t service, uint32_t flags, uintptr_t context) override {
        if (aborted_) return 0;
        return in_.InternetConnectA(session, server, port, user, password, service, flags, context);
    }
    bool FtpSetCurrentDirectoryA(HINTERNET c, const std::string& dir) override {
        return !aborted_ && in_.FtpSetCurrentDirectoryA(c, dir);
    }
    HINTERNET FtpOpenFileA(HINTERNET c, const std::string& name, uint32_t access, uint32_t flags,
                           uintptr_t context) override {
        if (aborted_) return 0;
        return in_.FtpOpenFileA(c, name, access, flags, context);
    }
    bool InternetWriteFile(HINTERNET f, const void* buffer, uint32_t length,
                           uint32_t* written) override {
        return !aborted_ && in_.InternetWriteFile(f, buffer, length, written);
    }
    bool InternetCloseHandle(HINTERNET h) override { return in_.InternetCloseHandle(h); }
    bool InternetAbortFile(HINTERNET f) override { return in_.InternetAbortFile(f); }
    bool FtpDeleteFileA(HINTERNET c, const std::string& name) override {
        return in_.FtpDeleteFileA(c, name);
    }
    void SetWaitCallback(std::function<void()> callback) override {
        in_.SetWaitCallback(std::move(callback));
    }
    HINTERNET FtpFindFirstFileA(HINTERNET c, const std::string& search, FtpFindData* data,
                                uint32_t flags, uintptr_t context) override {
        if (aborted_) return 0;
        return in_.FtpFindFirstFileA(c, search, data, flags, context);
    }
    bool FtpPutFileA(HINTERNET c, const std::string& local, const std::string& remote,
                     uint32_t flags, uintptr_t context) override {
        return !aborted_ && in_.FtpPutFileA(c, local, remote, flags, context);
    }
    uint32_t GetLastError() override { return aborted_ ? kOperationCancelled : in_.GetLastError(); }
    bool InternetGetLastResponseInfoA(uint32_t* error, std::string& buffer, size_t size) override {
        return in_.InternetGetLastResponseInfoA(error, buffer, size);
    }
    std::string FormatMessage(uint32_t code, size_t size) override {
        return in_.FormatMessage(code, size);
    }

  private:
    Internet& in_;
    std::atomic<bool> aborted_{false};
};

struct MemberError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace

class WebSession::Window : public Host, public Preview {
  public:
    explicit Window(WebSession& s) : s_(s), platform_(&clipboard_) {
        ports_ = platform_.ports();
        ports_.host = this;
        ports_.clipboard = &clipboard_;
        ports_.preview = this;
        if (ports_.internet) {
            internet_ = std::make_unique<AbortableInternet>(*ports_.internet);
            ports_.internet = internet_.get();
            // An upload waiting inside the FTP library pumps nothing: the page's going is
            // told to it from the network thread.
            std::lock_guard<std::mutex> lock(s_.m_);
            s_.cancel_ = [this] { internet_->Abort(); };
        }
#if defined(FOLIORAY_HAVE_SANE)
        if (SaneScanner* sane = platform_.sane()) {
            if (!s_.settings_.device.empty()) sane->SetDevice(s_.settings_.device);
            if (!s_.settings_.source.empty()) {
                sane->SetChooser([source = s_.settings_.source](const auto&, const auto&) {
                    return std::optional<std::string>(source);
                });
            }
            sane->SetPump([this] { DoEvents(); });
        }
#endif
        // First, before anything the new control says.
        Send({{"ev", "hello"},
              {"version", FOLIORAY_VERSION_STRING},
              {"twipsPerPixel", static_cast<int>(kTwipsPerPixel)}});
        ctl_ = std::make_unique<ScanControl>(ports_);
        if (!s_.settings_.root.empty()) ctl_->FilePath(s_.settings_.root);
        ctl_->ScanComplete = [this](std::string& fileName) { RaiseScanComplete(fileName); };
        ctl_->UploadProgress = [this](int32_t current, int32_t total) {
            const Clock::time_point now = Clock::now();
            if (current < total && now - lastProgress_ < kProgressInterval) return;
            lastProgress_ = now;
            Flush();
            Send({{"ev", "progress"}, {"current", current}, {"total", total}});
        };
    }

    ~Window() override {
        {
            std::lock_guard<std::mutex> lock(s_.m_);
            s_.cancel_ = nullptr;
        }
        ctl_.reset();  // the control goes before the ports it uses
    }

    void Run() {
        json all = json::array();
        for (int i = 0; i < static_cast<int>(Child::Count); ++i) {
            all.push_back(ChildRecord(ctl_->Children()[static_cast<Child>(i)]));
        }
        Send({{"ev", "children"}, {"children", all}, {"zorder", ZOrder()}});
        sentZOrder_ = ctl_->Children().ZOrder();
        dirty_.clear();
        for (;;) {
            Flush();
            std::string message;
            const Got got = Take(message, true);
            if (got == Got::Closed) break;
            if (got == Got::Timer) {
                Tick();
            } else if (got == Got::Message) {
                Dispatch(message);
            }
        }
    }

    // ---- Host
    void MsgBox(const std::string& prompt, const std::string& title, MsgBoxIcon icon) override {
        const int ask = ++asks_;
        Send({{"ev", "msgbox"},
              {"ask", ask},
              {"text", prompt},
              {"title", title},
              {"icon", IconText(icon)}});
        WaitAnswer(ask);
    }
    void SetMousePointer(MousePointer p) override {
        Send(
            {{"ev", "pointer"}, {"value", p == MousePointer::Hourglass ? "hourglass" : "default"}});
    }
    void Beep() override {
        Send({{"ev", "beep"}});
    }
    void DoEvents() override {
        if (Closed()) {
            Abandon();
            return;
        }
        Flush();
        // Only what is there now: a page that keeps sending must not keep the caller here.
        size_t n;
        {
            std::lock_guard<std::mutex> lock(s_.m_);
            n = s_.inbox_.size();
        }
        for (size_t i = 0; i < n; ++i) {
            std::string message;
            if (Take(message, false) != Got::Message) break;
            Dispatch(message);
        }
        if (timerOn_ && Clock::now() >= due_) Tick();
    }
    float TwipsPerPixelX() override {
        return kTwipsPerPixel;
    }
    float TwipsPerPixelY() override {
        return kTwipsPerPixel;
    }
    void ExtentChanged(float w, float h) override {
        Send({{"ev", "extent"}, {"width", w}, {"height", h}});
    }
    void ChildChanged(const std::string& name) override {
        dirty_.insert(name);
    }
    void SetFocus(const std::string& name) override {
        Flush();
        Send({{"ev", "focus"}, {"child", name}});
    }
    void Refresh(const std::string&) override {
        Flush();
    }
    bool PostMessage(uint32_t msg, uint32_t wParam, uint32_t lParam) override {
        Send({{"ev", "key"}, {"msg", msg}, {"wParam", wParam}, {"lParam", lParam}});
        return true;
    }
    void SetTimer(bool enabled, uint32_t intervalMs) override {
        const auto interval = std::chrono::milliseconds(std::max<uint32_t>(intervalMs, 1));
        // Enabling a running timer keeps its interval running.
        if (enabled && (!timerOn_ || interval != interval_)) due_ = Clock::now() + interval;
        timerOn_ = enabled;
        interval_ = interval;
    }
    void PopupMenu(const std::string& menu, float x, float y) override {
        const ChildControl& item = ctl_->Children()[Child::MenuPasteImage];
        json items = json::array();
        if (item.visible) {
            items.push_back(
                {{"name", item.name}, {"caption", item.caption}, {"enabled", item.enabled}});
        }
        const int ask = ++asks_;
        Flush();
        Send({{"ev", "popup"}, {"ask", ask}, {"menu", menu}, {"x", x}, {"y", y}, {"items", items}});
        const std::optional<json> answer = WaitAnswer(ask);
        if (answer && answer->value("item", "") == item.name && item.visible && item.enabled) {
            ctl_->MenuPasteImage_Click();
        }
    }
    void ShowDetailView(const Picture&, float w, float h) override {
        const int ask = ++asks_;
        Send({{"ev", "detail"}, {"ask", ask}, {"url", PreviewUrl()}, {"width", w}, {"height", h}});
        WaitAnswer(ask);
    }
    void ShowAbout(AboutForm& about) override {
        about.Show();
        // System Information leaves the box up; the page shows it again.
        while (about.Visible()) {
            const int ask = ++asks_;
            Send({{"ev", "about"},
                  {"ask", ask},
                  {"caption", about.Caption()},
                  {"lblTitle", about.lblTitle()},
                  {"lblVersion", about.lblVersion()},
                  {"lblDescription", about.lblDescription()},
                  {"lblDescription1", about.lblDescription1()},
                  {"lblDisclaimer", about.lblDisclaimer()},
                  {"cmdOK", about.cmdOKCaption()},
                  {"cmdSysInfo", about.cmdSysInfoCaption()}});
            const std::optional<json> answer = WaitAnswer(ask);
            if (answer && answer->value("button", "") == "cmdSysInfo") {
                about.cmdSysInfo_Click();
            } else {
                about.cmdOK_Click();
            }
            if (Closed()) break;
        }
    }

    // ---- Preview
    void Load(const std::string& path) override {
        {
            std::lock_guard<std::mutex> lock(s_.m_);
            s_.previewPath_ = path;
        }
        ++previewVersion_;
        json message = {{"ev", "preview"}, {"url", PreviewUrl()}};
        if (const auto size = JpegSize(path)) {
            message["width"] = size->first;
            message["height"] = size->second;
        }
        Flush();
        Send(message);
    }
    Picture PreviewPicture() override {
        return {};
    }  // the page shows the file itself
    void SetPreviewEnabled(bool) override {}
    void SetFocus() override {
        SetFocus("Image1");
    }

  private:
    enum class Got { Message, Timer, Closed, Nothing };

    bool Closed() const {
        std::lock_guard<std::mutex> lock(s_.m_);
        return s_.closed_;
    }

    // The next message of the page, or the timer's tick when it is due first.
    Got Take(std::string& message, bool wait) {
        std::unique_lock<std::mutex> lock(s_.m_);
        for (;;) {
            if (s_.closed_) return Got::Closed;
            if (!s_.inbox_.empty()) {
                message = std::move(s_.inbox_.front());
                s_.inbox_.pop_front();
                return Got::Message;
            }
            if (timerOn_ && Clock::now() >= due_) return Got::Timer;
            if (!wait) return Got::Nothing;
            if (timerOn_) {
                s_.cv_.wait_until(lock, due_);
            } else {
                s_.cv_.wait(lock);
            }
        }
    }

    // A modal wait: only the answer to `ask` is taken; the page's other messages wait
    // behind it, as a window's input does behind a modal box. Nothing once the page is gone.
    std::optional<json> WaitAnswer(int ask) {
        Flush();
        std::unique_lock<std::mutex> lock(s_.m_);
        for (;;) {
            if (s_.closed_) return std::nullopt;
            for (auto it = s_.inbox_.begin(); it != s_.inbox_.end(); ++it) {
                if (it->find("\"answer\"") == std::string::npos) continue;
                json m = json::parse(*it, nullptr, false);
                if (m.is_object() && m.value("op", "") == "answer" && m.value("ask", 0) == ask) {
                    s_.inbox_.erase(it);
                    return m;
                }
            }
            s_.cv_.wait(lock);
        }
    }

    // The page has gone while a member waits: stop the device, fail the transfer.
    void Abandon() {
        if (internet_) internet_->Abort();
#if defined(FOLIORAY_HAVE_SANE)
        if (SaneScanner* sane = platform_.sane()) sane->Cancel();
#endif
    }

    void Tick() {
        due_ = Clock::now() + interval_;
        ctl_->Timer1_Timer();
    }

    void RaiseScanComplete(std::string& fileName) {
        const int ask = ++asks_;
        Send({{"ev", "ScanComplete"}, {"ask", ask}, {"FileName", fileName}});
        const std::optional<json> answer = WaitAnswer(ask);
        if (!answer) return;
        const auto it = answer->find("FileName");
        if (it == answer->end() || !it->is_string()) return;
        // The name is the file a later upload sends: outside the root it would let a page
        // send any of the user's files.
        if (InsideRoot(s_.settings_.root, it->get<std::string>()))
            fileName = it->get<std::string>();
    }

    json ZOrder() const {
        json z = json::array();
        for (Child c : ctl_->Children().ZOrder()) z.push_back(ctl_->Children()[c].name);
        return z;
    }

    // Sends the children that changed since the last time, as a window repaints.
    void Flush() {
        if (!ctl_) return;
        for (const std::string& name : dirty_) {
            if (const ChildControl* c = ctl_->Children().Find(name)) {
                Send({{"ev", "child"}, {"child", ChildRecord(*c)}});
            }
        }
        dirty_.clear();
        if (ctl_->Children().ZOrder() != sentZOrder_) {
            sentZOrder_ = ctl_->Children().ZOrder();
            Send({{"ev", "zorder"}, {"zorder", ZOrder()}});
        }
    }

    std::string PreviewUrl() const {
        if (previewVersion_ == 0) return {};
        return "/session/" + s_.token_ + "/preview?v=" + std::to_string(previewVersion_);
    }

    void Send(const json& message) {
        s_.Send(message);
    }

    void Dispatch(const std::string& text) {
        const json m = json::parse(text, nullptr, false);
        if (!m.is_object()) return;
        const json id = m.value("id", json());
        try {
            json reply = Handle(m);
            if (!id.is_null()) {
                Flush();
                json out = {{"re", id}};
                if (!reply.is_discarded()) out["value"] = reply;
                Send(out);
            }
        } catch (const std::exception& e) {
            if (!id.is_null()) Send({{"re", id}, {"error", e.what()}});
        }
    }

    // The member or child event a message names; its result, or discarded for none.
    json Handle(const json& m) {
        const std::string op = m.value("op", "");
        const std::string name = m.value("name", "");
        ScanControl& c = *ctl_;
        if (op == "get") return Get(name);
        if (op == "set") {
            Set(name, m.value("value", json()));
            return json(json::value_t::discarded);
        }
        if (op == "call") {
            const json args = m.value("args", json::array());
            auto arg = [&](size_t i) {
                return args.is_array() && i < args.size() ? ToVariant(args[i]) : Variant::Missing();
            };
            if (name == "StartScan") {
                c.StartScan();
            } else if (name == "SetSize") {
                c.SetSize(arg(0).ToLong(), arg(1).ToLong());
            } else if (name == "UploadFile") {
                return c.UploadFile(arg(0), arg(1), arg(2), arg(3), arg(4), arg(5));
            } else if (name == "PasteName") {
                c.PasteName();
            } else {
                throw MemberError("unknown member " + name);
            }
            return nullptr;
        }
        const std::string child = m.value("child", "");
        const ChildControl* kid = c.Children().Find(child);
        // A hidden or disabled child takes no input, as on a screen.
        const bool live = kid && kid->visible && kid->enabled;
        if (op == "click" && live) {
            static const std::map<std::string, void (ScanControl::*)()> clicks = {
                {"Command1", &ScanControl::Command1_Click},
                {"Command2", &ScanControl::Command2_Click},
                {"Command4", &ScanControl::Command4_Click},
                {"Command5", &ScanControl::Command5_Click},
                {"Command6", &ScanControl::Command6_Click},
                {"Icon1", &ScanControl::Icon1_Click},
                {"Icon2", &ScanControl::Icon2_Click},
                {"Icon4", &ScanControl::Icon4_Click},
                {"Icon5", &ScanControl::Icon5_Click},
                {"Icon6", &ScanControl::Icon6_Click},
                {"MenuPasteImage", &ScanControl::MenuPasteImage_Click}};
            if (const auto it = clicks.find(child); it != clicks.end()) (c.*it->second)();
        } else if (op == "mouse" && live && child == "Image1") {
            int16_t button = static_cast<int16_t>(m.value("button", 0));
            c.Image1_PreviewMouseButton(button, static_cast<int16_t>(m.value("shift", 0)),
                                        m.value("x", 0.0f), m.value("y", 0.0f));
        } else if (op == "activate" && live && child == "Image1") {
            c.Image1_PreviewActivated();
        } else if (op == "focus" && child == "Text1") {
            c.Text1_GotFocus();
        } else if (op == "text" && child == "Text2") {
            c.SetEditorText(m.value("value", ""));
        } else if (op == "resize") {
            const float w = m.value("width", 0.0f), h = m.value("height", 0.0f);
            // The page echoing the extent the control asked for changes nothing.
            if (std::abs(w - c.Width()) >= kTwipsPerPixel ||
                std::abs(h - c.Height()) >= kTwipsPerPixel) {
                c.Resize(w, h);
            }
        }
        return json(json::value_t::discarded);
    }

    json Get(const std::string& name) {
        const ScanControl& c = *ctl_;
        if (name == "FullScreen") return c.FullScreen();
        if (name == "ButtonStyle") return c.ButtonStyle();
        if (name == "CurrentName") return c.CurrentName();
        if (name == "ShowModeButton") return c.ShowModeButton().ToBool();
        if (name == "SaveAsPDF") return c.SaveAsPDF().ToBool();
        if (name == "ControlMode") return c.ControlMode();
        if (name == "ImageWidth") return c.ImageWidth();
        if (name == "ImageHeight") return c.ImageHeight();
        if (name == "ImageSize") return c.ImageSize();
        if (name == "Quality") return c.Quality();
        if (name == "FilePath") return c.FilePath();
        throw MemberError("unknown member " + name);
    }

    void Set(const std::string& name, const json& value) {
        ScanControl& c = *ctl_;
        const Variant v = ToVariant(value);
        if (name == "FullScreen") {
            c.FullScreen(v.ToLong());
        } else if (name == "ButtonStyle") {
            c.ButtonStyle(v.ToLong());
        } else if (name == "ShowModeButton") {
            c.ShowModeButton(v);
        } else if (name == "SaveAsPDF") {
            c.SaveAsPDF(v);
        } else if (name == "ControlMode") {
            c.ControlMode(v.ToLong());
        } else if (name == "Quality") {
            c.Quality(v.ToLong());
        } else if (name == "FilePath") {
            const std::string path = v.ToText();
            if (!InsideRoot(s_.settings_.root, path)) {
                throw MemberError("FilePath must be inside " + s_.settings_.root);
            }
            c.FilePath(path);
        } else if (name == "CurrentName" || name == "ImageWidth" || name == "ImageHeight" ||
                   name == "ImageSize") {
            throw MemberError(name + " is read-only");
        } else {
            throw MemberError("unknown member " + name);
        }
    }

    WebSession& s_;
    MemoryClipboard clipboard_;  // this page's own: the scanner hands its pages through it
    PlatformPorts platform_;
    std::unique_ptr<AbortableInternet> internet_;
    Ports ports_;
    std::unique_ptr<ScanControl> ctl_;
    int asks_ = 0;
    int previewVersion_ = 0;
    bool timerOn_ = false;
    std::chrono::milliseconds interval_{1};
    Clock::time_point due_{};
    Clock::time_point lastProgress_{};
    std::set<std::string> dirty_;
    std::vector<Child> sentZOrder_;
};

WebSession::WebSession(Socket socket, std::string token, SessionSettings settings)
    : socket_(std::move(socket)), token_(std::move(token)), settings_(std::move(settings)) {}

WebSession::~WebSession() = default;

void WebSession::Start(std::function<void()> ended) {
    ended_ = std::move(ended);
    socket_.read_message_max(0);  // bounded in Read
    socket_.auto_fragment(false);
    Read();
    std::thread([self = shared_from_this()]() mutable {
        try {
            Window window(*self);
            window.Run();
        } catch (const std::exception& e) {
            std::cerr << "folioray-service: session ended: " << e.what() << std::endl;
        }
        // The control and its devices are gone; the socket is the network thread's.
        WebSession& s = *self;
        boost::asio::post(s.socket_.get_executor(), [self = std::move(self)] {
            const bool closing = std::exchange(self->closing_, true);
            if (!closing && self->socket_.is_open()) {
                self->socket_.async_close(boost::beast::websocket::close_code::normal,
                                          [self](boost::beast::error_code) {});
            }
            if (self->ended_) self->ended_();
        });
    }).detach();
}

void WebSession::Close() {
    {
        std::lock_guard<std::mutex> lock(m_);
        closed_ = true;
        if (cancel_) cancel_();
    }
    cv_.notify_all();
}

std::optional<std::pair<std::string, std::string>> WebSession::PreviewFile() const {
    std::lock_guard<std::mutex> lock(m_);
    if (previewPath_.empty()) return std::nullopt;
    return std::make_pair(previewPath_, ContentType(previewPath_));
}

void WebSession::Read() {
    socket_.async_read_some(
        readBuffer_, 64 * 1024, [self = shared_from_this()](boost::beast::error_code ec, size_t) {
            if (ec) return self->Lost();
            if (self->readBuffer_.size() > kMaxMessageBytes) {
                // Beast's own bound resets the connection with the rest of the message
                // unread, and the page loses the close frame; this close drains it first.
                self->closing_ = true;
                return self->socket_.async_close(
                    boost::beast::websocket::close_code::too_big,
                    [self](boost::beast::error_code) { self->Lost(); });
            }
            if (!self->socket_.is_message_done()) return self->Read();
            if (self->socket_.got_text()) {
                std::string text = boost::beast::buffers_to_string(self->readBuffer_.data());
                {
                    std::lock_guard<std::mutex> lock(self->m_);
                    self->inbox_.push_back(std::move(text));
                }
                self->cv_.notify_all();
            }
            self->readBuffer_.consume(self->readBuffer_.size());
            self->Read();
        });
}

void WebSession::Send(const json& message) {
    std::string text = message.dump(-1, ' ', false, json::error_handler_t::replace);
    boost::asio::post(socket_.get_executor(),
                      [self = shared_from_this(), text = std::move(text)]() mutable {
                          if (self->closing_) return;
                          self->outbox_.push_back(std::move(text));
                          if (self->outbox_.size() == 1) self->Write();
                      });
}

void WebSession::Write() {
    socket_.text(true);
    socket_.async_write(boost::asio::buffer(outbox_.front()),
                        [self = shared_from_this()](boost::beast::error_code ec, size_t) {
                            if (ec) return self->Lost();
                            self->outbox_.pop_front();
                            if (!self->outbox_.empty() && !self->closing_) self->Write();
                        });
}

void WebSession::Lost() {
    closing_ = true;  // a write under way keeps its buffer until it fails
    Close();
}

}  // namespace folioray::web
