// The Info command: the facts of the latest stored image.
#include "control/ScanControl.h"
#include "ports/Host.h"

namespace folioray {

void ScanControl::InfoCommand() {
    if (mImageInfo.empty()) {
        ports_.host->Beep();
        return;
    }
    ports_.host->MsgBox("The current image information is as follows:\r\n\r\n" + mImageInfo,
                        "Current Image Settings", MsgBoxIcon::Information);
    FocusPreview();
}

}  // namespace folioray
