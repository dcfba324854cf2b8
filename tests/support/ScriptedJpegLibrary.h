#pragma once
// A JPEG library whose results the test decides; it records what it was given. A
// successful write leaves a small stand-in file, a failing one can leave a partial file;
// an empty file name fails as IJL_INVALID_FILENAME.
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "ports/JpegLibrary.h"

namespace folioray {

class ScriptedJpegLibrary : public JpegLibrary {
  public:
    int ijlInit(JPEG_CORE_PROPERTIES* p) override {
        calls.push_back("init");
        if (initResult != IJL_OK) return initResult;
        p->DIBChannels = 3;
        p->DIBColor = IJL_BGR;
        p->JPGChannels = 3;
        p->JPGColor = IJL_YCBCR;
        p->JPGSubsampling = IJL_411;
        p->jquality = 75;
        p->state = this;
        return IJL_OK;
    }

    int ijlWrite(JPEG_CORE_PROPERTIES* p, int ioType) override {
        calls.push_back("write");
        written = *p;
        writtenIoType = ioType;
        writtenFile = p->JPGFile ? std::string(p->JPGFile) : std::string();
        struct stat st {};
        targetExistedAtWrite = !writtenFile.empty() && ::lstat(writtenFile.c_str(), &st) == 0;
        if (writtenFile.empty()) return IJL_INVALID_FILENAME;
        if (writeResult == IJL_OK || leavePartialFile) {
            if (!writtenFile.empty()) {
                std::ofstream(writtenFile, std::ios::binary)
                    << (writeResult == IJL_OK ? "stand-in" : "partial");
            }
        }
        return writeResult;
    }

    int ijlFree(JPEG_CORE_PROPERTIES* p) override {
        calls.push_back("free");
        p->state = nullptr;
        return IJL_OK;
    }

    int initResult = IJL_OK;
    int writeResult = IJL_OK;
    bool leavePartialFile = false;

    std::vector<std::string> calls;  // "init", "write", "free" in call order
    JPEG_CORE_PROPERTIES written{};  // the record as ijlWrite saw it (pointers not kept valid)
    int writtenIoType = 0;
    std::string writtenFile;
    bool targetExistedAtWrite = false;
};

}  // namespace folioray
