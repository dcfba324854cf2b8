// The control as a whole under faults of its surroundings: one row per fault, each with
// what the user is told, which files are left, which members changed and whether
// ScanComplete was raised. Every row starts from a good scan (at 50 dpi, where the row
// scans at 75), so that a member that "did not change" has a value to keep.
#include <fcntl.h>
#include <gtest/gtest.h>
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
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "control/ScanControl.h"
#include "imaging/PictureDib.h"
#include "platform/curl/CurlInternet.h"
#include "platform/haru/HaruImageStream.h"
#include "platform/headless/HeadlessHost.h"
#include "platform/headless/HeadlessPreview.h"
#include "platform/headless/MemoryClipboard.h"
#include "platform/sane/SaneScanner.h"
#include "platform/turbojpeg/TurboJpegLibrary.h"
#include "ports/ObjectRegistry.h"
#include "runtime/Variant.h"
#include "tests/acquire/SaneTestDevice.h"
#include "tests/support/FtpServer.h"
#include "tests/support/TempDir.h"
#include "tests/upload/UploadTestUtil.h"

namespace folioray::test {

// ---- The whole control on real parts: the SANE test device, TurboJPEG, the libharu
// "Image.Stream", libcurl against servers on 127.0.0.1, real files. Faults are made on the real
// thing where this machine allows it (a read-only folder, a full disk on a file system of its own);
// each maker says how it did it, or that it could not.

// Runs its action when the last holder lets go: a fault undone.
using Keep = std::shared_ptr<void>;

Keep MakeUndo(std::function<void()> fn) {
    return Keep(new char, [fn = std::move(fn)](char* p) {
        delete p;
        fn();
    });
}

// ---- Probes.

bool CanCreateIn(const std::string& folder) {
    const std::string probe = folder + "/.probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

bool CanRead(const std::string& file) {
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
ReadOnlyFolder MakeFolderReadOnly(const std::string& folder, const std::string& sample) {
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

SmallDisk MakeSmallDisk(const std::string& parent) {
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
bool Fill(const std::string& folder, uint64_t leaveBytes) {
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
Keep LimitFileSize(uint64_t bytes) {
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

const std::string kScanFailed =
    "[Pagewright Control] (stop): The picture could not be scanned.\r\n\r\n";
const std::string kJpgFailed = "An Error occurred while attempting to save the file to JPG format.";
const std::string kNoConversion =
    "[Pagewright Control] (exclamation): The PDF Conversion could not be performed.";
const std::string kTextFailed =
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

namespace folioray {
namespace {

using test::FaultWorld;
using test::Keep;

enum class Command { Scan, Paste, StoreText, Upload };

// What one row needs while it runs: the upload's server, how the fault was made.
struct Ctx {
    explicit Ctx(FaultWorld& world) : w(world) {}
    FaultWorld& w;
    // Never reached unless a row says so: the checks before the connection fail first.
    std::string server = "ftp.invalid", user = "tester", password = "pw-Secret-42";
    std::string remoteRoot;     // the server's folder, when it is a real server
    std::string how;            // how the fault was made on this machine
    std::string skip;           // set when this machine cannot make the fault
    std::vector<Keep> keep;     // undo actions, released once the outcome is taken
    std::vector<Keep> servers;  // released at the end of the row
};

enum class Remote { NotChecked, NoFile, NoCompleteCopy, CompleteCopy };

struct Row {
    std::string name;
    Command command;
    // After the picture of "before" is taken: the fault.
    std::function<void(Ctx&)> fault;
    std::vector<std::string> messages;  // "[title] (icon): text"
    std::string upload;                 // UploadFile's result
    std::set<std::string> files;        // the working folder's files afterwards
    std::set<std::string> unchanged;    // of those, the ones whose bytes are as before
    std::set<std::string> changed;      // members that changed
    bool event = false;
    Remote remote = Remote::NotChecked;
    friend void PrintTo(const Row& c, std::ostream* os) { *os << c.name; }
};

const std::string kText(64 * 1024, 't');

// A picture of noise, whose JPEG needs more than a few blocks of disk.
std::vector<uint8_t> PasteDib() {
    Picture p;
    p.isBitmap = true;
    p.width = 320;
    p.height = 240;
    const std::string noise = test::PatternBytes(static_cast<size_t>(p.Stride()) * p.height);
    p.bits.assign(noise.begin(), noise.end());
    return MakeDib(p);
}

// ---- Faults.

void RemoveFolder(Ctx& r) {
    std::filesystem::remove_all(r.w.folder);
}

void ReadOnlyFolder(Ctx& r) {
    auto ro = test::MakeFolderReadOnly(r.w.folder, r.w.File("scanx.jpg"));
    r.how = ro.how;
    if (!ro.keep) {
        r.skip = "cannot make a read-only folder here: " + ro.how;
        return;
    }
    r.keep.push_back(ro.keep);
}

void NoPdfObject(Ctx& r) {
    r.w.control->SaveAsPDF(Variant(true));
    r.w.objects.Unregister("Image.Stream");
    test::WriteFile(r.w.File("scanx.pdf"), "an earlier PDF");
}

// An object that takes every call and writes no file.
struct SilentDispatch : Dispatch {
    void Invoke(int32_t, const std::vector<std::string>&) override {}
};

void PdfObjectWritingNothing(Ctx& r) {
    r.w.control->SaveAsPDF(Variant(true));
    r.w.objects.Register("Image.Stream", [] { return std::make_unique<SilentDispatch>(); });
    test::WriteFile(r.w.File("scanx.pdf"), "an earlier PDF");
}

void FtpServerWith(Ctx& r, const test::FtpServer::Options& o) {
    auto server = std::make_shared<test::FtpServer>(o);
    r.server = server->address();
    r.remoteRoot = server->root();
    r.servers.push_back(server);
}

// ---- The rows.

using test::kJpgFailed;
using test::kNoConversion;
using test::kScanFailed;
using test::kTextFailed;

const std::string kNotWritable = "The picture cannot be saved to the specified filename. Error is ";
const std::string kAcquireFailed =
    kScanFailed +
    "A Problem was encountered while attempting to aquire the image. Please try again.";
const std::string kNoPdfObject =
    "[Pagewright Control] (exclamation): A PDF translation object could not be created "
    "(ActiveX component can't create object)";
const std::set<std::string> kFacts = {"ImageWidth", "ImageHeight", "ImageSize", "ImageInfo"};

// A command that fails with one message; `files` are the working folder's afterwards.
Row Failing(std::string name, Command command, std::function<void(Ctx&)> fault, std::string message,
            std::set<std::string> files, std::set<std::string> unchanged = {},
            std::set<std::string> changed = {}) {
    return {std::move(name),
            command,
            std::move(fault),
            {std::move(message)},
            "",
            std::move(files),
            std::move(unchanged),
            std::move(changed)};
}

// An upload that gives `result` and leaves the working folder as it was.
Row Upload(std::string name, std::function<void(Ctx&)> fault, std::string result,
           Remote remote = Remote::NotChecked, std::set<std::string> files = {"scanx.jpg"}) {
    std::set<std::string> unchanged = files;
    unchanged.erase("<no folder>");
    return {std::move(name),
            Command::Upload,
            std::move(fault),
            {},
            std::move(result),
            std::move(files),
            std::move(unchanged),
            {},
            false,
            remote};
}

std::vector<Row> Rows() {
    return {
        // A good scan first, for what a good one changes.
        {"Scan_NothingWrong", Command::Scan, nullptr, {}, "", {"scanx.jpg"}, {}, kFacts, true},
        Failing("Scan_FolderRemoved", Command::Scan, RemoveFolder,
                kScanFailed + kNotWritable + "Path not found", {"<no folder>"}),
        Failing("Scan_FolderReadOnly", Command::Scan, ReadOnlyFolder,
                kScanFailed + kNotWritable + "Permission denied", {"scanx.jpg"}, {"scanx.jpg"}),
        // Between the write test and the JPEG writer someone leaves a read-only scanx.jpg.
        Failing("Scan_JpegReadOnlyWhenReplaced", Command::Scan,
                [](Ctx& r) {
                    r.how = "read-only file (mode 0444) made at the pump point";
                    const std::string f = r.w.File("scanx.jpg");
                    r.w.host.onDoEvents = [f] {
                        if (test::Exists(f)) return;
                        test::WriteFile(f, "someone else's");
                        ::chmod(f.c_str(), 0444);
                    };
                },
                kScanFailed + kJpgFailed, {"scanx.jpg"}),
        Failing("Scan_DeviceStalls", Command::Scan,
                [](Ctx& r) {
                    SaneScanner::Timeouts t;
                    t.idle = std::chrono::milliseconds(100);
                    r.w.scanner.SetTimeouts(t);
                    r.w.scanner.SetOption("read-delay", "yes");
                    r.w.scanner.SetOption("read-delay-duration", "1000000");
                },
                kAcquireFailed, {}),
        Failing("Scan_DeviceJammed", Command::Scan,
                [](Ctx& r) { r.w.scanner.SetOption("read-return-value", "SANE_STATUS_JAMMED"); },
                kAcquireFailed, {}),
        Failing("Scan_PdfObjectAbsent", Command::Scan, NoPdfObject, kNoPdfObject,
                {"scanx.jpg", "scanx.pdf"}, {"scanx.pdf"}, kFacts),
        Failing("Scan_PdfObjectWritesNothing", Command::Scan, PdfObjectWritingNothing,
                kNoConversion, {"scanx.jpg"}, {}, kFacts),
        Failing(
            "Scan_PdfCannotReplaceTheOldOne", Command::Scan,
            [](Ctx& r) {
                r.w.control->SaveAsPDF(Variant(true));
                ::mkdir(r.w.File("scanx.pdf").c_str(), 0755);
                test::WriteFile(r.w.File("scanx.pdf/inside"), "x");
            },
            kNoConversion, {"scanx.jpg", "scanx.pdf"}, {}, kFacts),
        Failing("Paste_FolderRemoved", Command::Paste, RemoveFolder,
                "[File is not writable] (stop): " + kNotWritable + "Path not found",
                {"<no folder>"}),
        // Files may not grow past 4 KB: the JPEG of the pasted noise cannot be written.
        Failing("Paste_DiskFull", Command::Paste,
                [](Ctx& r) { r.keep.push_back(test::LimitFileSize(4096)); },
                "[Error saving file.] (exclamation): " + kJpgFailed, {}),
        Failing(
            "Paste_NothingOnTheClipboard", Command::Paste, [](Ctx& r) { r.w.clipboard.Clear(); },
            "[Clipboard Paste unsuccessful] (exclamation): An Error occurred while transferring "
            "the image from the clipboard to memory. The problem was identified as Invalid "
            "picture. Please try again.",
            {}),
        Failing("Text_FolderRemoved", Command::StoreText, RemoveFolder, kTextFailed,
                {"<no folder>"}),
        Upload("Upload_FolderRemoved", RemoveFolder,
               "Could not locate acquired data on local storage", Remote::NotChecked,
               {"<no folder>"}),
        Upload(
            "Upload_FolderReadOnlyStillUploads",
            [](Ctx& r) {
                FtpServerWith(r, {});
                ReadOnlyFolder(r);
            },
            "", Remote::CompleteCopy),
        // The password is masked wherever the server repeats it, in any letter case.
        Upload(
            "Upload_ServerRepeatsThePassword",
            [](Ctx& r) {
                test::FtpServer::Options o;
                o.echoPassword = true;
                o.password = "the server's own";
                FtpServerWith(r, o);
                r.password = "Zq7pW-oR4-Kx9";
            },
            "530 Login incorrect: user tester password ********\r\n", Remote::NoFile),
        Upload("Upload_DataConnectionClosedMidFile",
               [](Ctx& r) {
                   test::FtpServer::Options o;
                   o.dropAfter = 100000;
                   FtpServerWith(r, o);
                   // A working file larger than the server takes in at one read.
                   r.w.control->ControlMode(1);
                   r.w.control->SetEditorText(test::PatternBytes(4 << 20));
                   r.w.control->StartScan();
                   r.w.control->ControlMode(0);
               },
               "426 Data connection reset by the test server; transfer aborted.\r\n",
               Remote::NoCompleteCopy, {"scanx.jpg", "scanx.txt"}),
    };
}

class FaultMatrixTest : public ::testing::TestWithParam<Row> {};

TEST_P(FaultMatrixTest, GivesItsOutcome) {
    const Row& row = GetParam();
    FaultWorld w;
    Ctx run{w};
    ASSERT_TRUE(w.Scan(50)) << ::testing::PrintToString(w.Messages());

    // The command's own input.
    switch (row.command) {
        case Command::Paste:
            w.clipboard.SetDib(PasteDib());
            break;
        case Command::StoreText:
            w.control->ControlMode(1);
            w.control->SetEditorText(kText);
            break;
        default:
            break;
    }
    w.scanner.ClearOptions();
    w.scanner.SetOption("test-picture", "Color pattern");
    w.scanner.SetOption("resolution", "75");

    if (row.fault) row.fault(run);
    if (!run.skip.empty()) GTEST_SKIP() << run.skip;
    const auto membersBefore = w.Members();
    const auto filesBefore = w.Files();
    w.host.messages.clear();
    w.events.clear();
    const auto enabledBefore = w.control->Children()[Child::Command2].enabled;

    std::string result;
    switch (row.command) {
        case Command::Scan:
        case Command::StoreText:
            w.control->StartScan();
            break;
        case Command::Paste:
            w.control->MenuPasteImage_Click();
            break;
        case Command::Upload:
            result = w.control->UploadFile(Variant(run.server), Variant(run.user),
                                           Variant(run.password), Variant(int32_t{1}));
            break;
    }
    // Looked at while the fault still holds (a small disk goes with it).
    const auto files = w.Files();
    const auto members = w.Members();
    const auto messages = w.Messages();
    w.host.onDoEvents = nullptr;
    run.keep.clear();  // the fault undone; servers stay for a look at what they received
    if (!run.how.empty()) {
        std::cout << "[ fault    ] " << row.name << ": made by " << run.how << std::endl;
        RecordProperty("fault_made_by", run.how);
    }

    EXPECT_EQ(messages, row.messages);
    if (row.command == Command::Upload) {
        EXPECT_EQ(result, row.upload);
    }
    std::set<std::string> names;
    for (const auto& [name, bytes] : files) {
        if (name != "filler") names.insert(name);
    }
    EXPECT_EQ(names, row.files);
    for (const auto& name : row.unchanged) {
        ASSERT_TRUE(files.count(name) && filesBefore.count(name)) << name;
        EXPECT_EQ(files.at(name), filesBefore.at(name)) << name << " changed";
    }
    std::set<std::string> changed;
    for (const auto& [k, v] : members) {
        if (membersBefore.at(k) != v) changed.insert(k);
    }
    EXPECT_EQ(changed, row.changed);
    EXPECT_EQ(w.events.size(), row.event ? 1u : 0u);

    // Whatever happened, the control is usable again.
    EXPECT_EQ(w.host.pointer, MousePointer::Default);
    EXPECT_FALSE(w.control->Children()[Child::Text1].visible);
    EXPECT_FALSE(w.control->Children()[Child::PB].visible);
    EXPECT_EQ(w.control->Children()[Child::Command2].enabled, enabledBefore);

    if (row.remote != Remote::NotChecked) {
        const std::string name = std::filesystem::path(w.control->CurrentName()).filename();
        const std::string remote = run.remoteRoot + "/" + name;
        ASSERT_TRUE(filesBefore.count(name)) << name;
        const std::string& local = filesBefore.at(name);
        switch (row.remote) {
            case Remote::NoFile:
                EXPECT_FALSE(test::Exists(remote));
                break;
            case Remote::NoCompleteCopy:
                EXPECT_TRUE(!test::Exists(remote) || test::ReadFile(remote).size() < local.size());
                break;
            case Remote::CompleteCopy:
                EXPECT_TRUE(test::ReadFile(remote) == local);
                break;
            default:
                break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrixTest, ::testing::ValuesIn(Rows()),
                         [](const auto& tp) { return tp.param.name; });

// ---- The Scan and Paste commands on the real parts: a click handled while a command pumps
// messages is refused, a host may take the next page from ScanComplete, and a folder name
// that would break the PDF's interaction file is refused before the file is written.

std::vector<uint8_t> SmallDib() {
    Picture p;
    p.isBitmap = true;
    p.width = 5;
    p.height = 5;
    p.bits.assign(static_cast<size_t>(p.Stride()) * p.height, 0x80);
    return MakeDib(p);
}

TEST(ScanCommandTest, ScanAndPasteClickedWhileAScanPumpsMessagesAreRefused) {
    FaultWorld w;
    w.clipboard.SetDib(SmallDib());
    w.host.onDoEvents = [&w] {
        w.control->StartScan();
        w.control->MenuPasteImage_Click();
    };
    ASSERT_TRUE(w.Scan(50)) << ::testing::PrintToString(w.Messages());
    EXPECT_EQ(w.host.beeps, 4);  // two pump points, two refused clicks at each
    EXPECT_TRUE(w.host.messages.empty());
    EXPECT_NE(w.control->ImageWidth(), 5);
    w.host.onDoEvents = nullptr;
    w.clipboard.SetDib(SmallDib());
    w.control->MenuPasteImage_Click();  // refused no longer
    EXPECT_EQ(w.events.size(), 2u);
    EXPECT_EQ(w.control->ImageWidth(), 5);
}

TEST(ScanCommandTest, AHostTakesPageAfterPageFromTheEvent) {
    for (const bool paste : {false, true}) {
        FaultWorld w;
        w.control->ScanComplete = [&](std::string& name) {
            w.events.push_back(name);
            if (w.events.size() >= 3) return;
            w.clipboard.SetDib(SmallDib());
            paste ? w.control->MenuPasteImage_Click() : w.control->StartScan();
        };
        w.clipboard.SetDib(SmallDib());
        paste ? w.control->MenuPasteImage_Click() : w.control->StartScan();
        EXPECT_EQ(w.events, std::vector<std::string>(3, w.File("scanx.jpg"))) << paste;
        EXPECT_EQ(w.host.beeps, 0);
    }
}

TEST(ScanCommandTest, AFolderWithALineBreakIsNeverWrittenIntoThePdfsInteractionFile) {
    FaultWorld w;
    const std::string folder = w.work / "two\nlines";
    std::filesystem::create_directory(folder);
    w.UseFolder(folder);
    ASSERT_EQ(w.control->FilePath(), folder + "/");
    w.control->SaveAsPDF(Variant(true));
    EXPECT_FALSE(w.Scan(50));
    EXPECT_EQ(w.Messages(), std::vector<std::string>{
                                "[Pagewright Control] (exclamation): A temporary PDF interaction "
                                "file could not be written (Bad file name or number)"});
    EXPECT_TRUE(std::filesystem::is_empty(w.temp.path()));
    EXPECT_EQ(w.Files().size(), 1u);
    EXPECT_EQ(w.Files().count("scanx.jpg"), 1u);
}

// ---- A disk that fills up while a working file is written, at the first block, half way and in
// the last bytes of the file: the user is told, no cut-off file is left under a working name
// (nor a scratch file beside it), the earlier files stay as the message promises and no
// ScanComplete is raised.

enum class File { Jpeg, Pdf, Text };
// A tmpfs fills a whole block at a time; a file size limit stops at an exact byte.
enum class Limit { FullDisk, FileSize };

struct Case {
    const char* name;
    File file;
    Limit limit;
    int64_t fromEnd;  // bytes of the file that no longer fit; 0: none of it fits
    friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

class LateWriteTest : public ::testing::TestWithParam<Case> {
  protected:
    void Store(File file) {
        w.events.clear();
        w.host.messages.clear();
        w.control->ControlMode(file == File::Text ? 1 : 0);
        w.control->SaveAsPDF(Variant(file == File::Pdf));
        if (file == File::Text) w.control->SetEditorText(std::string(20000, 't'));
        w.scanner.ClearOptions();
        w.scanner.SetOption("test-picture", "Color pattern");
        w.scanner.SetOption("resolution", "75");
        w.control->StartScan();
    }
    void Clean() {
        for (const auto& [name, bytes] : w.Files()) std::filesystem::remove(w.File(name));
    }

    FaultWorld w;
};

int64_t Blocks(int64_t bytes) {
    return (bytes + 4095) / 4096;
}

TEST_P(LateWriteTest, LeavesNoCutOffFileAndSaysSo) {
    const Case& c = GetParam();
    auto disk = test::MakeSmallDisk(w.work.path());
    if (c.limit == Limit::FullDisk && !disk.keep) GTEST_SKIP() << "no tmpfs: " << disk.how;
    if (disk.keep) w.UseFolder(disk.folder);

    // The sizes of a good run on this machine.
    Store(File::Jpeg);
    ASSERT_EQ(w.events.size(), 1u);
    const std::string jpeg = w.Files().at("scanx.jpg");
    Store(c.file);
    ASSERT_EQ(w.events.size(), 1u);
    const char* name = c.file == File::Pdf    ? "scanx.pdf"
                       : c.file == File::Text ? "scanx.txt"
                                              : "scanx.jpg";
    const int64_t size = static_cast<int64_t>(w.Files().at(name).size());
    Clean();
    ASSERT_GT(size, c.fromEnd + 4096) << name << " too small for the case";

    const int64_t fits = size - (c.fromEnd ? c.fromEnd : size);
    const int64_t before = c.file == File::Pdf ? static_cast<int64_t>(jpeg.size()) : 0;
    test::Keep limit;
    if (c.limit == Limit::FullDisk) {
        ASSERT_TRUE(test::Fill(w.folder, 4096 * (Blocks(before) + fits / 4096)));
    } else {
        ASSERT_LT(before, fits) << "the picture itself would not fit";
        limit = test::LimitFileSize(static_cast<uint64_t>(fits));
    }
    Store(c.file);
    auto files = w.Files();
    limit.reset();
    files.erase("filler");

    const std::map<File, std::string> message = {{File::Jpeg, test::kScanFailed + test::kJpgFailed},
                                                 {File::Pdf, test::kNoConversion},
                                                 {File::Text, test::kTextFailed}};
    std::vector<std::string> expected = {message.at(c.file)};
    EXPECT_EQ(w.Messages(), expected);
    EXPECT_TRUE(w.events.empty());
    if (c.file == File::Pdf) {
        // The picture stays, whole, for another try.
        ASSERT_EQ(files.size(), 1u) << files.begin()->first;
        EXPECT_TRUE(files.count("scanx.jpg") && files.at("scanx.jpg") == jpeg);
    } else {
        EXPECT_TRUE(files.empty()) << files.begin()->first;
    }
}

INSTANTIATE_TEST_SUITE_P(Offsets, LateWriteTest,
                         // The JPEG needs a free block for the write test that comes first.
                         ::testing::Values(Case{"Jpeg_HalfWay", File::Jpeg, Limit::FullDisk, 8192},
                                           Case{"Jpeg_LastByte", File::Jpeg, Limit::FileSize, 1},
                                           Case{"Pdf_FirstBlock", File::Pdf, Limit::FullDisk, 0},
                                           Case{"Pdf_LastBlock", File::Pdf, Limit::FullDisk, 1},
                                           Case{"Pdf_LastByte", File::Pdf, Limit::FileSize, 1},
                                           Case{"Text_HalfWay", File::Text, Limit::FullDisk, 10000},
                                           Case{"Text_LastByte", File::Text, Limit::FileSize, 1}),
                         [](const auto& tp) { return std::string(tp.param.name); });

}  // namespace
}  // namespace folioray
