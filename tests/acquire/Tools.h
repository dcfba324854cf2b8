#pragma once
// Outside programs the acquisition tests compare against (scanimage, pdfinfo, pdfimages).
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace folioray::test {

// The program's path, looked up on PATH as a shell would.
inline std::string Program(const std::string& name) {
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return name;
}

}  // namespace folioray::test
