#pragma once
// Pictures written out as text for readable comparisons, and JPEG files made and read.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ports/Picture.h"
#include "tests/support/TempDir.h"

namespace folioray::test {

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

// A picture with a different colour in every pixel.
inline Picture Gradient(int32_t w, int32_t h) {
    Picture p;
    p.isBitmap = true;
    p.width = w;
    p.height = h;
    p.bits.assign(static_cast<size_t>(p.Stride()) * h, 0);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* px = p.bits.data() + y * p.Stride() + x * 3;
            px[0] = static_cast<uint8_t>(x * 255 / std::max(1, w - 1));
            px[1] = static_cast<uint8_t>(y * 255 / std::max(1, h - 1));
            px[2] = static_cast<uint8_t>((x + y) * 7);
        }
    }
    return p;
}

// A JPEG of the gradient, optionally claiming a resolution in dots per inch.
inline std::string JpegBytes(int w, int h, int dpi = 0) {
    const Picture p = Gradient(w, h);
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int rc = tjCompress2(tj, p.bits.data(), w, p.Stride(), h, TJPF_BGR, &out, &size,
                               TJSAMP_420, 80, TJFLAG_BOTTOMUP);
    std::string bytes(reinterpret_cast<char*>(out), size);
    tjFree(out);
    tjDestroy(tj);
    EXPECT_EQ(rc, 0);
    if (dpi > 0) {
        // JFIF APP0: units at 13, X and Y density at 14 and 16 (big-endian).
        EXPECT_EQ(bytes.substr(6, 4), "JFIF");
        bytes[13] = 1;
        bytes[14] = bytes[16] = static_cast<char>(dpi >> 8);
        bytes[15] = bytes[17] = static_cast<char>(dpi & 0xFF);
    }
    return bytes;
}

// Width and height of a JPEG file, or {0, 0} when it is not one.
inline std::pair<int, int> JpegSize(const std::string& path) {
    const std::string bytes = ReadFile(path);
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, cs = 0;
    const bool ok = tjDecompressHeader3(tj, reinterpret_cast<const unsigned char*>(bytes.data()),
                                        bytes.size(), &w, &h, &sub, &cs) == 0;
    tjDestroy(tj);
    return ok ? std::make_pair(w, h) : std::make_pair(0, 0);
}

}  // namespace folioray::test
