// What an FTP server sends on the control connection, from anywhere: the replies come
// out the same however the bytes are split, every buffer stays within its bound, and no
// reply text carries an ASCII password in any letter case (but for a short one inside a
// longer word, which is left alone). Each line is also read as a line of a listing.
//
// Input: one byte n, then n bytes of password (line ends and NULs become 'x', as the
// layer refuses such passwords), then the server's bytes.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/curl/FtpReplies.h"
#include "runtime/Text.h"

using folioray::FtpReplyReader;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A byte beyond ASCII may belong to a letter: the masker reads UTF-8, this check does not.
bool MaybeAlnum(char c) {
    return static_cast<unsigned char>(c) >= 0x80 || std::isalnum(static_cast<unsigned char>(c));
}

bool Leaks(const std::string& reply, const std::string& secret) {
    const std::string low = Lower(reply);
    const std::string s = Lower(secret);
    for (size_t at = low.find(s); at != std::string::npos; at = low.find(s, at + 1)) {
        if (s.size() >= folioray::kShortSecret) return true;
        const size_t end = at + s.size();
        const bool inWord = (std::isalnum(static_cast<unsigned char>(s.front())) && at > 0 &&
                             MaybeAlnum(low[at - 1])) ||
                            (std::isalnum(static_cast<unsigned char>(s.back())) &&
                             end < low.size() && MaybeAlnum(low[end]));
        if (!inWord) return true;
    }
    return false;
}

bool IsAscii(const std::string& s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

struct Outcome {
    size_t replies = 0;  // completed
    int code = 0;        // of the last one
    std::string text;
    bool overflowed = false;
    bool operator==(const Outcome&) const = default;
};

// Feeds `stream` in pieces whose sizes come from `sizes` (cycled). Whatever the reader
// hands out after a piece is checked.
Outcome Run(const std::string& secret, const std::string& stream,
            const std::vector<size_t>& sizes) {
    FtpReplyReader r;
    r.SetSecret(secret);
    Outcome out;
    const bool checkSecret = !secret.empty() && IsAscii(secret);
    size_t at = 0;
    for (size_t k = 0; at < stream.size(); ++k) {
        const size_t n = std::min(sizes[k % sizes.size()], stream.size() - at);
        const size_t done = r.Feed(stream.data() + at, n);
        out.replies += done;
        at += n;
        Check(r.Buffered() <= FtpReplyReader::kMaxLineBytes);
        if (done == 0) continue;  // what it hands out changes only with a new reply
        Check(r.LastCode() >= 0 && r.LastCode() <= 999);
        Check(r.LastReply().size() <= FtpReplyReader::kMaxReplyBytes);
        if (checkSecret) Check(!Leaks(r.LastReply(), secret));
    }
    out.code = r.LastCode();
    out.text = r.LastReply();
    out.overflowed = r.Overflowed();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t n = std::min<size_t>(data[0] % 24, size - 1);
    std::string secret(reinterpret_cast<const char*>(data + 1), n);
    for (char& c : secret) {
        if (c == '\r' || c == '\n' || c == '\0') c = 'x';
    }
    const std::string stream(reinterpret_cast<const char*>(data + 1 + n), size - 1 - n);

    const Outcome whole = Run(secret, stream, {stream.size() + 1});
    Check(Run(secret, stream, {3, 1, 7, 2, 1, 64}) == whole);

    // Every line as a listing line.
    size_t pos = 0;
    while (pos < stream.size()) {
        size_t end = stream.find('\n', pos);
        if (end == std::string::npos) end = stream.size();
        std::string line = stream.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        folioray::FtpFindData found;
        if (folioray::ParseFtpListLine(line, found)) {
            Check(!found.cFileName.empty());
            Check(line.size() >= found.cFileName.size() &&
                  line.compare(line.size() - found.cFileName.size(), std::string::npos,
                               found.cFileName) == 0);
            Check(found.dwFileAttributes == 0x10u || found.dwFileAttributes == 0x80u);
        }
    }
    return 0;
}
