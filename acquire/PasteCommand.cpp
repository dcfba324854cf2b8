// The Paste command.
#include "control/ScanControlState.h"
#include "ports/Clipboard.h"
#include "ports/Host.h"
#include "ports/Preview.h"
#include "runtime/ClipboardDib.h"
#include "runtime/ScopedFlag.h"
#include "runtime/VbError.h"

namespace folioray {

void ScanControl::PasteCommand() {
    Host& host = *s_->ports_.host;
    if (s_->acquiring_ || s_->uploading_) {
        host.Beep();  // a click handled while a scan, paste or upload pumps messages
        return;
    }
    ScopedFlag acquiring(s_->acquiring_);
    const std::string jpgPath = s_->mFilePath + "scanx.jpg";
    s_->err_.Clear();
    if (!WriteTest(jpgPath)) {
        const std::string description = ErrorDescription(s_->err_.Number());
        s_->err_.Clear();
        host.MsgBox(
            "The picture cannot be saved to the specified filename. Error is " + description,
            "File is not writable", MsgBoxIcon::Critical);
        return;
    }
    s_->err_.Clear();
    host.SetMousePointer(MousePointer::Hourglass);
    s_->err_.Step([&] { LoadClipboardPicture(); });
    s_->err_.Step([&] { host.DoEvents(); });
    if (s_->err_.IsSet()) {
        host.MsgBox(
            "An Error occurred while transferring the image from the clipboard to memory. The "
            "problem was identified as " +
                ErrorDescription(s_->err_.Number()) + ". Please try again.",
            "Clipboard Paste unsuccessful", MsgBoxIcon::Exclamation);
        host.SetMousePointer(MousePointer::Default);
        return;
    }
    if (!SaveImage2AsJpeg(jpgPath)) {
        host.MsgBox("An Error occurred while attempting to save the file to JPG format.",
                    "Error saving file.", MsgBoxIcon::Exclamation);
        host.SetMousePointer(MousePointer::Default);
        return;
    }
    s_->err_.Step([&] {
        if (s_->ports_.preview) s_->ports_.preview->Load(jpgPath);
    });
    RecordImageFacts(jpgPath);
    s_->mCurrentName = jpgPath;
    s_->err_.Step([&] {
        s_->kids_.SetEnabled(Child::Command2, true);
        s_->kids_.SetPicture(Child::Icon2, s_->kids_[Child::Icon2a].picture);
    });
    std::string result = jpgPath;
    if (s_->mSaveAsPDF) {
        const std::string pdfPath = s_->mFilePath + "scanx.pdf";
        if (!ConvertToPdf(jpgPath, pdfPath, true)) return;
        result = pdfPath;
    }
    s_->mCurrentName = result;
    FocusPreview();
    host.SetMousePointer(MousePointer::Default);
    // The event gets a copy: a host writing to it leaves CurrentName alone.
    std::string fileName = result;
    // Released first: a host may take the next page from its handler.
    acquiring.Release();
    RaiseScanComplete(fileName);
}

void ScanControl::LoadClipboardPicture() {
    if (!s_->ports_.clipboard) throw VbError(err::kCantOpenClipboard);
    // Shared, not copied: a scanned page is held once from the device to the JPEG file.
    const std::shared_ptr<const std::vector<uint8_t>> dib = s_->ports_.clipboard->GetSharedDib();
    // No picture on the clipboard is an invalid picture; Image2 keeps what it had.
    if (!dib) throw VbError(err::kInvalidPicture);
    s_->image2_ = PictureFromSharedDib(dib);
}

}  // namespace folioray
