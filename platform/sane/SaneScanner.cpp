#include "platform/sane/SaneScanner.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sane/sane.h>
#include <sane/saneopts.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <type_traits>

#include "platform/sane/ReaderThreads.h"
#include "platform/sane/SaneFrames.h"
#include "runtime/ClipboardDib.h"
#include "runtime/ScopedFlag.h"

namespace folioray {

namespace {

using Clock = std::chrono::steady_clock;
using sane::ThreadIds;
using sane::WaitForNewThreadsToRest;

class SaneFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// libsane, and what it pulls in (ICU, libxml2, libusb, udev: nine libraries), is loaded
// when SANE first starts, so a run that never scans does not pay for loading it. Each
// entry point is named once here: its member and its lookup come from this list.
// clang-format off
#define FOLIORAY_SANE_CALLS(X)                                                     \
    X(init) X(exit) X(get_devices) X(open) X(close) X(get_option_descriptor)       \
    X(control_option) X(get_parameters) X(start) X(read) X(cancel) X(strstatus)
// clang-format on

struct SaneLibrary {
#define FOLIORAY_SANE_MEMBER(call) decltype(&::sane_##call) call = nullptr;
    FOLIORAY_SANE_CALLS(FOLIORAY_SANE_MEMBER)
#undef FOLIORAY_SANE_MEMBER
};

const SaneLibrary& Sane() {
    static const SaneLibrary library = [] {
        // Kept for the life of the process: backends may leave threads running in it.
        // Global and lazily bound, as when linked: the backends it loads bind to its helpers.
        void* so = ::dlopen("libsane.so.1", RTLD_LAZY | RTLD_GLOBAL);
        if (!so) throw SaneFailure(std::string("SANE cannot be loaded: ") + ::dlerror());
        auto symbol = [so](auto& to, const char* name) {
            to = reinterpret_cast<std::remove_reference_t<decltype(to)>>(::dlsym(so, name));
            if (!to) throw SaneFailure(std::string("SANE lacks ") + name);
        };
        SaneLibrary l;
#define FOLIORAY_SANE_LOOKUP(call) symbol(l.call, "sane_" #call);
        FOLIORAY_SANE_CALLS(FOLIORAY_SANE_LOOKUP)
#undef FOLIORAY_SANE_LOOKUP
        return l;
    }();
    return library;
}
#undef FOLIORAY_SANE_CALLS

std::string StatusText(const char* call, SANE_Status s) {
    return std::string(call) + ": " + Sane().strstatus(s);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A SANE option looked up by name on an open device.
struct OptionRef {
    SANE_Int index = -1;
    const SANE_Option_Descriptor* desc = nullptr;
};

OptionRef FindOption(SANE_Handle h, const std::string& name) {
    SANE_Int count = 0;
    if (Sane().control_option(h, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD) {
        return {};
    }
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = Sane().get_option_descriptor(h, i);
        if (d && d->name && name == d->name) return {i, d};
    }
    return {};
}

bool ParseBool(const std::string& v, SANE_Bool& out) {
    const std::string s = Lower(v);
    if (s == "yes" || s == "true" || s == "1" || s == "on") {
        out = SANE_TRUE;
    } else if (s == "no" || s == "false" || s == "0" || s == "off") {
        out = SANE_FALSE;
    } else {
        return false;
    }
    return true;
}

void ApplyOption(SANE_Handle h, const std::string& name, const std::string& value) {
    const OptionRef o = FindOption(h, name);
    if (!o.desc) throw SaneFailure("the device has no option '" + name + "'");
    if (!SANE_OPTION_IS_ACTIVE(o.desc->cap)) {
        throw SaneFailure("option '" + name + "' is not active now");
    }
    if (!SANE_OPTION_IS_SETTABLE(o.desc->cap)) {
        throw SaneFailure("option '" + name + "' cannot be set");
    }
    SANE_Status s = SANE_STATUS_GOOD;
    SANE_Int info = 0;
    const size_t words = std::max<size_t>(1, static_cast<size_t>(o.desc->size) / sizeof(SANE_Word));
    auto bad = [&] { return SaneFailure("bad value for option '" + name + "': " + value); };
    switch (o.desc->type) {
        case SANE_TYPE_BOOL: {
            SANE_Bool b = SANE_FALSE;
            if (!ParseBool(value, b)) throw bad();
            s = Sane().control_option(h, o.index, SANE_ACTION_SET_VALUE, &b, &info);
            break;
        }
        case SANE_TYPE_INT:
        case SANE_TYPE_FIXED: {
            char* end = nullptr;
            const double d = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0') throw bad();
            SANE_Word w = 0;
            if (o.desc->type == SANE_TYPE_FIXED) {
                if (d < -32768.0 || d >= 32768.0) throw bad();
                w = SANE_FIX(d);
            } else {
                if (d < INT32_MIN || d > INT32_MAX ||
                    d != static_cast<double>(static_cast<SANE_Word>(d))) {
                    throw bad();
                }
                w = static_cast<SANE_Word>(d);
            }
            std::vector<SANE_Word> all(words, w);  // an array option takes the value everywhere
            s = Sane().control_option(h, o.index, SANE_ACTION_SET_VALUE, all.data(), &info);
            break;
        }
        case SANE_TYPE_STRING: {
            std::vector<char> buf(static_cast<size_t>(std::max<SANE_Int>(o.desc->size, 1)), '\0');
            if (value.size() + 1 > buf.size()) throw bad();
            std::memcpy(buf.data(), value.data(), value.size());
            s = Sane().control_option(h, o.index, SANE_ACTION_SET_VALUE, buf.data(), &info);
            break;
        }
        case SANE_TYPE_BUTTON:
            s = Sane().control_option(h, o.index, SANE_ACTION_SET_VALUE, nullptr, &info);
            break;
        default:
            throw SaneFailure("option '" + name + "' takes no value");
    }
    if (s != SANE_STATUS_GOOD) {
        throw SaneFailure("option '" + name + "' = '" + value + "': " + Sane().strstatus(s));
    }
}

// Colour when the device offers it under its standard name; otherwise its own default.
void PreferColour(SANE_Handle h) {
    const OptionRef o = FindOption(h, SANE_NAME_SCAN_MODE);
    if (!o.desc || o.desc->type != SANE_TYPE_STRING || !SANE_OPTION_IS_ACTIVE(o.desc->cap) ||
        !SANE_OPTION_IS_SETTABLE(o.desc->cap) ||
        o.desc->constraint_type != SANE_CONSTRAINT_STRING_LIST) {
        return;
    }
    for (const SANE_String_Const* v = o.desc->constraint.string_list; v && *v; ++v) {
        if (std::strcmp(*v, SANE_VALUE_SCAN_MODE_COLOR) == 0) {
            ApplyOption(h, SANE_NAME_SCAN_MODE, SANE_VALUE_SCAN_MODE_COLOR);
            return;
        }
    }
}

double Resolution(SANE_Handle h) {
    const OptionRef o = FindOption(h, SANE_NAME_SCAN_RESOLUTION);
    if (!o.desc || o.desc->size < static_cast<SANE_Int>(sizeof(SANE_Word))) return 0;
    std::vector<SANE_Word> v(static_cast<size_t>(o.desc->size) / sizeof(SANE_Word));
    if (Sane().control_option(h, o.index, SANE_ACTION_GET_VALUE, v.data(), nullptr) !=
        SANE_STATUS_GOOD) {
        return 0;
    }
    if (o.desc->type == SANE_TYPE_FIXED) return SANE_UNFIX(v[0]);
    if (o.desc->type == SANE_TYPE_INT) return v[0];
    return 0;
}

// The device `device` names, or the first listed when it names none.
std::string ResolveDevice(const std::string& device) {
    if (!device.empty()) return device;
    const SANE_Device** list = nullptr;
    const SANE_Status s = Sane().get_devices(&list, SANE_FALSE);
    if (s != SANE_STATUS_GOOD) throw SaneFailure(StatusText("sane_get_devices", s));
    if (!list || !list[0] || !list[0]->name) throw SaneFailure("no scanner device was found");
    return list[0]->name;
}

std::string WordText(SANE_Value_Type type, SANE_Word w) {
    if (type == SANE_TYPE_FIXED) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", SANE_UNFIX(w));
        return buf;
    }
    return std::to_string(w);
}

const char* UnitText(SANE_Unit u) {
    switch (u) {
        case SANE_UNIT_PIXEL:
            return "pixel";
        case SANE_UNIT_BIT:
            return "bit";
        case SANE_UNIT_MM:
            return "mm";
        case SANE_UNIT_DPI:
            return "dpi";
        case SANE_UNIT_PERCENT:
            return "%";
        case SANE_UNIT_MICROSECOND:
            return "us";
        default:
            return "";
    }
}

std::vector<SaneOption> ReadOptions(SANE_Handle h) {
    std::vector<SaneOption> out;
    SANE_Int count = 0;
    if (Sane().control_option(h, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD) {
        return out;
    }
    std::string group;
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = Sane().get_option_descriptor(h, i);
        if (!d) continue;
        auto text = [](const char* t) { return std::string(t ? t : ""); };
        if (d->type == SANE_TYPE_GROUP) {
            group = text(d->title);
            continue;
        }
        if (!d->name || !*d->name) continue;
        SaneOption o;
        o.name = d->name;
        o.title = text(d->title);
        o.description = text(d->desc);
        o.group = group;
        o.unit = UnitText(d->unit);
        o.active = SANE_OPTION_IS_ACTIVE(d->cap);
        o.settable = SANE_OPTION_IS_SETTABLE(d->cap);
        switch (d->type) {
            case SANE_TYPE_BOOL:
                o.type = SaneOption::Type::Bool;
                break;
            case SANE_TYPE_INT:
                o.type = SaneOption::Type::Int;
                break;
            case SANE_TYPE_FIXED:
                o.type = SaneOption::Type::Fixed;
                break;
            case SANE_TYPE_STRING:
                o.type = SaneOption::Type::String;
                break;
            default:
                o.type = SaneOption::Type::Button;
                break;
        }
        if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
            for (const SANE_String_Const* v = d->constraint.string_list; v && *v; ++v)
                o.choices.emplace_back(*v);
        } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
            for (SANE_Int k = 1; k <= d->constraint.word_list[0]; ++k)
                o.choices.push_back(WordText(d->type, d->constraint.word_list[k]));
        } else if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
            const SANE_Range& r = *d->constraint.range;
            const bool fixed = d->type == SANE_TYPE_FIXED;
            o.hasRange = true;
            o.min = fixed ? SANE_UNFIX(r.min) : r.min;
            o.max = fixed ? SANE_UNFIX(r.max) : r.max;
            o.quant = fixed ? SANE_UNFIX(r.quant) : r.quant;
        }
        if (o.active && d->size > 0 && o.type != SaneOption::Type::Button) {
            std::vector<SANE_Word> buf(static_cast<size_t>(d->size) / sizeof(SANE_Word) + 2, 0);
            if (Sane().control_option(h, i, SANE_ACTION_GET_VALUE, buf.data(), nullptr) ==
                SANE_STATUS_GOOD) {
                if (o.type == SaneOption::Type::String) {
                    const char* s = reinterpret_cast<const char*>(buf.data());
                    o.value.assign(s, strnlen(s, static_cast<size_t>(d->size)));
                } else if (o.type == SaneOption::Type::Bool) {
                    o.value = buf[0] ? "yes" : "no";
                } else {
                    o.value = WordText(d->type, buf[0]);
                }
            }
        }
        out.push_back(std::move(o));
    }
    return out;
}

sane::FrameFormat FormatOf(SANE_Frame f) {
    switch (f) {
        case SANE_FRAME_GRAY:
            return sane::FrameFormat::Gray;
        case SANE_FRAME_RGB:
            return sane::FrameFormat::Rgb;
        case SANE_FRAME_RED:
            return sane::FrameFormat::Red;
        case SANE_FRAME_GREEN:
            return sane::FrameFormat::Green;
        case SANE_FRAME_BLUE:
            return sane::FrameFormat::Blue;
        default:
            throw SaneFailure("the device sends a frame format this program does not read");
    }
}

// A stalled thread abandoned by an earlier session; SANE cannot start again until it ends.
std::mutex g_sessionMutex;
bool g_abandonedRunning = false;

}  // namespace

// A self-pipe the waiting caller watches: written when a job ends or its progress moves,
// and by Cancel. Without one (no descriptors left) the caller looks every few ms.
struct SaneScanner::Wakeup {
    int fds[2] = {-1, -1};
    Wakeup() {
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) fds[0] = fds[1] = -1;
    }
    ~Wakeup() {
        for (int fd : fds)
            if (fd >= 0) ::close(fd);
    }
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;
    void Signal() const {
        const char c = 1;
        if (fds[1] >= 0) (void)!::write(fds[1], &c, 1);  // a full pipe is awake already
    }
    void Drain() const {
        char buf[64];
        while (fds[0] >= 0 && ::read(fds[0], buf, sizeof buf) > 0) {
        }
    }
};

struct SaneScanner::Job {
    std::function<void(Job&)> work;  // runs on the SANE thread
    // Set by the work when a device is open: closes it after the result is out, so the
    // caller never waits on a device that is slow (or unable) to close.
    std::function<void()> cleanup;
    std::shared_ptr<Wakeup> wake;
    bool reportProgress = false;  // the caller shows it: wake it for each percent

    std::atomic<bool> done{false};
    bool ok = false;  // written before `done`
    std::string error;

    std::atomic<Clock::rep> lastActivity{Clock::now().time_since_epoch().count()};
    std::atomic<bool> cancelRequested{false};
    std::atomic<uint64_t> received{0};
    std::atomic<uint64_t> expected{0};

    std::mutex handleMutex;  // held while the handle is cancelled or closed
    SANE_Handle handle = nullptr;

    std::shared_ptr<const std::vector<uint8_t>> dib;
    std::vector<SaneDevice> devices;
    std::vector<SaneOption> options;
    std::string deviceName;

    void Touch() { lastActivity = Clock::now().time_since_epoch().count(); }
    Clock::duration Idle() const {
        return Clock::now() - Clock::time_point(Clock::duration(lastActivity.load()));
    }
};

// One SANE thread per process, shared by the scanner objects alive at the same time;
// SANE starts on its first job and exits when the last scanner goes.
struct SaneScanner::Session {
    struct State {
        std::mutex m;
        std::condition_variable cv;
        std::deque<std::shared_ptr<Job>> queue;
        bool stop = false;
        bool finished = false;
        bool busy = false;
        bool initialised = false;        // SANE thread only
        std::atomic<bool> ready{false};  // SANE has started
    };
    std::shared_ptr<State> state = std::make_shared<State>();
    std::thread thread;

    static std::shared_ptr<Session> Acquire() {
        static std::weak_ptr<Session> current;
        std::lock_guard<std::mutex> lock(g_sessionMutex);
        if (auto s = current.lock()) return s;
        if (g_abandonedRunning) return nullptr;
        auto s = std::make_shared<Session>();
        s->thread = std::thread(&Session::Main, s->state);
        current = s;
        return s;
    }

    static void Main(std::shared_ptr<State> st) {
        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock<std::mutex> lk(st->m);
                st->cv.wait(lk, [&] { return st->stop || !st->queue.empty(); });
                if (st->queue.empty()) break;
                job = st->queue.front();
                st->queue.pop_front();
            }
            try {
                if (!st->initialised) {
                    SANE_Int version = 0;
                    const SANE_Status s = Sane().init(&version, nullptr);
                    if (s != SANE_STATUS_GOOD) throw SaneFailure(StatusText("sane_init", s));
                    st->initialised = true;
                    st->ready = true;
                }
                job->work(*job);
                job->ok = true;
            } catch (const std::exception& e) {
                job->ok = false;
                job->error = e.what();
            }
            job->done = true;
            job->wake->Signal();
            if (job->cleanup) job->cleanup();
            {
                std::lock_guard<std::mutex> lk(st->m);
                st->busy = false;
            }
            st->cv.notify_all();
            job->wake->Signal();  // a next scan may be waiting for the device to close
        }
        if (st->initialised) Sane().exit();
        {
            std::lock_guard<std::mutex> lk(st->m);
            st->finished = true;
        }
        st->cv.notify_all();
    }

    ~Session() {
        {
            std::lock_guard<std::mutex> lk(state->m);
            state->stop = true;
        }
        state->cv.notify_all();
        std::unique_lock<std::mutex> lk(state->m);
        if (state->cv.wait_for(lk, std::chrono::seconds(10), [&] { return state->finished; })) {
            lk.unlock();
            thread.join();
            return;
        }
        lk.unlock();
        // The device never came back: leave the thread to end on its own, and keep SANE
        // from starting again under it until it has.
        {
            std::lock_guard<std::mutex> lock(g_sessionMutex);
            g_abandonedRunning = true;
        }
        std::thread watcher([st = state] {
            std::unique_lock<std::mutex> l(st->m);
            st->cv.wait(l, [&] { return st->finished; });
            std::lock_guard<std::mutex> lock(g_sessionMutex);
            g_abandonedRunning = false;
        });
        watcher.detach();
        thread.detach();
    }
};

SaneScanner::SaneScanner(Clipboard& clipboard)
    : clipboard_(clipboard), wake_(std::make_shared<Wakeup>()) {}

void SaneScanner::Cancel() {
    cancelRequested_ = true;
    wake_->Signal();
}

void SaneScanner::WaitForDevice(std::chrono::milliseconds timeout) {
    timeout = std::max(timeout, std::chrono::milliseconds(1));
    // A host that only pumps gets short slices; no descriptor, short ones too.
    if (!wait_ && (pump_ || wake_->fds[0] < 0)) {
        timeout = std::min(timeout, std::chrono::milliseconds(15));
    }
    if (wait_ && wake_->fds[0] >= 0) {
        wait_(wake_->fds[0], timeout);
    } else {
        pollfd p{wake_->fds[0], POLLIN, 0};
        (void)::poll(&p, 1, static_cast<int>(std::min<int64_t>(timeout.count(), INT32_MAX)));
        if (pump_) pump_();
    }
    wake_->Drain();
}

SaneScanner::~SaneScanner() = default;

void SaneScanner::SetOption(const std::string& name, const std::string& value) {
    auto it = std::find_if(options_.begin(), options_.end(),
                           [&](const auto& o) { return o.first == name; });
    if (it != options_.end()) options_.erase(it);
    options_.emplace_back(name, value);
}

bool SaneScanner::Run(const std::shared_ptr<Job>& job) {
    lastError_.clear();
    // A scan started from a message pumped inside this one cannot use the same device.
    if (inRun_) {
        lastError_ = "the scanner is busy";
        return false;
    }
    if (!session_) session_ = Session::Acquire();
    if (!session_) {
        lastError_ = "an earlier device has not returned yet";
        return false;
    }
    const ScopedFlag inRun(inRun_);

    Session::State& st = *session_->state;
    job->wake = wake_;
    job->reportProgress = static_cast<bool>(progress_);
    {
        // The previous job may still be closing its device; it signals when it has.
        const Clock::time_point deadline = Clock::now() + timeouts_.cancelGrace;
        std::unique_lock<std::mutex> lk(st.m);
        while (st.busy) {
            const Clock::time_point now = Clock::now();
            if (now > deadline) {
                lastError_ = "the scanner is busy";
                return false;
            }
            lk.unlock();
            WaitForDevice(std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
            lk.lock();
        }
        st.busy = true;
        job->Touch();
        st.queue.push_back(job);
    }
    st.cv.notify_all();

    bool cancelled = false;
    bool userCancelled = false;
    Clock::time_point cancelledAt{};
    int lastPercent = -1;
    for (;;) {
        if (job->done) break;
        if (progress_ && job->expected > 0) {
            const int percent =
                static_cast<int>(std::min<uint64_t>(100, job->received * 100 / job->expected));
            if (percent != lastPercent) progress_(lastPercent = percent);
        }
        Clock::duration left;
        if (!cancelled && (cancelRequested_ || job->Idle() > timeouts_.idle)) {
            cancelled = true;
            userCancelled = cancelRequested_;
            cancelledAt = Clock::now();
            job->cancelRequested = true;
            // sane_cancel may itself wait on the device; the caller must not.
            std::thread([job] {
                std::lock_guard<std::mutex> lk(job->handleMutex);
                if (job->handle) Sane().cancel(job->handle);
            }).detach();
        }
        if (cancelled) {
            left = timeouts_.cancelGrace - (Clock::now() - cancelledAt);
            if (left < Clock::duration::zero()) {
                lastError_ = "the device stopped responding and could not be cancelled";
                return false;  // the session stays busy until the job ends
            }
        } else {
            left = timeouts_.idle - job->Idle();
        }
        if (job->done) break;
        WaitForDevice(std::chrono::ceil<std::chrono::milliseconds>(left));
    }
    if (cancelled) {
        lastError_ = userCancelled ? "cancelled" : "the device sent no data for too long";
        return false;
    }
    if (!job->ok) {
        lastError_ = job->error;
        return false;
    }
    return true;
}

std::vector<SaneDevice> SaneScanner::Devices() {
    auto job = std::make_shared<Job>();
    job->work = [](Job& j) {
        const SANE_Device** list = nullptr;
        const SANE_Status s = Sane().get_devices(&list, SANE_FALSE);
        if (s != SANE_STATUS_GOOD) throw SaneFailure(StatusText("sane_get_devices", s));
        for (const SANE_Device** d = list; d && *d; ++d) {
            auto text = [](const char* t) { return std::string(t ? t : ""); };
            j.devices.push_back(
                {text((*d)->name), text((*d)->vendor), text((*d)->model), text((*d)->type)});
        }
    };
    if (!Run(job)) return {};
    return job->devices;
}

int16_t SaneScanner::TWAIN_IsAvailable() {
    try {
        // With a device named, SANE starting is the answer, as a source manager that loads:
        // whether that device is there shows when it is opened. Listing every backend's
        // devices (USB and network probes) before each page would cost more than the page.
        if (!device_.empty()) {
            lastError_.clear();
            if (session_ && session_->state->ready) return 1;
            auto job = std::make_shared<Job>();
            job->work = [](Job&) {};
            return Run(job) ? 1 : 0;
        }
        const std::vector<SaneDevice> devices = Devices();
        if (devices.empty()) {
            if (lastError_.empty()) lastError_ = "no scanner device was found";
            return 0;
        }
        // The scan that follows takes the first of this list rather than listing again.
        listedFirst_ = devices.front().name;
        return 1;
    } catch (const std::exception& e) {
        lastError_ = e.what();
        return 0;
    }
}

int16_t SaneScanner::TWAIN_SelectImageSource(intptr_t) {
    try {
        const std::vector<SaneDevice> devices = Devices();
        if (devices.empty()) {
            if (lastError_.empty()) lastError_ = "no scanner device was found";
            return 0;
        }
        if (!chooser_) return 0;
        const std::optional<std::string> chosen = chooser_(devices, device_);
        if (!chosen) return 0;
        for (const SaneDevice& d : devices) {
            if (d.name == *chosen) {
                device_ = d.name;
                return 1;
            }
        }
        lastError_ = "no scanner device is named '" + *chosen + "'";
        return 0;
    } catch (const std::exception& e) {
        lastError_ = e.what();
        return 0;
    }
}

std::vector<SaneOption> SaneScanner::Options(std::string* device) {
    auto job = std::make_shared<Job>();
    job->work = [device = device_](Job& j) {
        j.deviceName = ResolveDevice(device);
        SANE_Handle h = nullptr;
        const SANE_Status os = Sane().open(j.deviceName.c_str(), &h);
        if (os != SANE_STATUS_GOOD) throw SaneFailure(StatusText("sane_open", os));
        try {
            j.options = ReadOptions(h);
        } catch (...) {
            Sane().close(h);
            throw;
        }
        Sane().close(h);
    };
    if (!Run(job)) return {};
    if (device) *device = job->deviceName;
    return job->options;
}

int16_t SaneScanner::TWAIN_AcquireToClipboard(intptr_t, uint32_t) {
    struct Scanning {
        std::function<void(bool)>& tell;
        bool told = false;
        ~Scanning() {
            if (told && tell) tell(false);
        }
    } scanning{scanning_};
    try {
        cancelRequested_ = false;
        std::vector<Option> chosen;
        if (settings_) {
            std::string device;
            const std::vector<SaneOption> offered = Options(&device);
            if (offered.empty()) {
                if (lastError_.empty()) lastError_ = "the device offers no options";
                return 0;
            }
            std::optional<std::vector<Option>> answer = settings_(device, offered);
            if (!answer) {
                lastError_ = "cancelled";
                return 0;
            }
            chosen = std::move(*answer);
            cancelRequested_ = false;
        }
        const std::string device = device_.empty() ? std::exchange(listedFirst_, {}) : device_;
        auto job = std::make_shared<Job>();
        PageSinks sinks = clipboard_.SharesDib() ? pageSinks_ : nullptr;
        job->work = [device, options = options_, chosen, sinks](Job& j) {
            const std::string name = ResolveDevice(device);
            const std::vector<long> threadsBefore = ThreadIds();
            j.Touch();
            SANE_Handle h = nullptr;
            const SANE_Status os = Sane().open(name.c_str(), &h);
            if (os != SANE_STATUS_GOOD) throw SaneFailure(StatusText("sane_open", os));
            {
                std::lock_guard<std::mutex> lk(j.handleMutex);
                j.handle = h;
            }
            // Closed after the result is out, on every way out; a cancel from the caller
            // never races the close.
            j.cleanup = [&j, threadsBefore] {
                SANE_Handle handle;
                {
                    std::lock_guard<std::mutex> lk(j.handleMutex);
                    handle = j.handle;
                    j.handle = nullptr;
                }
                WaitForNewThreadsToRest(threadsBefore,
                                        std::chrono::milliseconds(j.ok ? 500 : 2000));
                Sane().cancel(handle);
                Sane().close(handle);
            };
            bool modeGiven = false;
            for (const auto& o : options) modeGiven |= o.first == SANE_NAME_SCAN_MODE;
            for (const auto& o : chosen) modeGiven |= o.first == SANE_NAME_SCAN_MODE;
            if (!modeGiven) PreferColour(h);
            for (const auto& o : options) ApplyOption(h, o.first, o.second);
            for (const auto& o : chosen) {
                // Another choice may have made this one inactive or out of range.
                try {
                    ApplyOption(h, o.first, o.second);
                } catch (const SaneFailure&) {
                }
            }
            const double dpi = Resolution(h);

            sane::FrameAssembler frames(kMaxDibPixels);
            std::unique_ptr<PageSink> sink;
            std::vector<uint8_t> buffer(64 * 1024);
            uint64_t shownPercent = 0;
            for (;;) {
                j.Touch();
                const SANE_Status ss = Sane().start(h);
                if (ss != SANE_STATUS_GOOD) throw SaneFailure(StatusText("sane_start", ss));
                SANE_Parameters p{};
                const SANE_Status ps = Sane().get_parameters(h, &p);
                if (ps != SANE_STATUS_GOOD)
                    throw SaneFailure(StatusText("sane_get_parameters", ps));
                frames.BeginFrame({FormatOf(p.format), p.last_frame != SANE_FALSE, p.bytes_per_line,
                                   p.pixels_per_line, p.lines, p.depth});
                j.expected = frames.BytesExpected();
                if (sinks && !sink && frames.ConvertsAsItArrives()) {
                    sink = sinks(frames.Width(), p.lines);
                    if (sink) frames.ShowLines([&sink](const uint8_t* line) { sink->Line(line); });
                }
                for (;;) {
                    if (j.cancelRequested) throw SaneFailure("cancelled");
                    // The read that brings a frame's last bytes is where such a backend
                    // cancels its reader: a reader that has written them all is let end.
                    const uint64_t got = frames.BytesReceived();
                    const uint64_t due = frames.BytesExpected();
                    if (due > 0 && (got >= due || due - got <= buffer.size())) {
                        // It has little left to do: looked at often.
                        WaitForNewThreadsToRest(threadsBefore, std::chrono::milliseconds(20),
                                                std::chrono::microseconds(20));
                    }
                    SANE_Int length = 0;
                    const SANE_Status rs = Sane().read(
                        h, buffer.data(), static_cast<SANE_Int>(buffer.size()), &length);
                    if (rs == SANE_STATUS_EOF) break;
                    if (rs != SANE_STATUS_GOOD) throw SaneFailure(StatusText("sane_read", rs));
                    // A device must never claim more than the buffer holds.
                    if (length < 0 || static_cast<size_t>(length) > buffer.size()) {
                        throw SaneFailure("sane_read: the device reported an impossible length");
                    }
                    if (length == 0) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                        continue;
                    }
                    frames.Append(buffer.data(), static_cast<size_t>(length));
                    j.received = frames.BytesReceived();
                    j.Touch();
                    // A waiting window wakes for each percent, not for each buffer.
                    if (j.reportProgress && j.expected > 0) {
                        const uint64_t percent = j.received * 100 / j.expected;
                        if (percent != shownPercent) {
                            shownPercent = percent;
                            j.wake->Signal();
                        }
                    }
                }
                frames.EndFrame();
                if (frames.Complete() || p.last_frame) break;
            }
            if (sink) sink->Drain();  // the page's last steps may move its lines
            auto dib = std::make_shared<const std::vector<uint8_t>>(frames.MakeDib(dpi));
            if (sink && frames.ShownWhole()) {
                sink->Whole(dib, dib->data() + kBitmapInfoHeaderSize, frames.Stride());
            }
            j.dib = std::move(dib);
        };
        if (scanning_) {
            scanning.told = true;
            scanning_(true);
        }
        if (!Run(job)) return 0;
        clipboard_.SetSharedDib(std::move(job->dib));
        return 1;
    } catch (const std::exception& e) {
        lastError_ = e.what();
        return 0;
    }
}

}  // namespace folioray
