// The Paste command.
#include "control/ScanControl.h"
#include "ports/Clipboard.h"
#include "ports/Host.h"
#include "ports/Preview.h"
#include "runtime/ClipboardDib.h"
#include "runtime/ScopedFlag.h"
#include "runtime/VbError.h"

namespace folioray {

void ScanControl::PasteCommand() {
    Host& host = *ports_.host;
    if (acquiring_ || uploading_) {
        host.Beep();  // a click handled while a scan, paste or upload pumps messages
        return;
    }
    ScopedFlag acquiring(acquiring_);
    const std::string jpgPath = mFilePath + "scanx.jpg";
    err_.Clear();
    if (!WriteTest(jpgPath)) {
        const std::string description = ErrorDescription(err_.Number());
        err_.Clear();
        host.MsgBox(
            "The picture cannot be saved to the specified filename. Error is " + description,
            "File is not writable", MsgBoxIcon::Critical);
        return;
    }
    err_.Clear();
    host.SetMousePointer(MousePointer::Hourglass);
    err_.Step([&] { LoadClipboardPicture(); });
    err_.Step([&] { host.DoEvents(); });
    if (err_.IsSet()) {
        host.MsgBox(
            "An Error occurred while transferring the image from the clipboard to memory. The "
            "problem was identified as " +
                ErrorDescription(err_.Number()) + ". Please try again.",
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
    err_.Step([&] {
        if (ports_.preview) ports_.preview->Load(jpgPath);
    });
    RecordImageFacts(jpgPath);
    mCurrentName = jpgPath;
    err_.Step([&] {
        kids_.SetEnabled(Child::Command2, true);
        kids_.SetPicture(Child::Icon2, kids_[Child::Icon2a].picture);
    });
    std::string result = jpgPath;
    if (mSaveAsPDF) {
        const std::string pdfPath = mFilePath + "scanx.pdf";
        if (!ConvertToPdf(jpgPath, pdfPath, true)) return;
        result = pdfPath;
    }
    mCurrentName = result;
    FocusPreview();
    host.SetMousePointer(MousePointer::Default);
    // The event gets a copy: a host writing to it leaves CurrentName alone.
    std::string fileName = result;
    // Released first: a host may take the next page from its handler.
    acquiring.Release();
    RaiseScanComplete(fileName);
}

void ScanControl::LoadClipboardPicture() {
    if (!ports_.clipboard) throw VbError(err::kCantOpenClipboard);
    // Shared, not copied: a scanned page is held once from the device to the JPEG file.
    const std::shared_ptr<const std::vector<uint8_t>> dib = ports_.clipboard->GetSharedDib();
    // No picture on the clipboard is an invalid picture; Image2 keeps what it had.
    if (!dib) throw VbError(err::kInvalidPicture);
    image2_ = PictureFromSharedDib(dib);
}

}  // namespace folioray
