// The command-line host shows the About box's texts and starts System Information from
// the registry file it is given.
#include <gtest/gtest.h>

#include "folioray2/version.h"
#include "tests/about/AboutSupport.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

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
