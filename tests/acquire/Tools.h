#pragma once
// Outside programs the acquisition tests compare against (scanimage, pdfinfo, pdfimages),
// and pictures written out as text for readable comparisons.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ports/Picture.h"

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

// The picture as the eye sees it: rows top to bottom, "RRGGBB" per pixel.
inline std::vector<std::string> Rows(const Picture& p) {
    std::vector<std::string> rows;
    for (int32_t y = p.height - 1; y >= 0; --y) {
        std::string row;
        for (int32_t x = 0; x < p.width; ++x) {
            const uint8_t* px = p.Pixels() + y * p.Stride() + x * 3;
            char buf[8];
            std::snprintf(buf, sizeof buf, "%02X%02X%02X", px[2], px[1], px[0]);
            if (x) row += ' ';
            row += buf;
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace folioray::test
