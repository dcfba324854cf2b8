// The REGEDIT4 reader and the registry calls over it.
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "platform/posix/RegFile.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

// The bytes of a value, "type N: bytes", or "error N".
std::string Query(RegFileRegistry& reg, const std::string& key, const std::string& name) {
    HKEY h = 0;
    if (int32_t rc = reg.RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, h); rc != 0) {
        return "error " + std::to_string(rc);
    }
    std::vector<uint8_t> buf(4096);
    uint32_t cb = static_cast<uint32_t>(buf.size()), type = 0;
    const int32_t rc = reg.RegQueryValueExA(h, name, type, buf.data(), cb);
    EXPECT_EQ(reg.RegCloseKey(h), ERROR_SUCCESS);
    if (rc != 0) return "error " + std::to_string(rc);
    return "type " + std::to_string(type) + ": " +
           std::string(reinterpret_cast<const char*>(buf.data()), cb);
}

struct ParseCase {
    const char* name;
    std::string text;
    const char* value;
    std::string expected;
    friend void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }
};

class RegFileParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(RegFileParseTest, ReadsWhatTheFileSays) {
    const ParseCase& c = GetParam();
    auto reg = RegFileRegistry::FromText("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n" + c.text);
    EXPECT_EQ(Query(*reg, "K", c.value), c.expected);
}

const std::string kNul(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Files, RegFileParseTest,
    ::testing::Values(
        ParseCase{"escapes",
                  R"("a"="C:\\Tools \"x\"")"
                  "\n",
                  "a", "type 1: C:\\Tools \"x\"" + kNul},
        ParseCase{"unknown_escape_kept",
                  R"("a"="C:\tools")"
                  "\n",
                  "a", "type 1: C:\\tools" + kNul},
        ParseCase{"dword", "\"n\"=DWORD:2A\n", "n", std::string("type 4: *\0\0\0", 12)},
        ParseCase{"dword_too_long", "\"n\"=dword:123456789\n", "n", "error 2"},
        ParseCase{"hex_continued", "\"b\"=hex(7):41,00,\\\n  42,00,00\n", "b",
                  std::string("type 7: A\0B\0\0", 13)},
        ParseCase{"hex_bad_byte", "\"b\"=hex:01,zz\n", "b", "error 2"},
        ParseCase{"comments_and_stray_lines", "; note\nstray\n  \"a\"=\"v\"  ; trailing\n", "a",
                  "type 1: v" + kNul},
        ParseCase{"unterminated_string", "\"a\"=\"open\n", "a", "error 2"},
        ParseCase{"later_line_wins", "\"a\"=\"one\"\n\"A\"=\"two\"\n", "a", "type 1: two" + kNul},
        ParseCase{"unknown_root_does_not_leak", "\"a\"=\"one\"\n[HKEY_NOWHERE\\K]\n\"a\"=\"two\"\n",
                  "a", "type 1: one" + kNul},
        ParseCase{"deleted_key_does_not_leak",
                  "\"a\"=\"one\"\n[-HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"two\"\n", "a",
                  "type 1: one" + kNul}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST(RegFileTest, Utf16FilesFromRegeditAreRead) {
    std::string text = "\xFF\xFE";
    for (char c : std::string("Windows Registry Editor Version 5.00\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\K]\r\n\"a\"=\"wide\"\r\n")) {
        text += c;
        text += '\0';
    }
    auto reg = RegFileRegistry::FromText(text);
    EXPECT_EQ(Query(*reg, "K", "a"), "type 1: wide" + kNul);
}

TEST(RegFileTest, AShortBufferIsToldTheSizeNeededAndClosedHandlesAreRefused) {
    auto reg = RegFileRegistry::FromText("[HKLM\\A\\K]\n\"a\"=\"12345\"\n");
    HKEY a = 0, h = 0;
    ASSERT_EQ(reg->RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A", 0, KEY_READ, a), ERROR_SUCCESS);
    ASSERT_EQ(reg->RegOpenKeyExA(a, "k", 0, KEY_READ, h), ERROR_SUCCESS);
    uint32_t type = 0, cb = 3;
    uint8_t buf[16] = {};
    EXPECT_EQ(reg->RegQueryValueExA(h, "a", type, buf, cb), ERROR_MORE_DATA);
    EXPECT_EQ(cb, 6u);
    EXPECT_EQ(reg->RegCloseKey(h), ERROR_SUCCESS);
    EXPECT_EQ(reg->RegCloseKey(h), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg->RegQueryValueExA(h, "a", type, buf, cb), ERROR_INVALID_HANDLE);
    reg->RegCloseKey(a);
    EXPECT_EQ(reg->OpenKeyCount(), 0u);
}

}  // namespace
}  // namespace folioray
