// The working folder, its write test and the text-mode store.
#include <cstdio>

#include "control/ScanControl.h"
#include "ports/Host.h"
#include "runtime/FileOps.h"
#include "runtime/Text.h"

namespace folioray {

namespace {

// Text files keep CR LF line ends; an editor that gives bare LF is brought in line.
std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

void ScanControl::FilePath(const std::string& vData) {
    try {
        err_.Clear();
        std::string folder = Trim(vData);
        if (folder.empty()) return;
        if (folder.back() != '/') folder += '/';
        const std::string testFile = folder + "scantest.txt";
        OutputFile f;
        err_.Step([&] { f.Open(testFile); });
        if (err_.IsSet()) return;
        err_.Step([&] { f.Print("x"); });
        err_.Step([&] { f.Close(); });
        if (err_.IsSet()) return;
        mFilePath = folder;
        err_.Step([&] { DeleteFile(testFile); });
    } catch (...) {
    }
}

bool ScanControl::WriteTest(const std::string& path) {
    OutputFile f;
    err_.Step([&] { f.Open(path); });
    err_.Step([&] { f.Print("Test"); });
    err_.Step([&] { f.Close(); });
    err_.Step([&] { DeleteFile(path); });
    return !err_.IsSet();
}

void ScanControl::StoreText() {
    const std::string textPath = mFilePath + "scanx.txt";
    err_.Step([&] { DeleteFile(textPath); });
    err_.Clear();
    OutputFile f;
    bool created = false;
    err_.Step([&] {
        f.Open(textPath);
        created = true;
    });
    err_.Step([&] { f.Print(WithCrLf(kids_[Child::Text2].caption)); });
    err_.Step([&] { f.Close(); });
    if (err_.IsSet()) {
        // A text cut short (a full disk) must not be left to pass for the text.
        if (created) std::remove(textPath.c_str());
        ports_.host->MsgBox("The text could not be saved to a temporary file.",
                            "Pagewright Control", MsgBoxIcon::Exclamation);
        return;
    }
    mCurrentName = textPath;
    err_.Step([&] { ports_.host->SetFocus("Text2"); });
    RaiseScanComplete(mCurrentName);
}

}  // namespace folioray
