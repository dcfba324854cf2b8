#pragma once
// Assembles the frames a SANE device sends into one 24-bit DIB (BITMAPINFOHEADER and
// bottom-up rows), trusting the bytes received over the parameters announced: short
// data leaves white rows, surplus data adds rows, an unknown line count is fine.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace folioray::sane {

enum class FrameFormat { Gray, Rgb, Red, Green, Blue };

// SANE_Parameters, as the device announced them after sane_start.
struct FrameParams {
    FrameFormat format = FrameFormat::Gray;
    bool lastFrame = true;
    int32_t bytesPerLine = 0;
    int32_t pixelsPerLine = 0;
    int32_t lines = -1;  // < 0: unknown until the data ends
    int32_t depth = 8;
};

// A device sent something that cannot become a picture.
class FrameError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class FrameAssembler {
  public:
    // `maxPixels` bounds the picture (and so the bytes accepted) whatever the device claims.
    explicit FrameAssembler(uint64_t maxPixels);

    void BeginFrame(const FrameParams& params);
    void Append(const uint8_t* data, size_t length);
    void EndFrame();

    // True once one grey or colour frame, or all three colour planes, have ended.
    bool Complete() const;
    // Bytes still expected in the current frame and in total (0 when unknown).
    uint64_t BytesReceived() const { return received_; }
    uint64_t BytesExpected() const { return expected_; }

    // The picture; `dotsPerInch` fills the header's resolution (0: unknown).
    std::vector<uint8_t> MakeDib(double dotsPerInch) const;

  private:
    struct Frame {
        FrameParams params;
        int32_t width = 0;  // pixels that fit in a line
        std::vector<uint8_t> bytes;
        bool ended = false;
    };
    uint8_t Sample(const Frame& f, uint64_t row, uint64_t x, int channel) const;

    uint64_t maxPixels_;
    uint64_t maxBytes_ = 0;
    uint64_t received_ = 0;
    uint64_t expected_ = 0;
    std::vector<Frame> frames_;
};

}  // namespace folioray::sane
