// The Scan, Source, Paste and Info commands with a scripted scanner, the real JPEG
// writer and the real PDF object: what each success and each failure leaves behind.
#include <gtest/gtest.h>

#include <ostream>

#include <filesystem>
#include <functional>
#include <regex>

#include "runtime/FileOps.h"
#include "runtime/VbError.h"
#include "tests/acquire/AcquireFixture.h"
#include "tests/support/ParamName.h"
#include "tests/support/ScriptedObjects.h"

namespace folioray {
namespace {

using test::AcquireFixture;
using test::JpegSize;
namespace fs = std::filesystem;

const char* const kScanFailed = "The picture could not be scanned.\r\n\r\n";

std::string Facts(int w, int h, int64_t size) {
    return "Dimensions : " + std::to_string(w) + " x " + std::to_string(h) +
           "\r\nSize : " + FormatNumber(static_cast<double>(size), "###,###,###,###,##0") +
           " bytes\r\nType : JPG";
}

class ScanTest : public AcquireFixture {};

TEST_F(ScanTest, StoresThePictureShowsItAndAnnouncesIt) {
    clipboard.SetText("the user's text");
    control->StartScan();

    ASSERT_TRUE(host.messages.empty()) << host.messages[0].prompt;
    EXPECT_EQ(events, std::vector<std::string>{Jpg()});
    EXPECT_EQ(control->CurrentName(), Jpg());
    EXPECT_EQ(JpegSize(Jpg()), std::make_pair(40, 30));
    EXPECT_EQ(control->ImageWidth(), 40);
    EXPECT_EQ(control->ImageHeight(), 30);
    EXPECT_EQ(control->ImageSize(), FileLength(Jpg()));
    EXPECT_EQ(control->ImageInfo(), Facts(40, 30, FileLength(Jpg())));
    EXPECT_EQ(preview.loaded, Jpg());
    EXPECT_EQ(control->Children()[Child::Icon2].picture,
              control->Children()[Child::Icon2a].picture);
    // The clipboard is emptied before and after: the user's text and the scan are gone.
    EXPECT_FALSE(clipboard.GetText());
    EXPECT_FALSE(clipboard.GetDib());
    EXPECT_EQ(host.pointerHistory,
              (std::vector<MousePointer>{MousePointer::Hourglass, MousePointer::Default}));
    EXPECT_EQ(host.doEvents, 2);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(ScanTest, ScanAndPasteClickedWhileAScanPumpsMessagesAreRefused) {
    clipboard.SetDib(MakeDib(test::Gradient(5, 5)));
    host.onDoEvents = [this] {
        control->StartScan();
        control->MenuPasteImage_Click();
    };
    control->StartScan();
    EXPECT_EQ(events, std::vector<std::string>{Jpg()});
    EXPECT_EQ(scanner.acquisitions.size(), 1u);
    EXPECT_EQ(host.beeps, 4);  // two pump points, two refused clicks at each
    EXPECT_EQ(control->ImageWidth(), 40);
    EXPECT_TRUE(host.messages.empty());
    host.onDoEvents = nullptr;
    clipboard.SetDib(MakeDib(test::Gradient(5, 5)));
    control->MenuPasteImage_Click();  // refused no longer
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(ScanTest, AHostTakesPageAfterPageFromTheEvent) {
    for (const bool paste : {false, true}) {
        events.clear();
        control->ScanComplete = [&](std::string& name) {
            events.push_back(name);
            if (events.size() >= 3) return;
            clipboard.SetDib(MakeDib(test::Gradient(5, 5)));
            paste ? control->MenuPasteImage_Click() : control->StartScan();
        };
        clipboard.SetDib(MakeDib(test::Gradient(5, 5)));
        paste ? control->MenuPasteImage_Click() : control->StartScan();
        EXPECT_EQ(events, std::vector<std::string>(3, Jpg())) << paste;
        EXPECT_EQ(host.beeps, 0);
    }
}

// ---- Failures of the Scan command. Each runs after one good scan, whose facts and
// current name must survive.

struct ScanFault {
    const char* name;
    std::function<void(AcquireFixture&, ScanControl&)> arrange;
    std::string text;
    std::string title;
    MsgBoxIcon icon;
    bool pastWriteTest;  // the earlier scanx.jpg is gone and the clipboard emptied
    friend void PrintTo(const ScanFault& c, std::ostream* os) { *os << c.name; }
};

class ScanFailureTest : public AcquireFixture, public ::testing::WithParamInterface<ScanFault> {};

std::vector<ScanFault> ScanFaults() {
    const std::string transfer =
        std::string(kScanFailed) +
        "An Error occurred while transferring the image from the clipboard to memory. The problem "
        "was identified as ";
    return {
        {"no TWAIN source", [](AcquireFixture& f, ScanControl&) { f.scanner.available = false; },
         "No TWAIN Compliant Image Source was found on your system. Without a TWAIN Source, this "
         "image scanner cannot be used.",
         "TWAIN Capability not Found", MsgBoxIcon::Exclamation, false},
        {"no picture on the clipboard",
         [](AcquireFixture& f, ScanControl&) { f.scanner.dib.reset(); },
         transfer + "Invalid picture", "Pagewright Control", MsgBoxIcon::Critical, true},
        {"the preview reports an error while messages run",
         [](AcquireFixture& f, ScanControl& c) {
             f.host.onDoEvents = [&c] {
                 int32_t number = 53;
                 c.Image1_PreviewError(number, 0);
             };
         },
         transfer + "File not found", "Pagewright Control", MsgBoxIcon::Critical, true},
    };
}

TEST_P(ScanFailureTest, ShowsItsMessageAndKeepsTheLastImagesFacts) {
    control->StartScan();
    ASSERT_TRUE(host.messages.empty());
    const std::string name = control->CurrentName();
    const std::string info = control->ImageInfo();
    events.clear();
    scanner.dib = MakeDib(test::Gradient(20, 10));
    clipboard.SetText("the user's text");
    const size_t focusBefore = static_cast<size_t>(preview.focusCount);
    host.pointerHistory.clear();

    GetParam().arrange(*this, *control);
    control->StartScan();

    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].prompt, GetParam().text);
    EXPECT_EQ(host.messages[0].title, GetParam().title);
    EXPECT_EQ(host.messages[0].icon, GetParam().icon);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(control->CurrentName(), name);
    EXPECT_EQ(control->ImageInfo(), info);
    EXPECT_EQ(host.pointer, MousePointer::Default);
    EXPECT_EQ(static_cast<size_t>(preview.focusCount), focusBefore + 1);
    EXPECT_EQ(preview.loads, 1);  // still showing the first picture
    if (GetParam().pastWriteTest) {
        EXPECT_FALSE(test::Exists(Jpg()));
        EXPECT_FALSE(clipboard.GetText());
        EXPECT_FALSE(clipboard.GetDib());
        EXPECT_EQ(host.pointerHistory.front(), MousePointer::Hourglass);
    } else {
        EXPECT_EQ(clipboard.GetText(), "the user's text");
        EXPECT_TRUE(host.pointerHistory.empty());
    }
    // The pending error does not outlive the command: the next scan works.
    host.onDoEvents = nullptr;
    scanner.dib = MakeDib(test::Gradient(20, 10));
    scanner.available = true;
    scanner.acquireResult = 1;
    if (fs::exists(work.path())) {
        control->StartScan();
        EXPECT_EQ(events, std::vector<std::string>{Jpg()});
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, ScanFailureTest, ::testing::ValuesIn(ScanFaults()),
                         test::ByName());

// ---- PDF conversion, driven by the Scan and Paste commands.

class PdfTest : public AcquireFixture {
  public:
    PdfTest() { control->SaveAsPDF(Variant(true)); }

    std::shared_ptr<DispatchLog> UseRecordingObject(bool writeOutput, int32_t failDispid = -1) {
        auto log = std::make_shared<DispatchLog>();
        objects.Register("Image.Stream", [log, writeOutput, failDispid] {
            return std::make_unique<RecordingDispatch>(log, writeOutput, failDispid);
        });
        return log;
    }
};

TEST_F(PdfTest, HandsTheObjectAnInteractionFileThatIsGoneAfterwards) {
    auto log = UseRecordingObject(true);
    control->StartScan();
    ASSERT_EQ(log->calls.size(), 12u);
    const std::string at = log->calls[0].second.at(0);
    ASSERT_EQ(at.substr(0, 1), "@");
    const std::string listFile = at.substr(1);
    EXPECT_EQ(log->calls[1], (std::pair<int32_t, std::vector<std::string>>{22, {Pdf()}}));
    EXPECT_EQ(log->calls.back().first, 0);  // the conversion comes last
    EXPECT_EQ(log->released, 1);
    // The interaction file sat in the temporary folder, held one CR LF line, and is gone.
    EXPECT_EQ(fs::path(listFile).parent_path(), fs::path(tmp_));
    EXPECT_EQ(fs::path(listFile).filename().string().substr(0, 8), "QZRPAGES");
    EXPECT_TRUE(std::regex_match(
        log->listFileContent,
        std::regex(
            std::regex_replace(Jpg(), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
            R"(,Folioray Image [1-9][0-9]?-[^ -]+-[0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\r\n)")))
        << log->listFileContent;
    EXPECT_FALSE(test::Exists(listFile));
    EXPECT_EQ(events, std::vector<std::string>{Pdf()});
    EXPECT_FALSE(test::Exists(Jpg()));
}

TEST_F(PdfTest, APathWithALineBreakIsNeverWrittenIntoTheInteractionFile) {
    const std::string folder = work / "two\nlines";
    fs::create_directory(folder);
    control->FilePath(folder);
    ASSERT_EQ(control->FilePath(), folder + "/");
    auto log = UseRecordingObject(true);
    control->StartScan();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].prompt,
              "A temporary PDF interaction file could not be written (Bad file name or number)");
    EXPECT_TRUE(log->calls.empty());
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(test::Exists(folder + "/scanx.jpg"));
}

}  // namespace
}  // namespace folioray
