// The REGEDIT4 reader and the registry calls over it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/RegFile.h"
#include "tests/about/AboutSupport.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

// The value as the registry returns it: type and bytes, or nothing.
struct Read {
    int32_t rc = -1;
    uint32_t type = 0;
    std::string bytes;
};

Read Query(RegFileRegistry& reg, const std::string& key, const std::string& name,
           HKEY root = HKEY_LOCAL_MACHINE) {
    Read r;
    HKEY h = 0;
    r.rc = reg.RegOpenKeyExA(root, key, 0, KEY_READ, h);
    if (r.rc != ERROR_SUCCESS) return r;
    std::vector<uint8_t> buf(1 << 21);
    uint32_t cb = static_cast<uint32_t>(buf.size());
    r.rc = reg.RegQueryValueExA(h, name, r.type, buf.data(), cb);
    if (r.rc == ERROR_SUCCESS) r.bytes.assign(reinterpret_cast<const char*>(buf.data()), cb);
    EXPECT_EQ(reg.RegCloseKey(h), ERROR_SUCCESS);
    return r;
}

std::string Sz(const std::string& s) {
    return s + std::string(1, '\0');
}
std::string Dword(uint32_t v) {
    std::string b;
    for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
    return b;
}

struct ParseCase {
    const char* name;
    std::string text;
    const char* key;
    const char* value;
    int32_t rc;
    uint32_t type;
    std::string bytes;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class RegFileParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(RegFileParseTest, ReadsWhatTheFileSays) {
    const ParseCase& c = GetParam();
    auto reg = RegFileRegistry::FromText(c.text);
    Read r = Query(*reg, c.key, c.value);
    EXPECT_EQ(r.rc, c.rc);
    if (c.rc == ERROR_SUCCESS) {
        EXPECT_EQ(r.type, c.type);
        EXPECT_EQ(r.bytes, c.bytes);
    }
}

const std::string kHead = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, RegFileParseTest,
    ::testing::Values(
        ParseCase{"String", kHead + "\"a\"=\"text\"\n", "K", "a", 0, REG_SZ, Sz("text")},
        ParseCase{"CrLf", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"a\"=\"text\"\r\n", "K", "a",
                  0, REG_SZ, Sz("text")},
        ParseCase{"Escapes", kHead + R"("a"="C:\\Tools \"x\"")" + "\n", "K", "a", 0, REG_SZ,
                  Sz("C:\\Tools \"x\"")},
        ParseCase{"UnknownEscapeKept", kHead + R"("a"="C:\tools\new")" + "\n", "K", "a", 0, REG_SZ,
                  Sz("C:\\tools\\new")},
        ParseCase{"EscapedQuoteInName", kHead + R"("a\"b"="v")" + "\n", "K", "a\"b", 0, REG_SZ,
                  Sz("v")},
        ParseCase{"DefaultValue", kHead + "@=\"dflt\"\n", "K", "", 0, REG_SZ, Sz("dflt")},
        ParseCase{"Dword", kHead + "\"n\"=dword:0000002a\n", "K", "n", 0, REG_DWORD, Dword(42)},
        ParseCase{"DwordShortUpper", kHead + "\"n\"=DWORD:2A\n", "K", "n", 0, REG_DWORD, Dword(42)},
        ParseCase{"DwordTooLong", kHead + "\"n\"=dword:123456789\n", "K", "n", 2, 0, ""},
        ParseCase{"DwordNotHex", kHead + "\"n\"=dword:xyz\n", "K", "n", 2, 0, ""},
        ParseCase{"DwordEmpty", kHead + "\"n\"=dword:\n", "K", "n", 2, 0, ""},
        ParseCase{"Hex", kHead + "\"b\"=hex:01,ff,0A\n", "K", "b", 0, REG_BINARY,
                  std::string("\x01\xff\x0a", 3)},
        ParseCase{"HexContinued", kHead + "\"b\"=hex(7):41,00,\\\n  42,00,00\n", "K", "b", 0,
                  REG_MULTI_SZ, std::string("A\0B\0\0", 5)},
        ParseCase{"HexBadByte", kHead + "\"b\"=hex:01,zz\n", "K", "b", 2, 0, ""},
        ParseCase{"CommentsAndStrayLines",
                  kHead + "; comment\nstray text\n  \"a\"=\"v\"  ; trailing\n", "K", "a", 0, REG_SZ,
                  Sz("v")},
        ParseCase{"UnterminatedString", kHead + "\"a\"=\"open\n", "K", "a", 2, 0, ""},
        ParseCase{"TextAfterString", kHead + "\"a\"=\"v\" junk\n", "K", "a", 2, 0, ""},
        ParseCase{"DeletedValueIgnored", kHead + "\"a\"=-\n", "K", "a", 2, 0, ""},
        ParseCase{"LaterLineWins", kHead + "\"a\"=\"one\"\n\"A\"=\"two\"\n", "K", "a", 0, REG_SZ,
                  Sz("two")},
        ParseCase{"SectionsMerge", kHead + "\"a\"=\"one\"\n[HKLM\\k]\n\"b\"=\"two\"\n", "K", "a", 0,
                  REG_SZ, Sz("one")},
        ParseCase{"ShortRootName", "[HKLM\\K]\n\"a\"=\"v\"\n", "K", "a", 0, REG_SZ, Sz("v")},
        // Values under a section that cannot be read must not land in the key before it.
        ParseCase{"UnknownRootDoesNotLeak",
                  kHead + "\"a\"=\"one\"\n[HKEY_NOWHERE\\K]\n\"a\"=\"two\"\n", "K", "a", 0, REG_SZ,
                  Sz("one")},
        ParseCase{"DeletedKeyDoesNotLeak",
                  kHead + "\"a\"=\"one\"\n[-HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"two\"\n", "K", "a", 0,
                  REG_SZ, Sz("one")},
        ParseCase{"EmptyComponentDoesNotLeak",
                  kHead + "\"a\"=\"one\"\n[HKEY_LOCAL_MACHINE\\K\\\\X]\n\"a\"=\"two\"\n", "K", "a",
                  0, REG_SZ, Sz("one")},
        ParseCase{"HexContinuationStopsAtSection",
                  kHead + "\"b\"=hex:01,\\\n[HKLM\\Other]\n\"a\"=\"two\"\n", "Other", "a", 0,
                  REG_SZ, Sz("two")},
        ParseCase{"Utf8Bom", "\xEF\xBB\xBFREGEDIT4\n[HKLM\\K]\n\"a\"=\"v\"\n", "K", "a", 0, REG_SZ,
                  Sz("v")},
        ParseCase{"ValueAtTheRoot", "[HKEY_LOCAL_MACHINE]\n\"r\"=\"root\"\n", "", "r", 0, REG_SZ,
                  Sz("root")}),
    [](const auto& tp) { return std::string(tp.param.name); });

std::string Utf16Le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

TEST(RegFileTest, Utf16FilesFromRegeditAreRead) {
    auto reg = RegFileRegistry::FromText(
        Utf16Le("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"
                "\"a\"=\"wide\"\r\n"));
    Read r = Query(*reg, "K", "a");
    EXPECT_EQ(r.rc, ERROR_SUCCESS);
    EXPECT_EQ(r.bytes, Sz("wide"));
}

TEST(RegFileTest, ParentKeysExistImplicitly) {
    auto reg = RegFileRegistry::FromText("[HKLM\\A\\B\\C]\n\"v\"=\"deep\"\n");
    for (const char* key : {"A", "a\\b", "A\\B\\C"}) {
        HKEY h = 0;
        EXPECT_EQ(reg->RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, h), ERROR_SUCCESS)
            << key;
        EXPECT_NE(h, 0u);
        reg->RegCloseKey(h);
    }
    // Opening relative to an open key.
    HKEY a = 0, c = 0;
    ASSERT_EQ(reg->RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A", 0, KEY_READ, a), ERROR_SUCCESS);
    ASSERT_EQ(reg->RegOpenKeyExA(a, "B\\C", 0, KEY_READ, c), ERROR_SUCCESS);
    uint32_t type = 0, cb = 0;
    EXPECT_EQ(reg->RegQueryValueExA(c, "v", type, nullptr, cb), ERROR_SUCCESS);
    EXPECT_EQ(cb, 5u);
    reg->RegCloseKey(c);
    reg->RegCloseKey(a);
    EXPECT_EQ(reg->OpenKeyCount(), 0u);
}

TEST(RegFileTest, ResultCodesFollowTheWin32Calls) {
    auto reg = RegFileRegistry::FromText("[HKLM\\K]\n\"a\"=\"12345\"\n");
    HKEY h = 77;
    EXPECT_EQ(reg->RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Missing", 0, KEY_READ, h),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(reg->RegOpenKeyExA(0x1234, "K", 0, KEY_READ, h), ERROR_INVALID_HANDLE);
    ASSERT_EQ(reg->RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_READ, h), ERROR_SUCCESS);

    uint32_t type = 0;
    uint8_t buf[16] = {};
    uint32_t cb = 3;
    EXPECT_EQ(reg->RegQueryValueExA(h, "a", type, buf, cb), ERROR_MORE_DATA);
    EXPECT_EQ(cb, 6u);  // the size needed, with the terminating 0
    EXPECT_EQ(type, REG_SZ);
    cb = 6;
    EXPECT_EQ(reg->RegQueryValueExA(h, "a", type, buf, cb), ERROR_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), cb), Sz("12345"));
    EXPECT_EQ(reg->RegQueryValueExA(h, "b", type, buf, cb), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(reg->RegCloseKey(h), ERROR_SUCCESS);
    EXPECT_EQ(reg->RegCloseKey(h), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg->RegQueryValueExA(h, "a", type, buf, cb), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg->RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST(RegFileTest, HandlesAreDistinctWhileOpen) {
    auto reg = RegFileRegistry::FromText("[HKLM\\K]\n");
    std::vector<HKEY> open;
    for (int i = 0; i < 50; ++i) {
        HKEY h = 0;
        ASSERT_EQ(reg->RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_READ, h), ERROR_SUCCESS);
        for (HKEY o : open) ASSERT_NE(o, h);
        EXPECT_LT(h, HKEY_CLASSES_ROOT);
        open.push_back(h);
    }
    for (HKEY h : open) EXPECT_EQ(reg->RegCloseKey(h), ERROR_SUCCESS);
}

// ---- Bounds: hostile files give an empty or partial registry, never a crash.

TEST(RegFileBoundsTest, OversizedInputIsRefusedWhole) {
    RegFileLimits limits;
    limits.maxInputBytes = 64;
    const std::string text = "[HKLM\\K]\n\"a\"=\"v\"\n" + std::string(100, ';');
    RegFileData data = ParseRegFile(text, limits);
    EXPECT_EQ(data.KeyCount(), 0u);
    EXPECT_EQ(ParseRegFile(text).KeyCount(), 1u);
}

TEST(RegFileBoundsTest, TooDeepOrTooLongKeysAreSkipped) {
    std::string deep = "[HKLM";
    for (int i = 0; i < 600; ++i) deep += "\\k";
    std::string longName = "[HKLM\\" + std::string(5000, 'n') + "]\n";
    RegFileData data = ParseRegFile(deep + "]\n\"a\"=\"v\"\n" + longName);
    EXPECT_EQ(data.KeyCount(), 0u);
    EXPECT_EQ(data.ValueCount(), 0u);

    std::string ok = "[HKLM";
    for (int i = 0; i < 512; ++i) ok += "\\k";
    EXPECT_EQ(ParseRegFile(ok + "]\n").KeyCount(), 512u);
}

TEST(RegFileBoundsTest, OversizedValuesAreSkipped) {
    RegFileLimits limits;
    limits.maxValueBytes = 16;
    RegFileData data = ParseRegFile("[HKLM\\K]\n\"s\"=\"" + std::string(17, 'x') +
                                        "\"\n\"h\"=hex:" + std::string(17 * 3, ',') + "\n" +
                                        "\"ok\"=\"" + std::string(15, 'x') + "\"\n",
                                    limits);
    EXPECT_EQ(data.ValueCount(), 1u);
}

TEST(RegFileBoundsTest, BinaryGarbageIsHarmless) {
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 131 + 7) & 0xFF);
    RegFileData data = ParseRegFile("[HKLM\\K]\n" + junk + "\n[" + junk);
    EXPECT_GE(data.KeyCount(), 1u);
}

// ---- The file behind the registry.

TEST(RegFileRegistryTest, MissingFileIsAnEmptyRegistry) {
    test::TempDir dir;
    RegFileRegistry reg(dir / "none.reg");
    EXPECT_NE(reg.LoadError(), "");
    EXPECT_EQ(Query(reg, "K", "a").rc, ERROR_FILE_NOT_FOUND);
    RegFileRegistry folder(dir.path());
    EXPECT_NE(folder.LoadError().find("not a regular file"), std::string::npos);
}

TEST(RegFileRegistryTest, ReloadSeesChangesAndOpenKeysStayValid) {
    test::TempDir dir;
    const std::string file = dir / "r.reg";
    test::WriteFile(file, "[HKLM\\K]\n\"a\"=\"old\"\n");
    RegFileRegistry reg(file);
    HKEY h = 0;
    ASSERT_EQ(reg.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_READ, h), ERROR_SUCCESS);
    test::WriteFile(file, "[HKLM\\K]\n\"a\"=\"new\"\n");
    EXPECT_TRUE(reg.Reload());
    uint8_t buf[8];
    uint32_t type = 0, cb = sizeof buf;
    ASSERT_EQ(reg.RegQueryValueExA(h, "a", type, buf, cb), ERROR_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), cb), Sz("old"));
    reg.RegCloseKey(h);
    EXPECT_EQ(Query(reg, "K", "a").bytes, Sz("new"));
}

TEST(RegFileRegistryTest, DefaultPathPrefersTheEnvironment) {
    const char* saved = std::getenv("FOLIORAY_REGISTRY");
    const std::string keep = saved ? saved : "";
    ::setenv("FOLIORAY_REGISTRY", "/some/where.reg", 1);
    EXPECT_EQ(RegFileRegistry::DefaultPath(), "/some/where.reg");
    ::unsetenv("FOLIORAY_REGISTRY");
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string keepXdg = xdg ? xdg : "";
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(RegFileRegistry::DefaultPath(), "/cfg/folioray2/registry.reg");
    if (xdg) {
        ::setenv("XDG_CONFIG_HOME", keepXdg.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
    if (saved) ::setenv("FOLIORAY_REGISTRY", keep.c_str(), 1);
}

}  // namespace
}  // namespace folioray
