#pragma once
// Assembles the frames a SANE device sends into one 24-bit DIB (BITMAPINFOHEADER and
// bottom-up rows), trusting the bytes received over the parameters announced: short
// data leaves white rows, surplus data adds rows, an unknown line count is fine.
#include <cstddef>
#include <cstdint>
#include <functional>
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

// Makes v `size` zero bytes, in memory taken from the system all at once: how a page is held.
void AllocatePage(std::vector<uint8_t>& v, size_t size);

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

    // The picture, once; `dotsPerInch` fills the header's resolution (0: unknown).
    std::vector<uint8_t> MakeDib(double dotsPerInch);

    // A page whose lines are converted as they arrive (see AppendDirect) can show each of
    // them, top line first as 24-bit BGR, once converted; `width` x `lines` is its size, and
    // its DIB rows are `Stride` bytes apart.
    bool ConvertsAsItArrives() const { return direct_; }
    int32_t Width() const { return frames_.empty() ? 0 : frames_.front().width; }
    int64_t Stride() const { return static_cast<int64_t>(stride_); }
    void ShowLines(std::function<void(const uint8_t* bgr)> show) { show_ = std::move(show); }
    // After MakeDib: the picture is exactly the lines shown, in their order.
    bool ShownWhole() const { return direct_ && shownWhole_; }

  private:
    struct Frame {
        FrameParams params;
        int32_t width = 0;  // pixels that fit in a line
        std::vector<uint8_t> bytes;
        bool ended = false;
    };
    uint8_t Sample(const Frame& f, uint64_t row, uint64_t x, int channel) const;
    // One 8-bit grey or RGB frame of announced size (what nearly every device sends) is
    // turned into the DIB line by line as it arrives: the page is held once, converted once.
    void AppendDirect(const uint8_t* data, size_t length);
    // Returns where the line went.
    const uint8_t* ConvertLine(const uint8_t* line, size_t bytes, uint64_t row, uint64_t slots);
    void Show(const uint8_t* line);
    std::vector<uint8_t> FinishDirect(double dotsPerInch);

    uint64_t maxPixels_;
    uint64_t maxBytes_ = 0;
    uint64_t received_ = 0;
    uint64_t expected_ = 0;
    std::vector<Frame> frames_;
    bool direct_ = false;
    uint64_t stride_ = 0;
    std::vector<uint8_t> dib_;      // header, then the announced lines bottom-up
    std::vector<uint8_t> carry_;    // the start of a line not yet complete
    uint64_t rows_ = 0;             // lines converted into dib_
    std::vector<uint8_t> surplus_;  // bytes beyond the announced lines, as sent
    std::function<void(const uint8_t*)> show_;
    uint64_t shown_ = 0;
    bool shownWhole_ = false;
};

}  // namespace folioray::sane
