#pragma once
// What an FTP server says, taken apart without a network: the replies on the control
// connection, assembled from the bytes as they arrive, and the lines of a listing. Both
// read data from outside and keep every buffer bounded.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ports/Internet.h"
#include "runtime/Text.h"  // MaskSecret

namespace folioray {

class FtpReplyReader {
  public:
    // Bytes kept of one line and of one reply; the rest is dropped (the caller's buffer
    // for a reply holds 2048 bytes anyway).
    static constexpr size_t kMaxLineBytes = 4096;
    static constexpr size_t kMaxReplyBytes = 8192;
    // A reply still open after this many bytes is a server that talks without end (well
    // below the 300 KB at which libcurl gives up on it by itself).
    static constexpr size_t kMaxOpenReplyBytes = 128 * 1024;

    // The password of the connection: no reply text handed out carries it.
    void SetSecret(const std::string& secret) { secret_ = secret; }
    // Forgets a half-received line or reply (a new operation starts).
    void Reset();
    // Takes the next bytes from the server. Returns the number of replies completed.
    size_t Feed(const char* data, size_t size);

    // The last complete reply: its three-digit code (0 when none yet) and its lines with
    // their line ends, the password masked.
    int LastCode() const { return lastCode_; }
    const std::string& LastReply() const { return lastReply_; }
    // An open reply ran past kMaxOpenReplyBytes.
    bool Overflowed() const { return overflowed_; }
    // Bytes held for the line not yet ended.
    size_t Buffered() const { return line_.size(); }

  private:
    void EndLine();

    std::string secret_;
    std::string line_;  // the current line, up to kMaxLineBytes
    bool lineCut_ = false;
    std::string reply_;  // the open reply, masked, up to kMaxReplyBytes
    size_t replyRaw_ = 0;
    int replyCode_ = 0;
    bool replyOpen_ = false;
    bool overflowed_ = false;
    size_t completed_ = 0;
    int lastCode_ = 0;
    std::string lastReply_;
};

// One line of a listing in the Unix "ls -l" or the DOS form (no line end); false when it
// is neither. Sets the name, the size and the attributes of `out`.
bool ParseFtpListLine(const std::string& line, FtpFindData& out);

}  // namespace folioray
