#include "acquire/TempFileModule.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace folioray {

std::string NewTempFileName() {
    std::string dir;
    if (const char* t = std::getenv("TMPDIR"); t && *t) dir = t;
    if (dir.empty()) dir = "/tmp";
    if (dir.back() != '/') dir += '/';
    std::string pattern = dir + "QZRPAGESXXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    // mkstemp creates the file with O_EXCL and mode 0600, so the name cannot be raced.
    int fd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd < 0) return {};
    ::close(fd);
    return std::string(buf.data());
}

}  // namespace folioray
