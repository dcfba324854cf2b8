#include "platform/posix/RegFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace folioray {

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCopy(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = Lower(c);
    return out;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(s[i]) != Lower(prefix[i])) return false;
    }
    return true;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Version 5 files are written by regedit in UTF-16LE; unpaired surrogates become '?'.
std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) |
               (static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8);
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            uint32_t v = unit(i + 2);
            if (v >= 0xDC00 && v <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = '?';
        AppendUtf8(out, u);
    }
    return out;
}

struct RootName {
    const char* name;
    const char* shortName;
    HKEY key;
};

constexpr RootName kRoots[] = {
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", "HKU", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
};

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

// Splits a key path at backslashes; false for an empty component or too deep a path.
bool SplitPath(std::string_view path, std::vector<std::string_view>& parts, size_t maxDepth) {
    parts.clear();
    if (path.empty()) return true;
    size_t start = 0;
    while (true) {
        size_t end = path.find('\\', start);
        std::string_view part = path.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part.empty() || parts.size() >= maxDepth) return false;
        parts.push_back(part);
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

}  // namespace

HKEY RootFromName(std::string_view name) {
    for (const RootName& r : kRoots) {
        if (EqualNoCase(name, r.name) || EqualNoCase(name, r.shortName)) return r.key;
    }
    return 0;
}

const RegNode* RegNode::Child(std::string_view n) const {
    auto it = children.find(LowerCopy(n));
    return it == children.end() ? nullptr : it->second.get();
}

const RegValue* RegNode::Value(std::string_view n) const {
    auto it = values.find(LowerCopy(n));
    return it == values.end() ? nullptr : &it->second;
}

RegFileData::RegFileData() {
    for (const RootName& r : kRoots) {
        auto node = std::make_unique<RegNode>();
        node->name = r.name;
        roots_[r.key] = std::move(node);
    }
}

const RegNode* RegFileData::Root(HKEY root) const {
    auto it = roots_.find(root);
    return it == roots_.end() ? nullptr : it->second.get();
}

RegNode* RegFileData::MutableRoot(HKEY root) {
    auto it = roots_.find(root);
    return it == roots_.end() ? nullptr : it->second.get();
}

const RegNode* RegFileData::Find(const RegNode* from, std::string_view path) {
    std::vector<std::string_view> parts;
    if (!from || !SplitPath(path, parts, RegFileLimits{}.maxKeyDepth)) return nullptr;
    for (std::string_view p : parts) {
        from = from->Child(p);
        if (!from) return nullptr;
    }
    return from;
}

class RegFileParser {
  public:
    RegFileParser(RegFileData& data, const RegFileLimits& limits) : data_(data), limits_(limits) {}

    void Parse(std::string_view text) {
        SplitLines(text);
        for (line_ = 0; line_ < lines_.size(); ++line_) {
            std::string_view l = TrimBlanks(lines_[line_]);
            if (l.empty() || l.front() == ';') continue;
            if (l.front() == '[') {
                Section(l);
            } else if (current_ && (l.front() == '"' || l.front() == '@')) {
                ValueLine(l);
            }
            // Anything else (the header line, stray text) is skipped.
        }
    }

  private:
    void SplitLines(std::string_view text) {
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            std::string_view l = text.substr(start, end - start);
            if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
            lines_.push_back(l);
            start = end + 1;
        }
    }

    // "[ROOT\path]" selects (and creates) a key; "[-ROOT\path]" deletes one, which a
    // read-only registry ignores, values under it included.
    void Section(std::string_view l) {
        current_ = nullptr;
        size_t close = l.rfind(']');
        if (close == std::string_view::npos) return;
        if (!TrimBlanks(l.substr(close + 1)).empty() &&
            TrimBlanks(l.substr(close + 1)).front() != ';') {
            return;
        }
        std::string_view path = l.substr(1, close - 1);
        if (path.empty() || path.front() == '-' || path.size() > limits_.maxKeyPathBytes) return;
        size_t slash = path.find('\\');
        HKEY root = RootFromName(path.substr(0, slash));
        RegNode* node = data_.MutableRoot(root);
        if (!node) return;
        std::vector<std::string_view> parts;
        if (slash != std::string_view::npos &&
            !SplitPath(path.substr(slash + 1), parts, limits_.maxKeyDepth)) {
            return;
        }
        for (std::string_view p : parts) {
            auto& slot = node->children[LowerCopy(p)];
            if (!slot) {
                slot = std::make_unique<RegNode>();
                slot->name = std::string(p);
                ++data_.keyCount_;
            }
            node = slot.get();
        }
        current_ = node;
    }

    // A quoted string with \\ and \" escapes, from l[pos] == '"'. Other backslashes stay as
    // they are, so a hand-written "C:\tools" keeps its meaning.
    bool QuotedString(std::string_view l, size_t& pos, std::string& out) {
        out.clear();
        ++pos;
        while (pos < l.size()) {
            char c = l[pos];
            if (c == '"') {
                ++pos;
                return true;
            }
            if (c == '\\' && pos + 1 < l.size() && (l[pos + 1] == '\\' || l[pos + 1] == '"')) {
                out += l[pos + 1];
                pos += 2;
            } else {
                out += c;
                ++pos;
            }
            if (out.size() > limits_.maxValueBytes) return false;
        }
        return false;  // no closing quote
    }

    static bool OnlyCommentLeft(std::string_view rest) {
        rest = TrimBlanks(rest);
        return rest.empty() || rest.front() == ';';
    }

    void ValueLine(std::string_view l) {
        RegValue value;
        size_t pos = 0;
        if (l.front() == '@') {
            pos = 1;
        } else if (!QuotedString(l, pos, value.name)) {
            return;
        }
        while (pos < l.size() && IsBlank(l[pos])) ++pos;
        if (pos >= l.size() || l[pos] != '=') return;
        ++pos;
        while (pos < l.size() && IsBlank(l[pos])) ++pos;
        std::string_view data = l.substr(pos);
        if (data.empty()) return;

        if (data.front() == '"') {
            std::string text;
            size_t p = 0;
            if (!QuotedString(data, p, text) || !OnlyCommentLeft(data.substr(p))) return;
            value.type = REG_SZ;
            value.data.assign(text.begin(), text.end());
            value.data.push_back(0);
        } else if (StartsWithNoCase(data, "dword:")) {
            std::string_view digits = TrimBlanks(data.substr(6));
            size_t semi = digits.find(';');
            if (semi != std::string_view::npos) digits = TrimBlanks(digits.substr(0, semi));
            if (digits.empty() || digits.size() > 8) return;
            uint32_t v = 0;
            for (char c : digits) {
                int d = HexDigit(c);
                if (d < 0) return;
                v = (v << 4) | static_cast<uint32_t>(d);
            }
            value.type = REG_DWORD;
            for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<uint8_t>(v >> (8 * i)));
        } else if (StartsWithNoCase(data, "hex")) {
            if (!HexValue(data, value)) return;
        } else {
            return;  // "-" deletes a value; anything else is not a value
        }
        Store(std::move(value));
    }

    // hex:01,02 or hex(7):41,00,... possibly continued on following lines with a final '\'.
    bool HexValue(std::string_view data, RegValue& value) {
        size_t pos = 3;
        uint32_t type = REG_BINARY;
        if (pos < data.size() && data[pos] == '(') {
            size_t close = data.find(')', pos);
            if (close == std::string_view::npos || close == pos + 1 || close - pos - 1 > 8) {
                return false;
            }
            type = 0;
            for (size_t i = pos + 1; i < close; ++i) {
                int d = HexDigit(data[i]);
                if (d < 0) return false;
                type = (type << 4) | static_cast<uint32_t>(d);
            }
            pos = close + 1;
        }
        if (pos >= data.size() || data[pos] != ':') return false;
        ++pos;
        std::string_view rest = data.substr(pos);
        while (true) {
            rest = TrimBlanks(rest);
            bool more = !rest.empty() && rest.back() == '\\';
            if (more) rest.remove_suffix(1);
            if (!HexBytes(rest, value.data)) return false;
            if (!more || line_ + 1 >= lines_.size()) break;
            // A line that starts something else ends the value rather than being eaten.
            std::string_view next = TrimBlanks(lines_[line_ + 1]);
            if (!next.empty() && (next.front() == '[' || next.front() == '"' ||
                                  next.front() == '@' || next.front() == ';')) {
                break;
            }
            rest = lines_[++line_];
        }
        value.type = type;
        return true;
    }

    bool HexBytes(std::string_view s, std::vector<uint8_t>& out) {
        size_t i = 0;
        while (true) {
            while (i < s.size() && IsBlank(s[i])) ++i;
            if (i >= s.size() || s[i] == ';') return true;
            int hi = HexDigit(s[i]);
            if (hi < 0) return false;
            int v = hi;
            ++i;
            if (i < s.size() && HexDigit(s[i]) >= 0) {
                v = (v << 4) | HexDigit(s[i]);
                ++i;
            }
            if (out.size() >= limits_.maxValueBytes) return false;
            out.push_back(static_cast<uint8_t>(v));
            while (i < s.size() && IsBlank(s[i])) ++i;
            if (i < s.size() && s[i] == ',') {
                ++i;
            } else if (i < s.size() && s[i] != ';') {
                return false;
            }
        }
    }

    void Store(RegValue value) {
        auto [it, inserted] = current_->values.try_emplace(LowerCopy(value.name));
        if (inserted) ++data_.valueCount_;
        it->second = std::move(value);  // a later line for the same name wins
    }

    RegFileData& data_;
    const RegFileLimits& limits_;
    std::vector<std::string_view> lines_;
    size_t line_ = 0;
    RegNode* current_ = nullptr;
};

RegFileData ParseRegFile(std::string_view text, const RegFileLimits& limits) {
    RegFileData data;
    if (text.size() > limits.maxInputBytes) return data;
    std::string converted;
    if (text.size() >= 2 && static_cast<uint8_t>(text[0]) == 0xFF &&
        static_cast<uint8_t>(text[1]) == 0xFE) {
        converted = Utf16LeToUtf8(text.substr(2));
        text = converted;
    } else if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    RegFileParser(data, limits).Parse(text);
    return data;
}

// ---- RegFileRegistry

RegFileRegistry::RegFileRegistry(std::string path) : path_(std::move(path)) {
    Reload();
}

std::unique_ptr<RegFileRegistry> RegFileRegistry::FromText(std::string_view text) {
    std::unique_ptr<RegFileRegistry> r(new RegFileRegistry());
    r->data_ = std::make_shared<RegFileData>(ParseRegFile(text));
    return r;
}

std::string RegFileRegistry::DefaultPath() {
    if (const char* p = std::getenv("FOLIORAY_REGISTRY"); p && *p) return p;
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
        base = x;
    } else if (const char* h = std::getenv("HOME"); h && *h) {
        base = std::string(h) + "/.config";
    } else {
        return {};
    }
    return base + "/folioray2/registry.reg";
}

bool RegFileRegistry::Open(std::string path) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        path_ = std::move(path);
    }
    return Reload();
}

bool RegFileRegistry::Reload() {
    std::string path;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        path = path_;
    }
    if (path.empty()) return false;
    std::string text;
    std::string error;
    const size_t limit = RegFileLimits{}.maxInputBytes;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = std::strerror(errno);
    } else {
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            error = "not a regular file";
        } else {
            char buf[65536];
            while (true) {
                ssize_t n = ::read(fd, buf, sizeof buf);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) {
                    error = std::strerror(errno);
                    break;
                }
                if (n == 0) break;
                text.append(buf, static_cast<size_t>(n));
                if (text.size() > limit) {
                    error = "file larger than " + std::to_string(limit) + " bytes";
                    break;
                }
            }
        }
        ::close(fd);
    }
    auto data = std::make_shared<RegFileData>(error.empty() ? ParseRegFile(text) : RegFileData());
    std::lock_guard<std::mutex> lock(mutex_);
    data_ = std::move(data);
    loadError_ = error.empty() ? std::string() : path + ": " + error;
    return error.empty();
}

std::string RegFileRegistry::Path() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return path_;
}

std::string RegFileRegistry::LoadError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return loadError_;
}

size_t RegFileRegistry::OpenKeyCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_.size();
}

const RegNode* RegFileRegistry::NodeOf(HKEY h, std::shared_ptr<const RegFileData>& keep) const {
    if (const RegNode* root = data_->Root(h)) {
        keep = data_;
        return root;
    }
    auto it = open_.find(h);
    if (it == open_.end()) return nullptr;
    keep = it->second.data;
    return it->second.node;
}

int32_t RegFileRegistry::RegOpenKeyExA(HKEY hKey, const std::string& subKey, uint32_t, uint32_t,
                                       HKEY& phkResult) {
    std::lock_guard<std::mutex> lock(mutex_);
    phkResult = 0;
    std::shared_ptr<const RegFileData> keep;
    const RegNode* from = NodeOf(hKey, keep);
    if (!from) return ERROR_INVALID_HANDLE;
    if (subKey.size() > RegFileLimits{}.maxKeyPathBytes) return ERROR_INVALID_PARAMETER;
    const RegNode* node = RegFileData::Find(from, subKey);
    if (!node) return ERROR_FILE_NOT_FOUND;
    // Handles below the predefined roots, never 0, reused only once closed.
    HKEY h = next_;
    do {
        h = (h >= 0x7FFFFFF0u) ? 0x1000 : h + 4;
    } while (open_.count(h) != 0);
    next_ = h;
    open_[h] = OpenKey{keep, node};
    phkResult = h;
    return ERROR_SUCCESS;
}

int32_t RegFileRegistry::RegQueryValueExA(HKEY hKey, const std::string& valueName, uint32_t& lpType,
                                          uint8_t* lpData, uint32_t& cbData) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<const RegFileData> keep;
    const RegNode* node = NodeOf(hKey, keep);
    if (!node) return ERROR_INVALID_HANDLE;
    const RegValue* v = node->Value(valueName);
    if (!v) return ERROR_FILE_NOT_FOUND;
    lpType = v->type;
    const auto size = static_cast<uint32_t>(v->data.size());
    if (!lpData) {
        cbData = size;
        return ERROR_SUCCESS;
    }
    if (cbData < size) {
        cbData = size;
        return ERROR_MORE_DATA;
    }
    if (size) std::memcpy(lpData, v->data.data(), size);
    cbData = size;
    return ERROR_SUCCESS;
}

int32_t RegFileRegistry::RegCloseKey(HKEY hKey) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (data_->Root(hKey)) return ERROR_SUCCESS;
    return open_.erase(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // namespace folioray
