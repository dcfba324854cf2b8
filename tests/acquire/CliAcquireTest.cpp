// The command-line host's acquisition: scanning from the SANE test device, pasting
// picture files, the Info command, and PDF output checked with poppler.
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <regex>

#include "runtime/FileOps.h"
#include "runtime/Format.h"
#include "tests/acquire/AcquireFixture.h"
#include "tests/acquire/SaneTestDevice.h"
#include "tests/acquire/Tools.h"
#include "tests/support/ParamName.h"
#include "tests/support/RunProcess.h"

namespace folioray {
namespace {

using test::JpegSize;

test::ProcessResult Cli(std::vector<std::string> args, const std::string& saneDir = {}) {
    args.insert(args.begin(), FOLIORAY_CLI);
    return test::RunProcess(args,
                            test::SaneChildEnv(saneDir.empty() ? test::SaneConfigDir() : saneDir));
}

// The value printed by --get NAME.
std::string Got(const std::string& out, const std::string& name) {
    std::smatch m;
    if (std::regex_search(out, m, std::regex("(^|\n)" + name + "=([^\n]*)"))) return m[2];
    return "<none>";
}

// The JFIF density of a JPEG file in dots per inch; 0 when it names none.
int JfifDpi(const std::string& path) {
    const std::string b = test::ReadFile(path);
    if (b.size() < 18 || b.compare(6, 5, std::string("JFIF\0", 5)) != 0 || b[13] != 1) return 0;
    const auto at = [&](size_t i) {
        return static_cast<uint8_t>(b[i]) << 8 | static_cast<uint8_t>(b[i + 1]);
    };
    return at(14) == at(16) ? at(14) : -1;
}

TEST(CliAcquireTest, ScansFromTheDeviceAndShowsTheFacts) {
    test::TempDir dir;
    auto r = Cli({"--set",         "FilePath=" + dir.path(),
                  "--device",      "test:0",
                  "--scan-option", "test-picture=Color pattern",
                  "--scan-option", "resolution=25",
                  "--call",        "StartScan",
                  "--call",        "Info",
                  "--get",         "ImageWidth",
                  "--get",         "ImageHeight",
                  "--get",         "ImageSize",
                  "--get",         "CurrentName"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string jpg = dir / "scanx.jpg";
    const auto [w, h] = JpegSize(jpg);
    ASSERT_GT(w, 0);
    const int64_t size = FileLength(jpg);
    EXPECT_EQ(r.out, "ScanComplete: " + jpg +
                         "\nMessageBox [Current Image Settings] (information): The current image "
                         "information is as follows:\\n\\nDimensions : " +
                         std::to_string(w) + " x " + std::to_string(h) + "\\nSize : " +
                         FormatNumber(static_cast<double>(size), "###,###,###,###,##0") +
                         " bytes\\nType : JPG\nImageWidth=" + std::to_string(w) +
                         "\nImageHeight=" + std::to_string(h) +
                         "\nImageSize=" + std::to_string(size) + "\nCurrentName=" + jpg + "\n");
}

TEST(CliAcquireTest, ScansToPdfCarryingTheJpeg) {
    test::TempDir dir;
    auto r = Cli({"--set", "FilePath=" + dir.path(), "--set", "SaveAsPDF=1", "--device", "test:0",
                  "--scan-option", "test-picture=Color pattern", "--call", "StartScan", "--get",
                  "ImageWidth", "--get", "ImageHeight", "--get", "ImageSize"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string pdf = dir / "scanx.pdf";
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "ScanComplete: " + pdf);
    EXPECT_FALSE(test::Exists(dir / "scanx.jpg"));

    auto list = test::RunProcess({test::Program("pdfimages"), "-list", pdf});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    std::regex row(R"(\n +1 +0 +image +([0-9]+) +([0-9]+) +rgb +3 +8 +jpeg )");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(list.out, m, row)) << list.out;
    EXPECT_EQ(m[1].str(), Got(r.out, "ImageWidth"));
    EXPECT_EQ(m[2].str(), Got(r.out, "ImageHeight"));
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 3);  // two headings, one image
    auto extract = test::RunProcess({test::Program("pdfimages"), "-j", pdf, dir / "img"});
    ASSERT_EQ(extract.exitCode, 0);
    EXPECT_EQ(std::to_string(FileLength(dir / "img-000.jpg")), Got(r.out, "ImageSize"));
}

class CliResolutionTest : public ::testing::TestWithParam<int> {};

TEST_P(CliResolutionTest, ThePdfPageAndTheJpegCarryTheScansResolution) {
    const int dpi = GetParam();
    test::TempDir dir;
    auto r = Cli({"--set", "FilePath=" + dir.path(), "--set", "SaveAsPDF=True", "--device",
                  "test:0", "--scan-option", "resolution=" + std::to_string(dpi), "--scan-option",
                  "br-x=20", "--scan-option", "br-y=30", "--call", "StartScan", "--get",
                  "ImageWidth", "--get", "ImageHeight"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string pdf = dir / "scanx.pdf";
    auto info = test::RunProcess({test::Program("pdfinfo"), pdf});
    std::smatch m;
    ASSERT_TRUE(std::regex_search(info.out, m, std::regex(R"(Page size: +([0-9.]+) x ([0-9.]+))")))
        << info.out;
    EXPECT_NEAR(std::stod(m[1]), std::stoi(Got(r.out, "ImageWidth")) * 72.0 / dpi, 0.01);
    EXPECT_NEAR(std::stod(m[2]), std::stoi(Got(r.out, "ImageHeight")) * 72.0 / dpi, 0.01);

    ASSERT_EQ(test::RunProcess({test::Program("pdfimages"), "-j", pdf, dir / "img"}).exitCode, 0);
    EXPECT_EQ(JfifDpi(dir / "img-000.jpg"), dpi);
}

INSTANTIATE_TEST_SUITE_P(Dpi, CliResolutionTest, ::testing::Values(300, 75));

TEST(CliAcquireTest, ADeviceFailureIsExplainedOnStderr) {
    test::TempDir dir;
    auto r = Cli({"--set", "FilePath=" + dir.path(), "--device", "test:0", "--scan-option",
                  "read-return-value=SANE_STATUS_COVER_OPEN", "--call", "StartScan"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "MessageBox [Pagewright Control] (stop): The picture could not be scanned.\\n\\nA "
              "Problem was encountered while attempting to aquire the image. Please try again.\n");
    EXPECT_EQ(r.err, "folioray: scanner: sane_read: Scanner cover is open\n");
}

TEST(CliAcquireTest, SourceChoosesAmongTheDevices) {
    test::TempDir dir;
    auto r = Cli({"--set", "FilePath=" + dir.path(), "--source", "test:1", "--call", "StartScan"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "ScanComplete: " + (dir / "scanx.jpg") + "\n");
    r = Cli({"--source", "test:9"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "folioray: scanner: no scanner device is named 'test:9'\n");
}

TEST(CliAcquireTest, ListsTheDevices) {
    auto r = Cli({"--list-devices"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "test:0\tNoname\tfrontend-tester\tvirtual device\n"
              "test:1\tNoname\tfrontend-tester\tvirtual device\n");
    r = Cli({"--list-devices"}, test::EmptySaneConfigDir());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "folioray: scanner: no scanner device was found\n");
}

// ---- Picture files for --paste-image.

void Put16(std::string& b, uint16_t v) {
    b.append({static_cast<char>(v), static_cast<char>(v >> 8)});
}
void Put32(std::string& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
}

// A 4 x 3 bitmap file in 8 bits with a grey palette, its pixels `gap` bytes after the table.
std::string Bmp8(size_t gap, uint32_t pelsPerMeter = 0) {
    std::string info;
    Put32(info, 40);
    Put32(info, 4);
    Put32(info, 3);
    Put16(info, 1);
    Put16(info, 8);
    Put32(info, 0);
    Put32(info, 12);
    Put32(info, pelsPerMeter);
    Put32(info, pelsPerMeter);
    Put32(info, 0);
    Put32(info, 0);
    for (int i = 0; i < 256; ++i)
        info.append({static_cast<char>(i), static_cast<char>(i), static_cast<char>(i), 0});
    std::string file = "BM";
    const uint32_t offBits = static_cast<uint32_t>(14 + info.size() + gap);
    Put32(file, static_cast<uint32_t>(offBits + 12));
    Put32(file, 0);
    Put32(file, offBits);
    file += info + std::string(gap, '\x55');
    for (int i = 0; i < 12; ++i) file.push_back(static_cast<char>(i * 20));
    return file;
}

std::string Png(int w, int h) {
    std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4, 0x80);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = w;
    image.height = h;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
    std::string bytes(size, '\0');
    png_image_write_to_memory(&image, bytes.data(), &size, 0, rgba.data(), 0, nullptr);
    bytes.resize(size);
    return bytes;
}

struct PictureFile {
    const char* name;
    std::string bytes;
    int width, height;
    int dpi = 0;  // the density the stored JPEG keeps
};

void PrintTo(const PictureFile& f, std::ostream* os) {
    *os << f.name;
}

class CliPasteTest : public ::testing::TestWithParam<PictureFile> {};

TEST_P(CliPasteTest, PastesThePicture) {
    test::TempDir dir;
    test::WriteFile(dir / "picture", GetParam().bytes);
    auto r = Cli({"--set", "FilePath=" + dir.path(), "--paste-image", dir / "picture", "--get",
                  "ImageWidth", "--get", "ImageHeight"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "ScanComplete: " + (dir / "scanx.jpg") +
                         "\nImageWidth=" + std::to_string(GetParam().width) +
                         "\nImageHeight=" + std::to_string(GetParam().height) + "\n");
    EXPECT_EQ(JpegSize(dir / "scanx.jpg"), std::make_pair(GetParam().width, GetParam().height));
    EXPECT_EQ(JfifDpi(dir / "scanx.jpg"), GetParam().dpi);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CliPasteTest,
    ::testing::Values(PictureFile{"bitmap with a gap before its pixels", Bmp8(10), 4, 3},
                      PictureFile{"bitmap at 300 dpi", Bmp8(0, 11811), 4, 3, 300},
                      PictureFile{"JPEG", test::JpegBytes(33, 17), 33, 17},
                      PictureFile{"JPEG at 200 dpi", test::JpegBytes(33, 17, 200), 33, 17, 200},
                      PictureFile{"PNG with alpha", Png(9, 5), 9, 5},
                      PictureFile{"PGM, 16 bits",
                                  std::string("P5 3 1 65535\n\xff\xff\x80\x00\0\0", 19), 3, 1},
                      PictureFile{"PBM", std::string("P4\n9 2\n\xff\x80\x00\x00", 11), 9, 2}),
    test::ByName());

}  // namespace
}  // namespace folioray
