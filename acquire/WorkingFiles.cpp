// The working folder, its write test and the text-mode store.
#include <cstdio>

#include "control/ScanControlState.h"
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
        s_->err_.Clear();
        std::string folder = Trim(vData);
        if (folder.empty()) return;
        if (folder.back() != '/') folder += '/';
        const std::string testFile = folder + "scantest.txt";
        OutputFile f;
        s_->err_.Step([&] { f.Open(testFile); });
        if (s_->err_.IsSet()) return;
        s_->err_.Step([&] { f.Print("x"); });
        s_->err_.Step([&] { f.Close(false); });
        if (s_->err_.IsSet()) return;
        s_->mFilePath = folder;
        s_->err_.Step([&] { DeleteFile(testFile); });
    } catch (...) {
    }
}

bool ScanControl::WriteTest(const std::string& path) {
    OutputFile f;
    s_->err_.Step([&] { f.Open(path); });
    s_->err_.Step([&] { f.Print("Test"); });
    s_->err_.Step([&] { f.Close(false); });
    s_->err_.Step([&] { DeleteFile(path); });
    return !s_->err_.IsSet();
}

void ScanControl::StoreText() {
    const std::string textPath = s_->mFilePath + "scanx.txt";
    s_->err_.Step([&] { DeleteFile(textPath); });
    s_->err_.Clear();
    OutputFile f;
    bool created = false;
    s_->err_.Step([&] {
        f.Open(textPath);
        created = true;
    });
    s_->err_.Step([&] { f.Print(WithCrLf(s_->kids_[Child::Text2].caption)); });
    s_->err_.Step([&] { f.Close(); });
    if (s_->err_.IsSet()) {
        // A text cut short (a full disk) must not be left to pass for the text.
        if (created) std::remove(textPath.c_str());
        s_->ports_.host->MsgBox("The text could not be saved to a temporary file.",
                                "Pagewright Control", MsgBoxIcon::Exclamation);
        return;
    }
    s_->mCurrentName = textPath;
    s_->err_.Step([&] { s_->ports_.host->SetFocus("Text2"); });
    RaiseScanComplete(s_->mCurrentName);
}

}  // namespace folioray
