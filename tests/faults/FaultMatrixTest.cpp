// The control as a whole under faults of its surroundings: one row per fault, each with
// what the user is told, which files are left, which members changed and whether
// ScanComplete was raised. Every row starts from a good scan (at 50 dpi, where the row
// scans at 75), so that a member that "did not change" has a value to keep.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <set>

#include "imaging/PictureDib.h"
#include "runtime/Variant.h"
#include "tests/faults/FaultWorld.h"
#include "tests/faults/FtpPeer.h"
#include "tests/support/FtpServer.h"
#include "tests/support/ScriptedObjects.h"
#include "tests/upload/UploadTestUtil.h"

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
    std::string server = "ftp.invalid", user = "tester", password = "pw-Secret-42", dir;
    std::string remoteRoot;     // the server's folder, when it is a real server
    std::string how;            // how the fault was made on this machine
    std::string description;    // the file system's error text for it ("{fs}" in messages)
    std::string skip;           // set when this machine cannot make the fault
    std::vector<Keep> keep;     // undo actions, released once the outcome is taken
    std::vector<Keep> servers;  // released at the end of the row
};

enum class Remote { NotChecked, NoFile, NoCompleteCopy, CompleteCopy };

struct Row {
    std::string name;
    Command command;
    // Before the first good scan (the working folder on a small disk, a resolution).
    std::function<void(Ctx&)> setup;
    // After the picture of "before" is taken: the fault.
    std::function<void(Ctx&)> fault;
    std::vector<std::string> messages;  // "[title] (icon): text"; "{fs}" is the fault's error
    std::string upload;                 // UploadFile's result
    std::set<std::string> files;        // the working folder's files afterwards
    std::set<std::string> unchanged;    // of those, the ones whose bytes are as before
    std::set<std::string> changed;      // members that changed
    bool event = false;
    Remote remote = Remote::NotChecked;
    int baselineDpi = 50;
};

const std::string kText(64 * 1024, 't');

// A picture of noise, whose JPEG needs more than a few blocks of disk.
std::vector<uint8_t> PasteDib() {
    Picture p;
    p.isBitmap = true;
    p.width = 320;
    p.height = 240;
    p.bits.assign(static_cast<size_t>(p.Stride()) * p.height, 0);
    uint32_t x = 2463534242u;
    for (auto& b : p.bits) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
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
    r.description = ro.description;
    r.keep.push_back(ro.keep);
}

// The working folder on a small file system of its own (before the good scan)...
void SmallDisk(Ctx& r) {
    auto disk = test::MakeSmallDisk(r.w.work.path());
    if (disk.keep) {
        r.how = disk.how;
        r.keep.push_back(disk.keep);
        r.w.UseFolder(disk.folder);
    } else {
        r.how = "file size limit (RLIMIT_FSIZE; " + disk.how + ")";
    }
}

// ...then filled up, so that `leave` bytes stay free; without a small file system, files
// may not grow past `limit` bytes instead.
void DiskFull(Ctx& r, uint64_t leave, uint64_t limit) {
    if (r.how.rfind("tmpfs", 0) == 0) {
        if (!test::Fill(r.w.folder, leave)) r.skip = "cannot fill the small disk";
    } else {
        r.keep.push_back(test::LimitFileSize(limit));
    }
}

void DeviceStatus(Ctx& r, const char* status) {
    r.w.scanner.SetOption("read-return-value", status);
}

void NoPdfObject(Ctx& r) {
    r.w.control->SaveAsPDF(Variant(true));
    r.w.objects.Unregister("Image.Stream");
    test::WriteFile(r.w.File("scanx.pdf"), "an earlier PDF");
}

void PdfObjectWritingNothing(Ctx& r) {
    r.w.control->SaveAsPDF(Variant(true));
    r.w.objects.Register("Image.Stream", [] {
        return std::make_unique<RecordingDispatch>(std::make_shared<DispatchLog>(), false);
    });
    test::WriteFile(r.w.File("scanx.pdf"), "an earlier PDF");
}

void FtpServerWith(Ctx& r, const test::FtpServer::Options& o) {
    auto server = std::make_shared<test::FtpServer>(o);
    r.server = server->address();
    r.remoteRoot = server->root();
    r.servers.push_back(server);
}

void Peer(Ctx& r, test::FtpPeer::Script script) {
    auto peer = std::make_shared<test::FtpPeer>(std::move(script));
    r.server = peer->address();
    r.servers.push_back(peer);
}

// ---- The rows.

const std::string kScanFailed =
    "[Pagewright Control] (stop): The picture could not be scanned.\r\n\r\n";
const std::string kNotWritable = "The picture cannot be saved to the specified filename. Error is ";
const std::string kAcquireFailed =
    kScanFailed +
    "A Problem was encountered while attempting to aquire the image. Please try again.";
const std::string kJpgFailed = "An Error occurred while attempting to save the file to JPG format.";
const std::string kTextFailed =
    "[Pagewright Control] (exclamation): The text could not be saved to a temporary file.";
const std::string kNoConversion =
    "[Pagewright Control] (exclamation): The PDF Conversion could not be performed.";
const std::string kNoPdfObject =
    "[Pagewright Control] (exclamation): A PDF translation object could not be created "
    "(ActiveX component can't create object)";
const std::set<std::string> kFacts = {"ImageWidth", "ImageHeight", "ImageSize", "ImageInfo"};

// A command that fails with one message; `files` are the working folder's afterwards.
Row Failing(std::string name, Command command, std::function<void(Ctx&)> fault, std::string message,
            std::set<std::string> files, std::set<std::string> unchanged = {},
            std::set<std::string> changed = {}) {
    return {std::move(name),      command, nullptr,          std::move(fault),
            {std::move(message)}, "",      std::move(files), std::move(unchanged),
            std::move(changed)};
}

// The same with the working folder on a small disk, scanned first at `dpi`.
Row OnSmallDisk(Row row, int dpi = 50) {
    row.setup = SmallDisk;
    row.baselineDpi = dpi;
    return row;
}

// An upload that gives `result` and leaves the working folder as it was.
Row Upload(std::string name, std::function<void(Ctx&)> fault, std::string result,
           Remote remote = Remote::NotChecked, std::set<std::string> files = {"scanx.jpg"}) {
    std::set<std::string> unchanged = files;
    unchanged.erase("<no folder>");
    return {std::move(name),
            Command::Upload,
            nullptr,
            std::move(fault),
            {},
            std::move(result),
            std::move(files),
            std::move(unchanged),
            {},
            false,
            remote};
}

void SilentServer(Ctx& r) {
    auto listener = std::make_shared<test::SilentListener>();
    r.server = listener->address();
    r.servers.push_back(listener);
}

const std::string kTimedOut =
    "InternetConnect error code: 12002 Message: The operation timed out. (server response "
    "timeout)\r\n";

std::vector<Row> Rows() {
    std::vector<Row> rows = {
        // A good scan first, for what a good one changes.
        {"Scan_NothingWrong",
         Command::Scan,
         nullptr,
         nullptr,
         {},
         "",
         {"scanx.jpg"},
         {},
         kFacts,
         true},
        Failing("Scan_FolderRemoved", Command::Scan, RemoveFolder,
                kScanFailed + kNotWritable + "Path not found", {"<no folder>"}),
        Failing("Scan_FolderReadOnly", Command::Scan, ReadOnlyFolder,
                kScanFailed + kNotWritable + "{fs}", {"scanx.jpg"}, {"scanx.jpg"}),
        OnSmallDisk(Failing("Scan_DiskFullDuringJpegWrite", Command::Scan,
                            [](Ctx& r) { DiskFull(r, 4096, 4096); }, kScanFailed + kJpgFailed, {})),
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
        // The JPEG fits exactly; the PDF that carries it cannot.
        OnSmallDisk(Failing("Scan_DiskFullDuringPdfWrite", Command::Scan,
                            [](Ctx& r) {
                                r.w.control->SaveAsPDF(Variant(true));
                                DiskFull(r, 0, static_cast<uint64_t>(r.w.control->ImageSize()));
                            },
                            kNoConversion, {"scanx.jpg"}),
                    75),
        Failing("Paste_FolderRemoved", Command::Paste, RemoveFolder,
                "[File is not writable] (stop): " + kNotWritable + "Path not found",
                {"<no folder>"}),
        OnSmallDisk(Failing("Paste_DiskFull", Command::Paste,
                            [](Ctx& r) { DiskFull(r, 4096, 4096); },
                            "[Error saving file.] (exclamation): " + kJpgFailed, {})),
        Failing(
            "Paste_NothingOnTheClipboard", Command::Paste, [](Ctx& r) { r.w.clipboard.Clear(); },
            "[Clipboard Paste unsuccessful] (exclamation): An Error occurred while transferring "
            "the image from the clipboard to memory. The problem was identified as Invalid "
            "picture. Please try again.",
            {}),
        Failing("Text_FolderRemoved", Command::StoreText, RemoveFolder, kTextFailed,
                {"<no folder>"}),
        // A text cut short by the full disk is not left behind as if it were the text.
        OnSmallDisk(Failing("Text_DiskFull", Command::StoreText,
                            [](Ctx& r) { DiskFull(r, 4096, 4096); }, kTextFailed, {"scanx.jpg"},
                            {"scanx.jpg"})),
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
        Upload(
            "Upload_LoginRefused",
            [](Ctx& r) {
                FtpServerWith(r, {});
                r.password = "not-the-password";
            },
            "530 Authentication failed.\r\n", Remote::NoFile),
        Upload(
            "Upload_MissingDirectory",
            [](Ctx& r) {
                FtpServerWith(r, {});
                r.dir = "no/such/folder";
            },
            "550 No such file or directory.\r\n", Remote::NoFile),
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
        Upload("Upload_ServerNeverAnswers", SilentServer, kTimedOut),
        Upload(
            "Upload_NothingListening",
            [](Ctx& r) { r.server = "127.0.0.1:" + std::to_string(test::ClosedPort()); },
            "InternetConnect error code: 12029 Message: A connection to the server could not be "
            "established. (Failed to connect to 127.0.0.1 port ..."),
        Upload(
            "Upload_OverLongLine",
            [](Ctx& r) {
                Peer(r, [](test::FtpPeer::Conn& c) {
                    const std::string block(64 * 1024, 'A');
                    for (int i = 0; i < 64 && c.Send(block);) ++i;
                    c.Send("\r\n");
                    c.AnswerEverything("530 no\r\n");
                });
            },
            "InternetConnect error code: 12031 Message: The connection with the server was "
            "reset. (Too large response headers: 311296 > 307200)\r\n"),
        Upload(
            "Upload_MultiLineReplyWithoutEnd",
            [](Ctx& r) {
                Peer(r, [](test::FtpPeer::Conn& c) {
                    while (c.Send("220-and there is more\r\n")) {
                    }
                });
            },
            "InternetConnect error code: 12152 Message: The server's response could not be "
            "understood.\r\n"),
    };
    for (const char* status : {"SANE_STATUS_JAMMED", "SANE_STATUS_IO_ERROR"}) {
        rows.push_back(Failing(std::string("Scan_Device_") + (status + 12), Command::Scan,
                               [status](Ctx& r) { DeviceStatus(r, status); }, kAcquireFailed, {}));
    }
    return rows;
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) {
        s.replace(p, from.size(), to);
    }
    return s;
}

std::string Show(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            out += "\\x" + std::to_string(static_cast<unsigned char>(c));
        } else {
            out += c;
        }
    }
    return out;
}

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

class FaultMatrixTest : public ::testing::TestWithParam<Row> {};

TEST_P(FaultMatrixTest, GivesItsOutcome) {
    const Row& row = GetParam();
    FaultWorld w;
    Ctx run{w};
    if (row.setup) row.setup(run);
    ASSERT_TRUE(w.Scan(row.baselineDpi)) << ::testing::PrintToString(w.Messages());

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
            result = w.control->UploadFile(
                Variant(run.server), Variant(run.user), Variant(run.password), Variant(int32_t{1}),
                Variant::Missing(), run.dir.empty() ? Variant::Missing() : Variant(run.dir));
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

    std::vector<std::string> expectedMessages;
    for (const auto& m : row.messages)
        expectedMessages.push_back(Replace(m, "{fs}", run.description));
    EXPECT_EQ(messages, expectedMessages);
    if (row.command == Command::Upload) {
        // "..." ends a prefix: libcurl's text holds a port and a time.
        const size_t dots = row.upload.find("...");
        EXPECT_EQ(Show(result.substr(0, dots)), Show(row.upload.substr(0, dots)));
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

}  // namespace
}  // namespace folioray
