// The Scan and Source commands and the acquisition routine.
#include "control/ScanControl.h"
#include "platform/ports/Host.h"

namespace folioray {

void ScanControl::ScanCommand() {
    if (mControlMode == 1) {
        StoreText();
        return;
    }
    // Acquisition is not wired yet: behaves as a system without an acquisition library.
    ports_.host->MsgBox(
        "No TWAIN Compliant Image Source was found on your system. Without a TWAIN Source, this "
        "image scanner cannot be used.",
        "TWAIN Capability not Found", MsgBoxIcon::Exclamation);
    FocusPreview();
}

void ScanControl::SourceCommand() { FocusPreview(); }

std::string ScanControl::AcquireToFile(std::string) { return {}; }
bool ScanControl::SaveImage2AsJpeg(const std::string&) { return false; }
void ScanControl::RecordImageFacts(const std::string&) {}

}  // namespace folioray
