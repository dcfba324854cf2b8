#pragma once
// The whole control on real parts: the SANE test device, TurboJPEG, the libharu
// "Image.Stream", libcurl against servers on 127.0.0.1, real files. Faults are made on
// the real thing where this machine allows it (a read-only folder, a full disk on a file
// system of its own); each maker says how it did it, or that it could not.
#include <fcntl.h>
#include <signal.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "control/ScanControl.h"
#include "platform/curl/CurlInternet.h"
#include "platform/haru/HaruImageStream.h"
#include "platform/headless/HeadlessHost.h"
#include "platform/headless/HeadlessPreview.h"
#include "platform/headless/MemoryClipboard.h"
#include "platform/sane/SaneScanner.h"
#include "platform/turbojpeg/TurboJpegLibrary.h"
#include "ports/ObjectRegistry.h"
#include "tests/acquire/SaneTestDevice.h"
#include "tests/support/TempDir.h"

namespace folioray::test {

// Runs its action when the last holder lets go: a fault undone.
using Keep = std::shared_ptr<void>;

inline Keep MakeUndo(std::function<void()> fn) {
    return Keep(new char, [fn = std::move(fn)](char* p) {
        delete p;
        fn();
    });
}

// ---- Probes.

inline bool CanCreateIn(const std::string& folder) {
    const std::string probe = folder + "/.probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

inline bool CanRead(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// ---- Fault makers. Each returns nothing when this machine cannot make the fault; `how`
// says what was done (or tried).

struct ReadOnlyFolder {
    Keep keep;
    std::string how;
};

// The folder made read-only after the control accepted it. Without root a chmod does it;
// root writes through mode bits, so the test thread then gives up root's file rights.
inline ReadOnlyFolder MakeFolderReadOnly(const std::string& folder, const std::string& sample) {
    struct stat st {};
    ::stat(folder.c_str(), &st);
    const mode_t mode = st.st_mode & 07777;
    auto restoreMode = [folder, mode] { ::chmod(folder.c_str(), mode); };
    auto works = [&] { return !CanCreateIn(folder) && CanRead(sample); };

    ::chmod(folder.c_str(), 0555);
    if (works()) return {MakeUndo(restoreMode), "chmod a-w"};
    if (::geteuid() == 0) {
        ::setfsuid(65534);
        if (::setfsuid(static_cast<uid_t>(-1)) == 65534 && works()) {
            return {MakeUndo([restoreMode] {
                        ::setfsuid(0);
                        restoreMode();
                    }),
                    "chmod a-w, test thread without root's file rights (setfsuid)"};
        }
        ::setfsuid(0);
    }
    restoreMode();
    return {nullptr, "neither chmod nor setfsuid works here"};
}

// A folder on a small file system of its own (a tmpfs), which Fill then fills.
struct SmallDisk {
    Keep keep;
    std::string folder;
    std::string how;
};

inline SmallDisk MakeSmallDisk(const std::string& parent) {
    const std::string folder = parent + "/small";
    ::mkdir(folder.c_str(), 0755);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=2m,mode=0755") == 0) {
        return {MakeUndo([folder] { ::umount2(folder.c_str(), MNT_DETACH); }), folder,
                "tmpfs of 2 MB"};
    }
    ::rmdir(folder.c_str());
    return {nullptr, folder, "mount refused"};
}

// Fills the folder's file system until `leaveBytes` (rounded up to whole blocks) are free.
inline bool Fill(const std::string& folder, uint64_t leaveBytes) {
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) != 0) return false;
    const uint64_t block = vfs.f_frsize;
    const uint64_t leaveBlocks = (leaveBytes + block - 1) / block;
    if (vfs.f_bavail < leaveBlocks) return false;
    const uint64_t size = (vfs.f_bavail - leaveBlocks) * block;
    const int fd = ::open((folder + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    const std::string chunk(64 * 1024, 'f');
    uint64_t done = 0;
    while (done < size) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - done));
        if (::write(fd, chunk.data(), n) != static_cast<ssize_t>(n)) break;
        done += n;
    }
    ::close(fd);
    return done == size;
}

// Where no small file system can be mounted: files may grow to `bytes` only (a write past
// it fails as on a full disk, EFBIG instead of ENOSPC), for this process until undone.
inline Keep LimitFileSize(uint64_t bytes) {
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit lim = old;
    lim.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &lim);
    auto oldSignal = ::signal(SIGXFSZ, SIG_IGN);
    return MakeUndo([old, oldSignal] {
        ::setrlimit(RLIMIT_FSIZE, &old);
        ::signal(SIGXFSZ, oldSignal);
    });
}

// ---- What the user is told, as FaultWorld::Messages() gives it.

inline const std::string kScanFailed =
    "[Pagewright Control] (stop): The picture could not be scanned.\r\n\r\n";
inline const std::string kJpgFailed =
    "An Error occurred while attempting to save the file to JPG format.";
inline const std::string kNoConversion =
    "[Pagewright Control] (exclamation): The PDF Conversion could not be performed.";
inline const std::string kTextFailed =
    "[Pagewright Control] (exclamation): The text could not be saved to a temporary file.";

// ---- The world.

class FaultWorld {
  public:
    FaultWorld() {
        UseSaneTestDevice();
        if (const char* old = std::getenv("TMPDIR")) oldTmp_ = old;
        ::setenv("TMPDIR", temp.path().c_str(), 1);
        ::chmod(work.path().c_str(), 0755);
        RegisterImageStream(objects);
        scanner.SetDevice("test:0");
        SaneScanner::Timeouts t;
        t.idle = std::chrono::seconds(20);
        scanner.SetTimeouts(t);
        ports.host = &host;
        ports.clipboard = &clipboard;
        ports.preview = &preview;
        ports.scanner = &scanner;
        ports.jpeg = &jpeg;
        ports.objects = &objects;
        ports.internet = &internet;
        control = std::make_unique<ScanControl>(ports);
        control->ScanComplete = [this](std::string& name) { events.push_back(name); };
        control->Resize(6000, 3000);
        UseFolder(work.path());
    }
    ~FaultWorld() {
        control.reset();
        if (oldTmp_) {
            ::setenv("TMPDIR", oldTmp_->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }
    FaultWorld(const FaultWorld&) = delete;
    FaultWorld& operator=(const FaultWorld&) = delete;

    void UseFolder(const std::string& f) {
        folder = f;
        control->FilePath(f);
    }
    std::string File(const std::string& name) const { return folder + "/" + name; }

    // A scan from the device's colour pattern at `dpi`; true when it was stored.
    bool Scan(int dpi) {
        scanner.ClearOptions();
        scanner.SetOption("test-picture", "Color pattern");
        scanner.SetOption("resolution", std::to_string(dpi));
        const size_t before = events.size();
        control->StartScan();
        return events.size() == before + 1;
    }

    // The working folder's files by name, with their bytes; "<no folder>" when it is gone.
    std::map<std::string, std::string> Files() const {
        std::map<std::string, std::string> files;
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec)) return {{"<no folder>", ""}};
        for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
            files[e.path().filename().string()] = ReadFile(e.path().string());
        }
        return files;
    }

    // The members a host can read, by property name.
    std::map<std::string, std::string> Members() const {
        const ScanControl& c = *control;
        return {{"CurrentName", c.CurrentName()},
                {"ImageWidth", std::to_string(c.ImageWidth())},
                {"ImageHeight", std::to_string(c.ImageHeight())},
                {"ImageSize", std::to_string(c.ImageSize())},
                {"ImageInfo", c.ImageInfo()},
                {"FilePath", c.FilePath()},
                {"ControlMode", std::to_string(c.ControlMode())},
                {"Quality", std::to_string(c.Quality())},
                {"SaveAsPDF", c.SaveAsPDF().ToText()}};
    }

    // Message boxes as "[title] (icon): text".
    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const auto& m : host.messages) {
            out.push_back("[" + m.title + "] (" + IconName(m.icon) + "): " + m.prompt);
        }
        return out;
    }

    TempDir work;
    TempDir temp;
    std::string folder;
    HeadlessHost host;
    MemoryClipboard clipboard;
    HeadlessPreview preview;
    SaneScanner scanner{clipboard};
    TurboJpegLibrary jpeg;
    ObjectRegistry objects;
    CurlInternet internet{CurlInternet::Timeouts{3000, 3000, 3000}};
    Ports ports;
    std::unique_ptr<ScanControl> control;
    std::vector<std::string> events;

  private:
    std::optional<std::string> oldTmp_;
};

}  // namespace folioray::test
