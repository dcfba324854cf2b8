#include <gtest/gtest.h>

#include <cerrno>

#include "runtime/FileOps.h"
#include "runtime/PendingError.h"
#include "runtime/VbError.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

TEST(ErrorDescriptionTest, StandardTexts) {
    const std::pair<int32_t, const char*> cases[] = {
        {53, "File not found"},
        {76, "Path not found"},
        {70, "Permission denied"},
        {75, "Path/File access error"},
        {52, "Bad file name or number"},
        {6, "Overflow"},
        {9, "Subscript out of range"},
        {13, "Type mismatch"},
        {94, "Invalid use of Null"},
        {481, "Invalid picture"},
        {12345, "Application-defined or object-defined error"},
    };
    for (const auto& [n, text] : cases) EXPECT_EQ(ErrorDescription(n), text) << n;
}

TEST(ErrnoMappingTest, MapsToFileErrors) {
    test::TempDir dir;
    EXPECT_EQ(ErrorNumberFromErrno(ENOENT, dir / "missing.txt"), err::kFileNotFound);
    EXPECT_EQ(ErrorNumberFromErrno(ENOENT, dir / "nofolder/x.txt"), err::kPathNotFound);
    EXPECT_EQ(ErrorNumberFromErrno(ENOTDIR), err::kPathNotFound);
    EXPECT_EQ(ErrorNumberFromErrno(EACCES), err::kPermissionDenied);
    EXPECT_EQ(ErrorNumberFromErrno(EROFS), err::kPathFileAccess);
    EXPECT_EQ(ErrorNumberFromErrno(ELOOP), err::kPathFileAccess);
    EXPECT_EQ(ErrorNumberFromErrno(ENAMETOOLONG), err::kBadFileName);
    EXPECT_EQ(ErrorNumberFromErrno(ENOSPC), err::kDiskFull);
    EXPECT_EQ(ErrorNumberFromErrno(EIO), err::kDeviceIO);
}

TEST(PendingErrorTest, LaterFailureReplacesEarlierAndClearResets) {
    PendingError e;
    EXPECT_FALSE(e.IsSet());
    EXPECT_TRUE(e.Step([] {}));
    EXPECT_FALSE(e.Step([] { throw VbError(err::kFileNotFound); }));
    EXPECT_FALSE(e.Step([] { throw VbError(26001, "src", "Failed to save to JPG 5"); }));
    EXPECT_EQ(e.Number(), 26001);
    EXPECT_EQ(e.Description(), "Failed to save to JPG 5");
    EXPECT_EQ(e.Source(), "src");
    EXPECT_TRUE(e.Step([] {}));  // a success does not clear it
    EXPECT_EQ(e.Number(), 26001);
    e.Clear();
    EXPECT_FALSE(e.IsSet());
    EXPECT_EQ(e.Description(), "");
}

TEST(PendingErrorTest, NonVbFailuresBecomeNumbers) {
    PendingError e;
    e.Step([] { throw std::bad_alloc(); });
    EXPECT_EQ(e.Number(), err::kOutOfMemory);
    e.Step([] { throw std::runtime_error("boom"); });
    EXPECT_EQ(e.Number(), 51);
}

TEST(FileOpsTest, OutputFileWritesCrLfAndReportsErrors) {
    test::TempDir dir;
    OutputFile f;
    f.Open(dir / "a.txt");
    f.Print("one");
    f.Print("");
    f.Close();
    EXPECT_EQ(test::ReadFile(dir / "a.txt"), "one\r\n\r\n");

    try {
        f.Open(dir / "no/such/folder.txt");
        FAIL();
    } catch (const VbError& e) {
        EXPECT_EQ(e.Number(), err::kPathNotFound);
    }
    try {
        DeleteFile(dir / "absent.txt");
        FAIL();
    } catch (const VbError& e) {
        EXPECT_EQ(e.Number(), err::kFileNotFound);
    }
}

TEST(FileOpsTest, NeverWritesThroughALink) {
    test::TempDir dir;
    test::WriteFile(dir / "precious.txt", "keep me");
    ASSERT_EQ(::symlink((dir / "precious.txt").c_str(), (dir / "scanx.jpg").c_str()), 0);
    OutputFile f;
    EXPECT_THROW(f.Open(dir / "scanx.jpg"), VbError);
    EXPECT_EQ(test::ReadFile(dir / "precious.txt"), "keep me");
}

TEST(FileOpsTest, FullDiskIsReportedOnClose) {
    OutputFile f;
    f.Open("/dev/full");
    f.Print("x");
    try {
        f.Close();
        FAIL() << "a write to a full device must fail";
    } catch (const VbError& e) {
        EXPECT_EQ(e.Number(), err::kDiskFull);
    }
}

}  // namespace
}  // namespace folioray
