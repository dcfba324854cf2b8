#pragma once
// Helpers for the About box tests: .reg text, scripts that leave a mark when run, and a
// bounded wait for that mark.
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/support/TempDir.h"

namespace folioray::test {

// A REGEDIT4 string with its backslashes and quotes escaped.
inline std::string RegString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// An executable shell script at `path` that records "PID SID STDIN STDOUT" in `mark`.
inline void WriteMarkScript(const std::string& path, const std::string& mark,
                            const std::string& extra = {}) {
    WriteFile(path,
              "#!/bin/sh\n"
              "read -r pid comm state ppid pgrp sid rest < /proc/$$/stat\n"
              "in=$(readlink /proc/$$/fd/0)\n"
              "out=$(readlink /proc/$$/fd/1)\n" +
                  extra + "echo \"$pid $sid $in $out\" > '" + mark + ".tmp'\nmv '" + mark +
                  ".tmp' '" + mark + "'\n");
    ::chmod(path.c_str(), 0755);
}

// Waits up to ten seconds for a file to appear.
inline bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 1000; ++i) {
        if (Exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace folioray::test
