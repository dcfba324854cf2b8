#pragma once
// Compresses a scanned page line by line while the device still sends the next lines, on a
// worker thread, with the settings TurboJPEG would use: the write that follows finds the
// JPEG made, byte for byte the one it would have made from the finished page. Reading and
// compressing overlap, on two cores, and each line is compressed soon after it was written.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
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

    JpegAhead() = default;
    ~JpegAhead();
    JpegAhead(const JpegAhead&) = delete;
    JpegAhead& operator=(const JpegAhead&) = delete;

    // One page, fed from one thread and compressed on the worker.
    class Page {
      public:
        ~Page();
        Page(const Page&) = delete;
        Page& operator=(const Page&) = delete;
        // Top line first. The line is read where it lies, later: it must stay there until
        // Drain, Finish or the end of the page.
        void Line(const uint8_t* bgr);
        // Returns once every line given has been read.
        void Drain();
        // Every line was given. The JPEG is kept for the write while `owner` keeps the rows
        // alive at `bits`, bottom-up and `stride` bytes apart.
        void Finish(const std::shared_ptr<const void>& owner, const uint8_t* bits, int64_t stride);

      private:
        friend class JpegAhead;
        struct State;
        Page(std::shared_ptr<JpegAhead> store, int quality, int32_t width, int32_t height);
        void Compress();
        static constexpr size_t kClosed = ~(~size_t{0} >> 1);  // in given_: no more lines
        std::shared_ptr<JpegAhead> store_;
        std::unique_ptr<State> s_;
        std::vector<const uint8_t*> rows_;
        std::atomic<size_t> given_{0};
        std::atomic<bool> abandoned_{false};
    };

    // The next scanned page will be written at this quality.
    void Expect(int32_t quality) noexcept;
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
    void Work();

    std::mutex mutex_;
    std::condition_variable changed_;  // a page to compress, or one compressed
    int expected_ = -1;
    std::unique_ptr<Made> made_;
    Page* working_ = nullptr;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace folioray
