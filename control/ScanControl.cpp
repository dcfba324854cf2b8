#include "control/ScanControlState.h"

#include <pwd.h>
#include <unistd.h>
#include <cstdlib>

#include "ports/Host.h"
#include "ports/Preview.h"

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

ScanControl::ScanControl(const Ports& ports) : s_(std::make_unique<State>(ports)) {
    if (!s_->ports_.host) s_->ports_.host = &g_nullHost;
    s_->kids_.SetObserver([this](const std::string& name) { s_->ports_.host->ChildChanged(name); });
    // Creation sets the member defaults and nothing else: no layout, no child changes.
    s_->mFilePath = DefaultWorkingFolder();
    if (s_->mFilePath.empty() || s_->mFilePath.back() != '/') s_->mFilePath += '/';
    s_->mQuality = 60;
    s_->mImageInfo.clear();
    s_->mCurrentName.clear();
    s_->mImageWidth = s_->mImageHeight = s_->mImageSize = 0;
    s_->mSaveAsPDF = 0;
    s_->mControlMode = 0;
    s_->mMinHeight = 1095;
    s_->mMinWidth = 1820;
    s_->mFullScreen = 0;
}

ScanControl::~ScanControl() {
    // Releasing the client ends the delivery of progress events; files stay in place.
    s_->mFTP.reset();
    s_->kids_.SetObserver(nullptr);
}

int32_t ScanControl::FullScreen() const {
    return s_->mFullScreen;
}
int32_t ScanControl::ButtonStyle() const {
    return s_->mButtonStyle;
}
std::string ScanControl::CurrentName() const {
    return s_->mCurrentName;
}
Variant ScanControl::SaveAsPDF() const {
    return Variant(s_->mSaveAsPDF != 0);
}
int32_t ScanControl::ControlMode() const {
    return s_->mControlMode;
}
int32_t ScanControl::ImageWidth() const {
    return s_->mImageWidth;
}
int32_t ScanControl::ImageHeight() const {
    return s_->mImageHeight;
}
int32_t ScanControl::ImageSize() const {
    return s_->mImageSize;
}
int32_t ScanControl::Quality() const {
    return s_->mQuality;
}
std::string ScanControl::FilePath() const {
    return s_->mFilePath;
}
float ScanControl::Width() const {
    return s_->extentWidth_;
}
float ScanControl::Height() const {
    return s_->extentHeight_;
}
const ChildControls& ScanControl::Children() const {
    return s_->kids_;
}
void ScanControl::SetEditorText(const std::string& text) {
    s_->kids_.SetCaption(Child::Text2, text);
}
const std::string& ScanControl::ImageInfo() const {
    return s_->mImageInfo;
}
const Picture& ScanControl::Image2Picture() const {
    return s_->image2_;
}
PendingError& ScanControl::Err() {
    return s_->err_;
}
const Ports& ScanControl::GetPorts() const {
    return s_->ports_;
}

void ScanControl::Quality(int32_t vData) {
    if (vData >= 0 && vData <= 100) s_->mQuality = vData;
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
    s_->err_.Step([&] {
        if (s_->ports_.preview) s_->ports_.preview->SetFocus();
    });
}

void ScanControl::RaiseScanComplete(std::string& FileName) {
    if (ScanComplete) ScanComplete(FileName);
}

}  // namespace folioray
