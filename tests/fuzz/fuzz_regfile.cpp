// A .reg file from outside: parsing and every registry call over the result either
// succeed or give a result code; sizes stay within their bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "about/frmAbout.h"
#include "platform/headless/HeadlessHost.h"
#include "platform/posix/RegFile.h"

using namespace folioray;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// Depth and sizes stay within their bounds. (hex(n) values may carry any type with any
// length, so a REG_DWORD need not have four bytes.)
void Walk(const RegNode& node, size_t depth, size_t& keys) {
    Check(depth <= RegFileLimits{}.maxKeyDepth + 1);
    for (const auto& [lower, v] : node.values) {
        Check(v.data.size() <= RegFileLimits{}.maxValueBytes + 1);
    }
    for (const auto& [lower, child] : node.children) {
        ++keys;
        Walk(*child, depth + 1, keys);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RegFileData parsed = ParseRegFile(text);
    size_t keys = 0;
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                      HKEY_CURRENT_CONFIG}) {
        Check(parsed.Root(root) != nullptr);
        Walk(*parsed.Root(root), 0, keys);
    }
    Check(keys == parsed.KeyCount());

    // The calls the About box makes, on whatever the input holds.
    auto reg = RegFileRegistry::FromText(text);
    for (const char* key : {"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO",
                            "SOFTWARE\\Microsoft\\Shared Tools Location", "", "a", "a\\b"}) {
        HKEY h = 0;
        if (reg->RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, 0x2003F, h) != ERROR_SUCCESS) continue;
        for (const char* name : {"PATH", "MSINFO", "", "a"}) {
            uint32_t type = 0;
            std::vector<uint8_t> buffer(1024);
            uint32_t cb = static_cast<uint32_t>(buffer.size());
            int32_t rc = reg->RegQueryValueExA(h, name, type, buffer.data(), cb);
            Check(rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND || rc == ERROR_MORE_DATA);
            if (rc == ERROR_SUCCESS) Check(cb <= buffer.size());
            if (rc == ERROR_MORE_DATA) Check(cb > buffer.size());
        }
        Check(reg->RegCloseKey(h) == ERROR_SUCCESS);
    }
    Check(reg->OpenKeyCount() == 0);

    // The About box's reading of whatever types and lengths the values have.
    HeadlessHost host;
    frmAbout box(host, reg.get());
    for (const char* name : {"PATH", "MSINFO", "", "a"}) {
        std::string val = "unchanged";
        if (!box.GetKeyValue(HKEY_LOCAL_MACHINE, "a", name, val)) Check(val.empty());
        Check(val.size() <= 1024);
    }
    Check(reg->OpenKeyCount() == 0);
    return 0;
}
