#include <gtest/gtest.h>

#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

test::ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), FOLIORAY_CLI);
    return test::RunProcess(args);
}

TEST(CliTest, TextModeStoresTheTextAndRaisesTheEvent) {
    test::TempDir dir;
    auto r = Cli({"--set", "FilePath=" + dir.path(), "--set", "ControlMode=1", "--text", "hello",
                  "--call", "StartScan", "--get", "CurrentName"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string path = dir / "scanx.txt";
    EXPECT_EQ(r.out, "ScanComplete: " + path + "\nCurrentName=" + path + "\n");
    EXPECT_EQ(test::ReadFile(path), "hello\r\n");
}

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

TEST(CliTest, MessageBoxesAreOneLineEach) {
    test::TempDir dir;
    // Text mode into a folder that is not there: the store fails with its message.
    auto r = Cli({"--set", "ControlMode=1", "--set", "FilePath=" + dir.path(), "--call", "Info"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");  // Info before any image only beeps
}

struct BadArgs {
    const char* name;
    std::vector<std::string> args;
    const char* mention;
};

class CliBadArgsTest : public ::testing::TestWithParam<BadArgs> {};

void PrintTo(const BadArgs& b, std::ostream* os) {
    *os << b.name;
}

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

TEST(CliTest, HelpListsEveryPropertyAndMethod) {
    auto r = Cli({"--help"});
    ASSERT_EQ(r.exitCode, 0);
    for (const char* name :
         {"FullScreen", "StartScan", "ButtonStyle", "CurrentName", "SetSize", "UploadFile",
          "PasteName", "ShowModeButton", "SaveAsPDF", "ControlMode", "ImageWidth", "ImageHeight",
          "ImageSize", "Quality", "FilePath"}) {
        EXPECT_NE(r.out.find(name), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace folioray
