// UploadFile and its progress display.
#include "control/ScanControl.h"
#include "upload/cFTP.h"

namespace folioray {

std::string ScanControl::UploadFile(const Variant&, const Variant&, const Variant&, const Variant&,
                                    const Variant&, const Variant&) {
    if (mCurrentName.empty()) {
        return "No data has been acquired. As a result, there is nothing to upload.";
    }
    return "Could not create FTP Object (not available in this build)";
}

void ScanControl::mFTP_FileTransferProgress(int32_t&, int32_t&) {}

}  // namespace folioray
