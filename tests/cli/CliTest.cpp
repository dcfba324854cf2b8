#include <gtest/gtest.h>

#include <ostream>

#include "tests/support/RunProcess.h"

namespace folioray {
namespace {

test::ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), FOLIORAY_CLI);
    return test::RunProcess(args);
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

}  // namespace
}  // namespace folioray
