#include "control/ScanControl.h"

#include <pwd.h>
#include <unistd.h>
#include <cstdlib>

#include "ports/Host.h"
#include "ports/Preview.h"
#include "upload/cFTP.h"

namespace folioray {

namespace {

// Stands in when a host gives no container: nothing to show, 15 twips per pixel.
class NullHost final : public Host {
  public:
    void MsgBox(const std::string&, const std::string&, MsgBoxIcon) override {}
    void SetMousePointer(MousePointer) override {}
    void Beep() override {}
    void DoEvents() override {}
    float TwipsPerPixelX() override { return 15.0f; }
    float TwipsPerPixelY() override { return 15.0f; }
    void ExtentChanged(float, float) override {}
    void ChildChanged(const std::string&) override {}
    void SetFocus(const std::string&) override {}
    void Refresh(const std::string&) override {}
    bool PostMessage(uint32_t, uint32_t, uint32_t) override { return false; }
    void SetTimer(bool, uint32_t) override {}
    void PopupMenu(const std::string&, float, float) override {}
    void ShowDetailView(const Picture&, float, float) override {}
    void ShowAbout(AboutForm&) override {}
};

NullHost g_nullHost;

}  // namespace

std::string DefaultWorkingFolder() {
    // One construction from a pointer: assigning the literal "/" to a string trips
    // GCC 12's false -Wrestrict at -O3.
    const char* h = std::getenv("HOME");
    if (!h || !*h) {
        const passwd* pw = ::getpwuid(::getuid());
        h = pw && pw->pw_dir ? pw->pw_dir : "/";
    }
    std::string home(h);
    if (home.back() != '/') home += '/';
    return home;
}

ScanControl::ScanControl(const Ports& ports) : ports_(ports) {
    if (!ports_.host) ports_.host = &g_nullHost;
    kids_.SetObserver([this](const std::string& name) { ports_.host->ChildChanged(name); });
    // Creation sets the member defaults and nothing else: no layout, no child changes.
    mFilePath = DefaultWorkingFolder();
    if (mFilePath.empty() || mFilePath.back() != '/') mFilePath += '/';
    mQuality = 60;
    mImageInfo.clear();
    mCurrentName.clear();
    mImageWidth = mImageHeight = mImageSize = 0;
    mSaveAsPDF = 0;
    mControlMode = 0;
    mMinHeight = 1095;
    mMinWidth = 1820;
    mFullScreen = 0;
}

ScanControl::~ScanControl() {
    // Releasing the client ends the delivery of progress events; files stay in place.
    mFTP.reset();
    kids_.SetObserver(nullptr);
}

void ScanControl::Quality(int32_t vData) {
    if (vData >= 0 && vData <= 100) mQuality = vData;
}

void ScanControl::StartScan() {
    Command1_Click();
}

void ScanControl::Command1_Click() {
    try {
        ScanCommand();
    } catch (...) {
        // Public members never report an error to the container.
    }
}

void ScanControl::Command2_Click() {
    try {
        InfoCommand();
    } catch (...) {
    }
}

void ScanControl::Command4_Click() {
    try {
        SourceCommand();
    } catch (...) {
    }
}

void ScanControl::Command5_Click() {
    try {
        AboutCommand();
    } catch (...) {
    }
}

void ScanControl::MenuPasteImage_Click() {
    try {
        PasteCommand();
    } catch (...) {
    }
}

void ScanControl::FocusPreview() {
    err_.Step([&] {
        if (ports_.preview) ports_.preview->SetFocus();
    });
}

void ScanControl::RaiseScanComplete(std::string& FileName) {
    if (ScanComplete) ScanComplete(FileName);
}

}  // namespace folioray
