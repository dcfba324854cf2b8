#pragma once
// ScanControl: the document-capture control's state, public interface and event.
// Everything the user sees is a record in Children(); the platform is reached only
// through the ports given at construction.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "control/ChildControls.h"
#include "folioray2/core_export.h"
#include "ports/Picture.h"
#include "ports/Ports.h"
#include "runtime/PendingError.h"
#include "runtime/Variant.h"

namespace folioray {

class FOLIORAY_CORE_EXPORT ScanControl {
  public:
    // The ports stay owned by the caller and must outlive the control.
    explicit ScanControl(const Ports& ports);
    ~ScanControl();
    ScanControl(const ScanControl&) = delete;
    ScanControl& operator=(const ScanControl&) = delete;

    // ---- _ScanControl, in interface order. No member reports an error to the caller.
    int32_t FullScreen() const;
    void FullScreen(int32_t lngFullScrn);
    void StartScan();
    int32_t ButtonStyle() const;
    void ButtonStyle(int32_t lngBtnStyle);
    std::string CurrentName() const;
    void SetSize(int32_t xWidth, int32_t yHeight);
    std::string UploadFile(const Variant& vServer, const Variant& vUserName,
                           const Variant& vPassword, const Variant& vFTPMode = Variant::Missing(),
                           const Variant& vRemoteFileName = Variant::Missing(),
                           const Variant& vRemoteDirectory = Variant::Missing());
    void PasteName();
    Variant ShowModeButton() const;
    void ShowModeButton(const Variant& blShow);
    Variant SaveAsPDF() const;
    void SaveAsPDF(const Variant& blPDF);
    int32_t ControlMode() const;
    void ControlMode(int32_t lngMode);
    int32_t ImageWidth() const;
    int32_t ImageHeight() const;
    int32_t ImageSize() const;
    int32_t Quality() const;
    void Quality(int32_t vData);
    std::string FilePath() const;
    void FilePath(const std::string& vData);

    // ---- __ScanControl. FileName is by reference: the text-mode store passes
    // mCurrentName itself, scan and paste pass a copy.
    std::function<void(std::string& FileName)> ScanComplete;

    // ---- The container's side: extent in twips. Resize runs the layout.
    void Resize(float widthTwips, float heightTwips);
    float Width() const;
    float Height() const;

    // ---- Events of the children, delivered by the host.
    void Command1_Click();
    void Command2_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Icon1_Click() { Command1_Click(); }
    void Icon2_Click() { Command2_Click(); }
    void Icon4_Click() { Command4_Click(); }
    void Icon5_Click() { Command5_Click(); }
    void Icon6_Click() { Command6_Click(); }
    void MenuPasteImage_Click();
    void Image1_PreviewError(int32_t& number, int32_t extra);
    void Image1_PreviewActivated();
    void Image1_PreviewMouseButton(int16_t& button, int16_t shift, float x, float y);
    void Text1_GotFocus();
    void Timer1_Timer();
    void mFTP_FileTransferProgress(int32_t& lCurrentBytes, int32_t& lTotalBytes);

    // ---- For hosts and tests.
    const ChildControls& Children() const;
    // The text-mode editor's text, as the user typed it.
    void SetEditorText(const std::string& text);
    const std::string& ImageInfo() const;
    const Picture& Image2Picture() const;
    PendingError& Err();
    const Ports& GetPorts() const;
    // Called after each upload progress event has been shown (the CLI's --progress).
    std::function<void(int32_t lCurrentBytes, int32_t lTotalBytes)> UploadProgress;

  private:
    // Commands and steps; each lives with its subsystem.
    void ScanCommand();                               // acquire/ScanCommand.cpp
    void SourceCommand();                             // acquire/ScanCommand.cpp
    std::string AcquireToFile(std::string FileName);  // acquire/ScanCommand.cpp
    void PasteCommand();                              // acquire/PasteCommand.cpp
    void LoadClipboardPicture();                      // acquire/PasteCommand.cpp
    bool SaveImage2AsJpeg(const std::string& path);   // acquire/ScanCommand.cpp
    void RecordImageFacts(const std::string& path);   // acquire/ScanCommand.cpp
    // Converts the stored JPEG; on failure it has shown its message.
    bool ConvertToPdf(const std::string& jpgPath, const std::string& pdfPath,
                      bool pointerBackBeforeMessage);     // acquire/PdfConversion.cpp
    void InfoCommand();                                   // acquire/InfoBox.cpp
    void StoreText();                                     // acquire/WorkingFiles.cpp
    bool WriteTest(const std::string& path);              // acquire/WorkingFiles.cpp
    void Layout();                                        // control/Layout.cpp
    void SetExtent(float widthTwips, float heightTwips);  // control/Layout.cpp
    void DetailView();                                    // control/PreviewEvents.cpp
    void AboutCommand();                                  // about/AboutCommand.cpp
    void FocusPreview();
    void RaiseScanComplete(std::string& FileName);

    struct State;
    // Declared last: the events above outlive the state, as hosts' handlers expect.
    std::unique_ptr<State> s_;

    friend class ScanControlTestPeer;  // tests: stands in for stages built elsewhere
};

// The default working folder: the user's home folder with a trailing "/".
FOLIORAY_CORE_EXPORT std::string DefaultWorkingFolder();

}  // namespace folioray
