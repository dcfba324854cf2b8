#include "platform/curl/FtpReplies.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <vector>

namespace folioray {

namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Eight asterisks, or of another sign when the secret holds one: a mask made of the
// secret's own signs could form the secret again with the text around it.
std::string MaskFor(const std::string& secret) {
    bool used[256] = {};
    for (char s : secret) used[static_cast<unsigned char>(Lower(s))] = true;
    if (!used[static_cast<unsigned char>('*')]) return std::string(8, '*');
    // A printable sign first; letters are never chosen, as they fold to the lower case.
    for (int pass = 0; pass < 2; ++pass) {
        for (int c = 1; c < 256; ++c) {
            const bool printable = c > ' ' && c < 0x7F;
            if (printable == (pass == 0) && c != '\r' && c != '\n' && !std::isalpha(c) &&
                !used[c]) {
                return std::string(8, static_cast<char>(c));
            }
        }
    }
    return std::string(8, '*');
}

// A line cut short may end in the first bytes of an echoed password, which the whole-word
// mask cannot see: those go too.
std::string MaskCutEnd(std::string text, const std::string& secret) {
    if (secret.empty()) return text;
    for (size_t k = std::min(secret.size() - 1, text.size()); k > 0; --k) {
        bool same = true;
        for (size_t i = 0; i < k && same; ++i) {
            same = Lower(text[text.size() - k + i]) == Lower(secret[i]);
        }
        if (same) {
            text.replace(text.size() - k, k, MaskFor(secret));
            break;
        }
    }
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

void FtpReplyReader::Reset() {
    line_.clear();
    lineCut_ = false;
    reply_.clear();
    replyRaw_ = 0;
    replyCode_ = 0;
    replyOpen_ = false;
    overflowed_ = false;
    lastCode_ = 0;
    lastReply_.clear();
}

size_t FtpReplyReader::Feed(const char* data, size_t size) {
    const size_t before = completed_;
    while (size > 0) {
        const char* nl = static_cast<const char*>(std::memchr(data, '\n', size));
        const size_t take = nl ? static_cast<size_t>(nl - data) + 1 : size;
        const size_t room = kMaxLineBytes - line_.size();
        line_.append(data, std::min(take, room));
        if (take > room) lineCut_ = true;
        replyRaw_ += take;
        data += take;
        size -= take;
        if (nl) EndLine();
        if (replyRaw_ > kMaxOpenReplyBytes) overflowed_ = true;
    }
    return completed_ - before;
}

void FtpReplyReader::EndLine() {
    const std::string& raw = line_;
    const bool coded = raw.size() >= 3 && IsDigit(raw[0]) && IsDigit(raw[1]) && IsDigit(raw[2]);
    const int code = coded ? (raw[0] - '0') * 100 + (raw[1] - '0') * 10 + (raw[2] - '0') : 0;
    const bool last = coded && (raw.size() < 4 || raw[3] != '-');
    if (!replyOpen_) {
        reply_.clear();
        replyOpen_ = true;
        replyCode_ = code;
    }
    std::string text = MaskSecret(line_, secret_);
    if (lineCut_) text = MaskCutEnd(std::move(text), secret_) + "\r\n";
    if (reply_.size() < kMaxReplyBytes) reply_.append(text, 0, kMaxReplyBytes - reply_.size());
    line_.clear();
    lineCut_ = false;
    // A reply ends at a line with its own code and no dash; a reply that began without a
    // code (not a server that speaks FTP) ends at the first such line of any code.
    if (last && (code == replyCode_ || replyCode_ == 0)) {
        replyOpen_ = false;
        replyRaw_ = 0;
        lastCode_ = code;
        lastReply_.swap(reply_);
        reply_.clear();
        ++completed_;
    }
}

bool ParseFtpListLine(const std::string& line, FtpFindData& out) {
    // Up to eight fields separated by spaces, with where each begins.
    std::vector<std::string_view> f;
    std::vector<size_t> at;
    size_t i = 0;
    while (i < line.size() && f.size() < 8) {
        while (i < line.size() && line[i] == ' ') ++i;
        size_t j = i;
        while (j < line.size() && line[j] != ' ') ++j;
        if (j > i) {
            f.emplace_back(line.data() + i, j - i);
            at.push_back(i);
        }
        i = j;
    }
    while (i < line.size() && line[i] == ' ') ++i;
    const std::string rest = line.substr(std::min(i, line.size()));
    auto toSize = [](std::string_view s, uint64_t& v) {
        if (s.empty() || s.size() > 19) return false;
        v = 0;
        for (char c : s) {
            if (!IsDigit(c)) return false;
            v = v * 10 + static_cast<uint64_t>(c - '0');
        }
        return true;
    };
    uint64_t size = 0;
    if (f.size() == 8 && f[0].size() >= 10 && std::strchr("-dlcbps", f[0][0]) &&
        toSize(f[4], size) && !rest.empty()) {
        out.dwFileAttributes = f[0][0] == 'd' ? 0x10u : 0x80u;
        out.cFileName = rest;
    } else if (f.size() >= 3 && (f[2] == "<DIR>" || toSize(f[2], size))) {
        // DOS: date, time, <DIR> or size, name (which may hold spaces). The name starts
        // after the third field itself, not after the first text that looks like it.
        size_t p = at[2] + f[2].size();
        while (p < line.size() && line[p] == ' ') ++p;
        if (p >= line.size()) return false;
        out.dwFileAttributes = f[2] == "<DIR>" ? 0x10u : 0x80u;
        out.cFileName = line.substr(p);
    } else {
        return false;
    }
    out.nFileSizeLow = static_cast<uint32_t>(size & 0xFFFFFFFFu);
    out.nFileSizeHigh = static_cast<uint32_t>(size >> 32);
    return true;
}

}  // namespace folioray
