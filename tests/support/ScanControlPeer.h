#pragma once
// Reaches into a ScanControl to give it state that other stages produce (an acquired
// picture and its facts), so later stages can be tested on their own.
#include <string>

#include "control/ScanControlState.h"

namespace folioray {

class ScanControlTestPeer {
  public:
    // As after a stored image: the facts text and Image2 holding a picture of this size.
    static void SetAcquiredImage(ScanControl& c, int32_t width, int32_t height) {
        c.s_->mImageInfo = "Dimensions : " + std::to_string(width) + " x " + std::to_string(height);
        c.s_->image2_ = Picture{};
        c.s_->image2_.isBitmap = true;
        c.s_->image2_.width = width;
        c.s_->image2_.height = height;
        c.s_->image2_.bits.assign(static_cast<size_t>(c.s_->image2_.Stride()) * height, 0);
    }
};

}  // namespace folioray
