#pragma once
// One control wired to the headless host, the in-memory clipboard, a scripted scanner,
// the real TurboJPEG library and an object registry holding the libharu "Image.Stream";
// working folder and temporary folder are fresh per test.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/ScanControl.h"
#include "imaging/PictureDib.h"
#include "platform/haru/HaruImageStream.h"
#include "platform/headless/HeadlessHost.h"
#include "platform/headless/HeadlessPreview.h"
#include "platform/headless/MemoryClipboard.h"
#include "platform/turbojpeg/TurboJpegLibrary.h"
#include "ports/ObjectRegistry.h"
#include "runtime/Format.h"
#include "tests/support/ScriptedScanner.h"
#include "tests/support/TempDir.h"

namespace folioray::test {

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

class AcquireFixture : public ::testing::Test {
  public:
    AcquireFixture() {
        if (const char* old = std::getenv("TMPDIR")) oldTmp_ = old;
        ::setenv("TMPDIR", tmp_.c_str(), 1);
        static const std::string comma = ",";
        SetGroupSeparatorOverride(&comma);
        RegisterImageStream(objects);
        ports.host = &host;
        ports.clipboard = &clipboard;
        ports.preview = &preview;
        ports.scanner = &scanner;
        ports.jpeg = &jpeg;
        ports.objects = &objects;
        scanner.dib = MakeDib(Gradient(40, 30));
        control = std::make_unique<ScanControl>(ports);
        control->FilePath(work.path());
        control->ScanComplete = [this](std::string& name) { events.push_back(name); };
    }
    ~AcquireFixture() override {
        SetGroupSeparatorOverride(nullptr);
        if (oldTmp_) {
            ::setenv("TMPDIR", oldTmp_->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }

    std::string Jpg() const { return work / "scanx.jpg"; }
    std::string Pdf() const { return work / "scanx.pdf"; }
    // What the temporary folder holds (it should be empty after every command).
    std::vector<std::string> TempFiles() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(tmp_)) {
            names.push_back(e.path().filename().string());
        }
        return names;
    }

    TempDir work;
    TempDir temp;
    std::string tmp_ = temp.path();
    std::optional<std::string> oldTmp_;
    HeadlessHost host;
    MemoryClipboard clipboard;
    HeadlessPreview preview;
    ScriptedScanner scanner{clipboard};
    TurboJpegLibrary jpeg;
    ObjectRegistry objects;
    Ports ports;
    std::unique_ptr<ScanControl> control;
    std::vector<std::string> events;
};

}  // namespace folioray::test
