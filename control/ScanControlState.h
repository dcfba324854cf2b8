#pragma once
// The control's state, behind its public class so that a new member changes no host's
// ABI. Only the control's own command files include it.
#include <cstdint>
#include <memory>
#include <string>

#include "control/ChildControls.h"
#include "control/ScanControl.h"
#include "ports/Picture.h"
#include "ports/Ports.h"
#include "runtime/PendingError.h"
#include "upload/ProgressTexts.h"
#include "upload/cFTP.h"

namespace folioray {

struct ScanControl::State {
    explicit State(const Ports& ports) : ports_(ports) {}

    Ports ports_;
    ChildControls kids_;
    PendingError err_;
    Picture image2_;  // Image2: the acquired picture at its natural size
    float extentWidth_ = 0;
    float extentHeight_ = 0;
    int layoutDepth_ = 0;

    // Member state, in declaration order.
    float mMinHeight = 1095;
    float mMinWidth = 1820;
    int16_t mSaveAsPDF = 0;
    int32_t mControlMode = 0;
    std::string mFilePath;
    std::string mImageInfo;
    std::string mCurrentName;
    int32_t mImageWidth = 0;
    int32_t mImageHeight = 0;
    int32_t mImageSize = 0;
    int32_t mQuality = 60;
    int32_t mButtonStyle = 0;
    int32_t mFullScreen = 0;
    std::unique_ptr<cFTP> mFTP;
    ProgressTexts progressTexts_;  // what the progress display shows, kept between events

    // Upload in progress: a second UploadFile started from a pumped message is refused.
    bool uploading_ = false;
    // Timer1's typing run is pumping messages: a tick inside it is held for later.
    bool typing_ = false;
    // A Scan or Paste command is acquiring: one started from a pumped message is refused.
    bool acquiring_ = false;
};

}  // namespace folioray
