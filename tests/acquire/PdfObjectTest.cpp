// The libharu "Image.Stream" object: a one-page PDF that carries the JPEG byte for byte,
// checked with poppler's pdfinfo and pdfimages.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "platform/haru/HaruImageStream.h"
#include "runtime/VbError.h"
#include "tests/acquire/Tools.h"
#include "tests/support/RunProcess.h"

namespace folioray {
namespace {

namespace fs = std::filesystem;

// pdfinfo's fields.
std::map<std::string, std::string> PdfInfo(const std::string& pdf) {
    auto r = test::RunProcess({"pdfinfo", pdf});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::map<std::string, std::string> fields;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const size_t value = line.find_first_not_of(' ', colon + 1);
        fields[line.substr(0, colon)] = value == std::string::npos ? "" : line.substr(value);
    }
    return fields;
}

class PdfObjectTest : public ::testing::Test {
  protected:
    // Drives a fresh object as the PDF conversion does.
    void Convert(const std::string& listLine, const std::string& pdf) {
        test::WriteFile(lists / "list.txt", listLine + "\r\n");
        HaruImageStream o;
        o.Invoke(20, {"@" + (lists / "list.txt")});
        o.Invoke(22, {pdf});
        o.Invoke(25, {"6", "9"});
        o.Invoke(5, {});
        o.Invoke(15, {});
        o.Invoke(13, {});
        o.Invoke(8, {"%f"});
        o.Invoke(36, {"Brackenmoor (Pty) Ltd"});
        o.Invoke(17, {"Folioray ActiveX Control"});
        o.Invoke(34, {});
        o.Invoke(23, {"100"});
        o.Invoke(0, {});
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path()))
            names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    test::TempDir dir;
    test::TempDir lists;  // the interaction file lives apart, as in the temporary folder
};

// Dots per inch are covered by the scans themselves.
TEST_F(PdfObjectTest, ADensityInDotsPerCentimetreSizesThePage) {
    std::string perCentimetre = test::JpegBytes(127, 254, 50);  // 127 dots per inch
    perCentimetre[13] = 2;
    test::WriteFile(dir / "scanx.jpg", perCentimetre);
    Convert(dir / "scanx.jpg" + ",caption", dir / "scanx.pdf");
    EXPECT_EQ(PdfInfo(dir / "scanx.pdf")["Page size"], "72 x 144 pts");
}

TEST_F(PdfObjectTest, AVeryLongPictureShrinksToTheLargestPage) {
    test::WriteFile(dir / "scanx.jpg", test::JpegBytes(28800, 8));
    Convert(dir / "scanx.jpg" + ",caption", dir / "scanx.pdf");
    EXPECT_EQ(PdfInfo(dir / "scanx.pdf")["Page size"], "14400 x 4 pts");
}

TEST_F(PdfObjectTest, CommasInThePathAreKept) {
    fs::create_directory(dir / "a,b");
    test::WriteFile(dir / "a,b/scanx.jpg", test::JpegBytes(10, 10));
    Convert(dir / "a,b/scanx.jpg" + ",Folioray Image 1-Jan-2024 00:00:00", dir / "a,b/scanx.pdf");
    EXPECT_EQ(PdfInfo(dir / "a,b/scanx.pdf")["Title"], "Folioray Image 1-Jan-2024 00:00:00");
}

// A JPEG missing or cut short fails the conversion as a whole: no PDF, no half-written file.
TEST_F(PdfObjectTest, AMissingOrBrokenJpegLeavesNoFile) {
    for (const bool present : {false, true}) {
        if (present) test::WriteFile(dir / "scanx.jpg", test::JpegBytes(50, 50).substr(0, 40));
        const std::vector<std::string> before = Files();
        EXPECT_THROW(Convert(dir / "scanx.jpg" + ",caption", dir / "scanx.pdf"), VbError)
            << present;
        EXPECT_EQ(Files(), before) << present;
    }
}

}  // namespace
}  // namespace folioray
