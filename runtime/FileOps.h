#pragma once
// File operations of the core. Each throws VbError with the standard number on failure,
// so a command can run it as one continue-on-error step.
#include <cstdint>
#include <cstdio>
#include <string>

namespace folioray {

// A text file opened for output (created or truncated). Lines end in CR LF.
class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Open(const std::string& path);   // create or truncate
    void Print(const std::string& line);  // line + CR LF
    // Flushes and reports a failed flush (disk full). `sync` also waits for the disk, which
    // a file deleted straight after (a write test, a hand-over file) does not need.
    void Close(bool sync = true);
    bool IsOpen() const { return f_ != nullptr; }

  private:
    std::FILE* f_ = nullptr;
    std::string path_;
};

// Puts `size` bytes at `path` whole or not at all: written beside it, synced, closed and
// renamed over it. The sync stays although it costs about as much as the scan: the PDF
// store deletes the JPEG once this returns, and a power cut must not leave an empty file
// as the only copy. Returns 0, or the errno of the first step that failed (nothing is
// then left beside `path`, and what was at `path` is untouched).
int ReplaceFileWith(const std::string& path, const void* data, size_t size);

void DeleteFile(const std::string& path);  // "Kill": a missing file is error 53
bool FileExists(const std::string& path);  // an ordinary file (not a folder)
int64_t FileLength(const std::string& path);

}  // namespace folioray
