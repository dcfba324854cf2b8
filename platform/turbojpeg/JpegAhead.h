#pragma once
// Compresses a scanned page line by line while the device still sends the next lines, on
// the scanner's thread, with the settings TurboJPEG would use: the write that follows finds
// the JPEG made, byte for byte the one it would have made from the finished page. Each line
// is compressed while it is still in the cache, and the reading and compressing overlap.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "ports/JpegLibrary.h"

namespace folioray {

class JpegAhead : public std::enable_shared_from_this<JpegAhead> {
  public:
    // Compressed bytes, as TurboJPEG hands them out.
    struct Bytes {
        unsigned char* data = nullptr;
        unsigned long size = 0;
        Bytes() = default;
        Bytes(Bytes&& o) noexcept;
        Bytes& operator=(Bytes&& o) noexcept;
        ~Bytes();
    };

    // One page, fed on one thread.
    class Page {
      public:
        ~Page();
        Page(const Page&) = delete;
        Page& operator=(const Page&) = delete;
        void Line(const uint8_t* bgr);  // top line first
        // Every line was given. The JPEG is kept for the write while `owner` keeps the rows
        // alive at `bits`, bottom-up and `stride` bytes apart.
        void Finish(const std::shared_ptr<const void>& owner, const uint8_t* bits, int64_t stride);

      private:
        friend class JpegAhead;
        struct State;
        Page(std::shared_ptr<JpegAhead> store, int quality, int32_t width, int32_t height);
        std::shared_ptr<JpegAhead> store_;
        std::unique_ptr<State> s_;
    };

    // The next scanned page will be written at this quality.
    void Expect(int32_t quality);
    // A page of 24-bit BGR lines, when a write of it is expected; taken by one page only.
    std::unique_ptr<Page> Begin(int32_t width, int32_t height);
    // The JPEG made of exactly these rows with these settings, if there is one. What was
    // made goes with the first write that asks, used or not.
    bool Take(const JPEG_CORE_PROPERTIES& p, int pixelFormat, int subsampling, int quality,
              Bytes& out);

  private:
    struct Made {
        std::weak_ptr<const void> owner;
        const uint8_t* bits = nullptr;
        int64_t stride = 0;
        int32_t width = 0;
        int32_t height = 0;
        int quality = 0;
        Bytes bytes;
    };
    void Keep(Made made);

    std::mutex mutex_;
    int expected_ = -1;
    std::unique_ptr<Made> made_;
};

}  // namespace folioray
