// The Info command: the facts of the latest stored image.
#include "control/ScanControlState.h"
#include "ports/Host.h"

namespace folioray {

void ScanControl::InfoCommand() {
    if (s_->mImageInfo.empty()) {
        s_->ports_.host->Beep();
        return;
    }
    s_->ports_.host->MsgBox("The current image information is as follows:\r\n\r\n" + s_->mImageInfo,
                            "Current Image Settings", MsgBoxIcon::Information);
    FocusPreview();
}

}  // namespace folioray
