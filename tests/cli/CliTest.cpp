// The command-line host as a user runs it: scanning from the SANE test device, pasting
// picture files, PDF output checked with poppler, property writes, argument errors and the
// About box.
#include <gtest/gtest.h>

#include <ostream>
#include <regex>

#include "folioray2/version.h"
#include "runtime/FileOps.h"
#include "tests/acquire/SaneTestDevice.h"
#include "tests/acquire/Tools.h"
#include "tests/support/ParamName.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"

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

class CliPdfTest : public ::testing::TestWithParam<int> {};

// One page carrying the JPEG as it was stored, sized by the scan's resolution.
TEST_P(CliPdfTest, ThePdfCarriesTheJpegAtTheScansResolution) {
    const int dpi = GetParam();
    test::TempDir dir;
    auto r = Cli({"--set",         "FilePath=" + dir.path(),
                  "--set",         "SaveAsPDF=True",
                  "--device",      "test:0",
                  "--scan-option", "test-picture=Color pattern",
                  "--scan-option", "resolution=" + std::to_string(dpi),
                  "--scan-option", "br-x=20",
                  "--scan-option", "br-y=30",
                  "--call",        "StartScan",
                  "--get",         "ImageWidth",
                  "--get",         "ImageHeight",
                  "--get",         "ImageSize"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string pdf = dir / "scanx.pdf";
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "ScanComplete: " + pdf);
    EXPECT_FALSE(test::Exists(dir / "scanx.jpg"));

    auto list = test::RunProcess({"pdfimages", "-list", pdf});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    std::regex row(R"(\n +1 +0 +image +([0-9]+) +([0-9]+) +rgb +3 +8 +jpeg )");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(list.out, m, row)) << list.out;
    EXPECT_EQ(m[1].str(), Got(r.out, "ImageWidth"));
    EXPECT_EQ(m[2].str(), Got(r.out, "ImageHeight"));
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 3);  // two headings, one image
    ASSERT_EQ(test::RunProcess({"pdfimages", "-j", pdf, dir / "img"}).exitCode, 0);
    EXPECT_EQ(std::to_string(FileLength(dir / "img-000.jpg")), Got(r.out, "ImageSize"));
    EXPECT_EQ(JfifDpi(dir / "img-000.jpg"), dpi);

    auto info = test::RunProcess({"pdfinfo", pdf});
    ASSERT_TRUE(std::regex_search(info.out, m, std::regex(R"(Page size: +([0-9.]+) x ([0-9.]+))")))
        << info.out;
    EXPECT_NEAR(std::stod(m[1]), std::stoi(Got(r.out, "ImageWidth")) * 72.0 / dpi, 0.01);
    EXPECT_NEAR(std::stod(m[2]), std::stoi(Got(r.out, "ImageHeight")) * 72.0 / dpi, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Dpi, CliPdfTest, ::testing::Values(300, 75));

TEST(CliAcquireTest, ListsTheDevicesAndScansFromTheChosenSource) {
    auto r = Cli({"--list-devices"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "test:0\tNoname\tfrontend-tester\tvirtual device\n"
              "test:1\tNoname\tfrontend-tester\tvirtual device\n");
    test::TempDir dir;
    r = Cli({"--set", "FilePath=" + dir.path(), "--source", "test:1", "--call", "StartScan"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "ScanComplete: " + (dir / "scanx.jpg") + "\n");

    r = Cli({"--source", "test:9"});
    EXPECT_EQ(r.err, "folioray: scanner: no scanner device is named 'test:9'\n");
    r = Cli({"--list-devices"}, test::EmptySaneConfigDir());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "folioray: scanner: no scanner device was found\n");
    // No device at all is told before the scan; a named one that is missing, when opened.
    r = Cli({"--set", "FilePath=" + dir.path(), "--call", "StartScan"}, test::EmptySaneConfigDir());
    EXPECT_NE(r.out.find("[TWAIN Capability not Found]"), std::string::npos) << r.out;
    r = Cli({"--set", "FilePath=" + dir.path(), "--device", "test:9", "--call", "StartScan"});
    EXPECT_NE(r.out.find("while attempting to aquire the image"), std::string::npos) << r.out;
}

// ---- Picture files for --paste-image.

// The fuzz target's seeds are picture files of every kind.
std::string Corpus(const std::string& name) {
    return test::ReadFile(std::string(FOLIORAY_PICTURES "/") + name);
}

struct PictureFile {
    const char* name;
    std::string bytes;
    int width, height;
    int dpi = 0;  // the density the stored JPEG keeps
    friend void PrintTo(const PictureFile& c, std::ostream* os) { *os << c.name; }
};

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

INSTANTIATE_TEST_SUITE_P(Files, CliPasteTest,
                         ::testing::Values(PictureFile{"bitmap with a gap before its pixels",
                                                       Corpus("gap.bmp"), 6, 2, 96},
                                           PictureFile{"JPEG at 200 dpi",
                                                       test::JpegBytes(33, 17, 200), 33, 17, 200},
                                           PictureFile{"PNG with alpha", Corpus("rgba.png"), 3, 2},
                                           PictureFile{"PPM, 16 bits", Corpus("p6_16.ppm"), 2, 1},
                                           PictureFile{"PBM", Corpus("p4.pbm"), 10, 2}),
                         test::ByName());

// ---- Property writes and argument errors.

TEST(CliTest, PropertyWritesFollowTheControlsRules) {
    auto r =
        Cli({"--set",       "Quality=101",    "--get",        "Quality",     "--set",
             "Quality=0",   "--get",          "Quality",      "--set",       "ShowModeButton=yes",
             "--get",       "ShowModeButton", "--set",        "SaveAsPDF=1", "--get",
             "SaveAsPDF",   "--set",          "FullScreen=5", "--get",       "FullScreen",
             "--set",       "ControlMode=2",  "--get",        "ControlMode", "--set",
             "Quality=100", "--get",          "Quality"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "Quality=60\nQuality=0\nShowModeButton=True\nSaveAsPDF=True\nFullScreen=1\n"
              "ControlMode=0\nQuality=100\n");
}

struct BadArgs {
    const char* name;
    std::vector<std::string> args;
    const char* mention;
    friend void PrintTo(const BadArgs& c, std::ostream* os) { *os << c.name; }
};

class CliBadArgsTest : public ::testing::TestWithParam<BadArgs> {};

TEST_P(CliBadArgsTest, ExitTwoWithAClearError) {
    auto r = Cli(GetParam().args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(GetParam().mention), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliBadArgsTest,
    ::testing::Values(BadArgs{"unknownOption", {"--frobnicate"}, "unknown option"},
                      BadArgs{"unknownProperty", {"--get", "Colour"}, "unknown property"},
                      BadArgs{"readOnly", {"--set", "ImageWidth=3"}, "read only"},
                      BadArgs{"noEquals", {"--set", "Quality"}, "Name=Value"},
                      BadArgs{"missingValue", {"--set"}, "needs"},
                      BadArgs{"unknownMethod", {"--call", "Explode"}, "unknown method"},
                      BadArgs{"arity", {"--call", "SetSize", "1"}, "arguments"},
                      BadArgs{"notANumber", {"--call", "SetSize", "1", "x"}, "whole number"},
                      BadArgs{"uploadArity", {"--call", "UploadFile", "host"}, "arguments"}),
    [](const auto& tp) { return std::string(tp.param.name); });

// ---- The About box's texts, and System Information started from the registry file given.

TEST(AboutCliTest, PrintsTheBoxWithItsVersion) {
    test::TempDir dir;
    auto r = test::RunProcess({FOLIORAY_CLI, "--call", "About"},
                              {"FOLIORAY_REGISTRY=", "XDG_CONFIG_HOME=" + dir.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("About [About Folioray ActiveX Control]\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("  Folioray Version II ActiveX Control\n"), std::string::npos);
    EXPECT_NE(r.out.find("  Version " + std::to_string(FOLIORAY_VERSION_MAJOR) + "." +
                         std::to_string(FOLIORAY_VERSION_MINOR) + "." +
                         std::to_string(FOLIORAY_VERSION_PATCH) + "\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("[OK] [System &Info...]"), std::string::npos);
}

TEST(AboutCliTest, WithoutTheRegistryFileSystemInfoIsUnavailable) {
    test::TempDir dir;
    // The box says so, and the host warns about the named file.
    auto none = test::RunProcess(
        {FOLIORAY_CLI, "--registry", dir / "gone.reg", "--about-sysinfo", "--call", "About"});
    ASSERT_EQ(none.exitCode, 0);
    EXPECT_NE(none.out.find(
                  "MessageBox [Folioray2] (none): System Information Is Unavailable At This Time"),
              std::string::npos);
    EXPECT_NE(none.err.find("gone.reg"), std::string::npos);
}

}  // namespace
}  // namespace folioray
