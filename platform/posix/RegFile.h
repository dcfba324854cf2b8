#pragma once
// A registry read from a REGEDIT4 file (also "Windows Registry Editor Version 5.00", in
// UTF-8 or UTF-16LE): key sections, string, dword and hex values. Parsing never fails:
// lines it cannot read are skipped.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ports/Registry.h"

namespace folioray {

struct RegValue {
    std::string name;  // as written; "" is the key's default value
    uint32_t type = REG_NONE;
    std::vector<uint8_t> data;
};

struct RegNode {
    std::string name;                                          // as first written
    std::map<std::string, std::unique_ptr<RegNode>> children;  // by lower-case name
    std::map<std::string, RegValue> values;                    // by lower-case name

    const RegNode* Child(std::string_view name) const;
    const RegValue* Value(std::string_view name) const;
};

// Bounds that keep hostile input from taking the process down.
struct RegFileLimits {
    size_t maxInputBytes = 4u << 20;
    size_t maxValueBytes = 1u << 20;
    size_t maxKeyPathBytes = 4096;
    size_t maxKeyDepth = 512;
};

class RegFileData {
  public:
    RegFileData();
    // The tree of one predefined root; null for a root the file format does not name.
    const RegNode* Root(HKEY root) const;
    RegNode* MutableRoot(HKEY root);
    // Follows a backslash-separated path (any case) below `from`; null when absent.
    static const RegNode* Find(const RegNode* from, std::string_view path);
    size_t KeyCount() const { return keyCount_; }
    size_t ValueCount() const { return valueCount_; }

  private:
    friend class RegFileParser;
    std::map<HKEY, std::unique_ptr<RegNode>> roots_;
    size_t keyCount_ = 0;
    size_t valueCount_ = 0;
};

// Parses the text of a .reg file. Input over the size limit gives an empty registry.
RegFileData ParseRegFile(std::string_view text, const RegFileLimits& limits = {});

// The root handle for "HKEY_LOCAL_MACHINE", "HKLM" and the like (any case); 0 if unknown.
HKEY RootFromName(std::string_view name);

// The Registry port over a .reg file, read when constructed (and on Reload).
class RegFileRegistry final : public Registry {
  public:
    // A missing or unreadable file gives an empty registry; LoadError() says why.
    explicit RegFileRegistry(std::string path);
    // A registry over the given text instead of a file (Reload keeps it).
    static std::unique_ptr<RegFileRegistry> FromText(std::string_view text);
    // FOLIORAY_REGISTRY when set, else $XDG_CONFIG_HOME (or ~/.config) /folioray2/registry.reg.
    static std::string DefaultPath();

    // Reads the file again (or, with Open, another file); false when it could not be read,
    // which leaves an empty registry.
    bool Reload();
    bool Open(std::string path);
    std::string Path() const;
    std::string LoadError() const;  // empty after a successful read
    size_t OpenKeyCount() const;

    int32_t RegOpenKeyExA(HKEY hKey, const std::string& subKey, uint32_t ulOptions,
                          uint32_t samDesired, HKEY& phkResult) override;
    int32_t RegQueryValueExA(HKEY hKey, const std::string& valueName, uint32_t& lpType,
                             uint8_t* lpData, uint32_t& cbData) override;
    int32_t RegCloseKey(HKEY hKey) override;

  private:
    RegFileRegistry() = default;
    struct OpenKey {
        std::shared_ptr<const RegFileData> data;  // keeps the tree alive across a Reload
        const RegNode* node;
    };
    // Null when the handle is neither a root nor open.
    const RegNode* NodeOf(HKEY h, std::shared_ptr<const RegFileData>& keep) const;

    mutable std::mutex mutex_;
    std::string path_;
    std::string loadError_;
    std::shared_ptr<const RegFileData> data_ = std::make_shared<RegFileData>();
    std::map<HKEY, OpenKey> open_;
    HKEY next_ = 0x1000;
};

}  // namespace folioray
