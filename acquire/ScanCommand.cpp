// The Scan and Source commands and the acquisition routine.
#include <cmath>
#include <cstdint>

#include "control/ScanControlState.h"
#include "imaging/CDIBSection.h"
#include "imaging/IntelJPGLibrary.h"
#include "ports/Clipboard.h"
#include "ports/Host.h"
#include "ports/JpegLibrary.h"
#include "ports/Preview.h"
#include "ports/Scanner.h"
#include "runtime/ClipboardDib.h"
#include "runtime/FileOps.h"
#include "runtime/Format.h"
#include "runtime/ScopedFlag.h"
#include "runtime/Text.h"
#include "runtime/VbError.h"

namespace folioray {

namespace {

const char* const kScanFailed = "The picture could not be scanned.\r\n\r\n";

// A measured length as a 32-bit count; a value that cannot be one is an overflow.
int32_t ToLong(double v) {
    const double r = RoundHalfEven(v);
    if (!std::isfinite(r) || r < INT32_MIN || r > INT32_MAX) throw VbError(err::kOverflow);
    return static_cast<int32_t>(r);
}

// A platform without a clipboard behaves as one whose clipboard cannot be opened.
void ClearClipboard(Clipboard* clipboard) {
    if (!clipboard) throw VbError(err::kCantOpenClipboard);
    clipboard->Clear();
}

}  // namespace

void ScanControl::ScanCommand() {
    // A click handled while a scan or an upload pumps messages: storing now would rewrite
    // the working file under the transfer that is reading it.
    if (s_->acquiring_ || s_->uploading_) {
        s_->ports_.host->Beep();
        return;
    }
    if (s_->mControlMode == 1) {
        StoreText();
        return;
    }
    ScopedFlag acquiring(s_->acquiring_);
    s_->err_.Clear();
    int16_t available = 0;
    s_->err_.Step([&] {
        if (s_->ports_.scanner) available = s_->ports_.scanner->TWAIN_IsAvailable();
    });
    if (available == 0) {
        s_->ports_.host->MsgBox(
            "No TWAIN Compliant Image Source was found on your system. Without a TWAIN Source, "
            "this image scanner cannot be used.",
            "TWAIN Capability not Found", MsgBoxIcon::Exclamation);
        FocusPreview();
        return;
    }
    const std::string jpgPath = s_->mFilePath + "scanx.jpg";
    const std::string error = AcquireToFile(jpgPath);
    if (!error.empty()) {
        s_->ports_.host->MsgBox(kScanFailed + error, "Pagewright Control", MsgBoxIcon::Critical);
        FocusPreview();
        return;
    }
    std::string result = jpgPath;
    if (s_->mSaveAsPDF) {
        const std::string pdfPath = s_->mFilePath + "scanx.pdf";
        if (!ConvertToPdf(jpgPath, pdfPath, false)) return;
        result = pdfPath;
    }
    s_->mCurrentName = result;
    FocusPreview();
    // The event gets a copy: a host writing to it leaves CurrentName alone.
    std::string fileName = result;
    // Released first: a host may take the next page from its handler.
    acquiring.Release();
    RaiseScanComplete(fileName);
}

void ScanControl::SourceCommand() {
    s_->err_.Step([&] {
        if (s_->ports_.scanner) s_->ports_.scanner->TWAIN_SelectImageSource(0);
    });
    FocusPreview();
}

std::string ScanControl::AcquireToFile(std::string FileName) {
    s_->err_.Clear();
    FileName = Trim(FileName);
    // The test removes any earlier file of that name, whatever follows.
    if (!WriteTest(FileName)) {
        std::string text = "The picture cannot be saved to the specified filename. Error is " +
                           ErrorDescription(s_->err_.Number());
        s_->err_.Clear();
        return text;
    }
    Host& host = *s_->ports_.host;
    host.SetMousePointer(MousePointer::Hourglass);
    auto fail = [&](std::string text) {
        host.SetMousePointer(MousePointer::Default);
        s_->err_.Clear();
        return text;
    };
    s_->err_.Step([&] { ClearClipboard(s_->ports_.clipboard); });
    if (s_->ports_.jpeg) s_->ports_.jpeg->ExpectPage(s_->mQuality);
    int16_t acquired = 0;
    s_->err_.Step([&] {
        if (s_->ports_.scanner) acquired = s_->ports_.scanner->TWAIN_AcquireToClipboard(0, 0);
    });
    if (acquired == 0) {
        return fail(
            "A Problem was encountered while attempting to aquire the image. Please try again.");
    }
    s_->err_.Step([&] { host.DoEvents(); });
    s_->err_.Step([&] { LoadClipboardPicture(); });
    s_->err_.Step([&] { host.DoEvents(); });
    s_->err_.Step([&] { ClearClipboard(s_->ports_.clipboard); });
    if (s_->err_.IsSet()) {
        return fail(
            "An Error occurred while transferring the image from the clipboard to memory. The "
            "problem was identified as " +
            ErrorDescription(s_->err_.Number()));
    }
    if (!SaveImage2AsJpeg(FileName)) {
        return fail("An Error occurred while attempting to save the file to JPG format.");
    }
    s_->err_.Step([&] {
        if (s_->ports_.preview) s_->ports_.preview->Load(FileName);
    });
    RecordImageFacts(FileName);
    s_->err_.Step([&] {
        s_->kids_.SetEnabled(Child::Command2, true);
        s_->kids_.SetPicture(Child::Icon2, s_->kids_[Child::Icon2a].picture);
    });
    host.SetMousePointer(MousePointer::Default);
    // Leaving the routine ends its trapped failures.
    s_->err_.Clear();
    return {};
}

bool ScanControl::SaveImage2AsJpeg(const std::string& path) {
    bool saved = false;
    CDIBSection dib(s_->ports_.clipboard, s_->ports_.host);
    s_->err_.Step([&] { dib.CreateFromPicture(s_->image2_); });
    s_->err_.Step([&] {
        if (!s_->ports_.jpeg) {
            throw VbError(err::kJpegLibrary, "Folioray2.mIntelJPEGLibrary",
                          "No JPEG library is available");
        }
        saved = SaveJpegFile(*s_->ports_.jpeg, dib, path, s_->mQuality);
    });
    return saved;
}

void ScanControl::RecordImageFacts(const std::string& path) {
    Host& host = *s_->ports_.host;
    // Image2 takes the picture's natural size in twips; the facts are read back from it.
    s_->err_.Step([&] {
        const float tpx = host.TwipsPerPixelX();
        s_->mImageWidth =
            ToLong(static_cast<double>(static_cast<float>(s_->image2_.width) * tpx) / tpx);
    });
    s_->err_.Step([&] {
        const float tpy = host.TwipsPerPixelY();
        s_->mImageHeight =
            ToLong(static_cast<double>(static_cast<float>(s_->image2_.height) * tpy) / tpy);
    });
    s_->err_.Step([&] {
        const int64_t length = FileLength(path);
        if (length > INT32_MAX) throw VbError(err::kOverflow);
        s_->mImageSize = static_cast<int32_t>(length);
    });
    s_->err_.Step([&] {
        s_->mImageInfo = "Dimensions : " + FormatNumber(s_->mImageWidth, "#####0") + " x " +
                         FormatNumber(s_->mImageHeight, "#######0") +
                         "\r\nSize : " + FormatNumber(s_->mImageSize, "###,###,###,###,##0") +
                         " bytes\r\nType : JPG";
    });
}

}  // namespace folioray
