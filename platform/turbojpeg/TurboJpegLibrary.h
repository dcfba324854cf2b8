#pragma once
// The JPEG library port over libjpeg-turbo's TurboJPEG API. The pixels are compressed
// straight from DIBBytes (no copy); the file is only created once the compressed image
// is complete, and removed again when it cannot be written whole.
#include <memory>

#include "platform/turbojpeg/JpegAhead.h"
#include "ports/JpegLibrary.h"

namespace folioray {

class TurboJpegLibrary : public JpegLibrary {
  public:
    // Defaults: 3-channel BGR input, YCbCr output with 2x2 chroma subsampling, quality 75.
    int ijlInit(JPEG_CORE_PROPERTIES* jcprops) override;
    // Quality 0 is taken as 1, the lowest the encoder has.
    int ijlWrite(JPEG_CORE_PROPERTIES* jcprops, int ioType) override;
    int ijlFree(JPEG_CORE_PROPERTIES* jcprops) override;
    // TurboJPEG's message for an encoder failure, the system's for a file that could not
    // be written.
    std::string LastErrorText() const override { return lastError_; }
    void ExpectPage(int32_t quality) noexcept override { ahead_->Expect(quality); }
    // Where a scanner compresses the expected page as it reads it.
    const std::shared_ptr<JpegAhead>& Ahead() const { return ahead_; }

  private:
    std::string lastError_;
    std::shared_ptr<JpegAhead> ahead_ = std::make_shared<JpegAhead>();
};

}  // namespace folioray
