// A disk that fills up while a working file is written, at the first block, half way and in
// the last bytes of the file: the user is told, no cut-off file is left under a working
// name (nor a scratch file beside it), the earlier files stay as the message promises and
// no ScanComplete is raised.
#include <gtest/gtest.h>

#include <ostream>

#include <filesystem>

#include "runtime/Variant.h"
#include "tests/faults/FaultWorld.h"

namespace folioray {
namespace {

using test::FaultWorld;

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
