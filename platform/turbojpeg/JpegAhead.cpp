#include "platform/turbojpeg/JpegAhead.h"

// jpeglib.h needs FILE and size_t declared first.
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <utility>
// clang-format off
#include <jpeglib.h>
// clang-format on
#include <turbojpeg.h>

namespace folioray {

namespace {

struct ErrorExit {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void JumpOut(j_common_ptr c) {
    std::longjmp(reinterpret_cast<ErrorExit*>(c->err)->jump, 1);
}

// TurboJPEG reads these to change how it compresses; a page made ahead would then differ.
bool TurboJpegTuned() {
    for (const char* name : {"TJ_OPTIMIZE", "TJ_ARITHMETIC", "TJ_RESTART", "TJ_PROGRESSIVE"}) {
        if (const char* v = std::getenv(name); v && *v) return true;
    }
    return false;
}

}  // namespace

JpegAhead::Bytes::Bytes(Bytes&& o) noexcept : data(o.data), size(o.size) {
    o.data = nullptr;
    o.size = 0;
}

JpegAhead::Bytes& JpegAhead::Bytes::operator=(Bytes&& o) noexcept {
    if (this != &o) {
        tjFree(data);
        data = o.data;
        size = o.size;
        o.data = nullptr;
        o.size = 0;
    }
    return *this;
}

JpegAhead::Bytes::~Bytes() {
    tjFree(data);
}

// The libjpeg calls sit in functions without destructible locals: a failure leaves them
// by longjmp.
struct JpegAhead::Page::State {
    jpeg_compress_struct cinfo{};
    ErrorExit error{};
    bool created = false;
    bool failed = false;
    int quality = 0;
    int32_t width = 0;
    JSAMPROW row = nullptr;
    Bytes out;

    bool Start(int32_t height) {
        cinfo.err = jpeg_std_error(&error.mgr);
        error.mgr.error_exit = JumpOut;
        if (setjmp(error.jump)) return false;
        jpeg_create_compress(&cinfo);
        created = true;
        // The bound is never outgrown, so libjpeg keeps the buffer it was given; only the
        // pages it writes are touched.
        out.size = tjBufSize(width, height, TJSAMP_420);
        if (out.size == static_cast<unsigned long>(-1) || out.size > INT_MAX) return false;
        out.data = tjAlloc(static_cast<int>(out.size));
        if (!out.data) return false;
        jpeg_mem_dest(&cinfo, &out.data, &out.size);
        cinfo.image_width = static_cast<JDIMENSION>(width);
        cinfo.image_height = static_cast<JDIMENSION>(height);
        cinfo.in_color_space = JCS_EXT_BGR;
        cinfo.input_components = 3;
        // What tjCompress2 sets for 4:2:0 from BGR.
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, quality, TRUE);
        cinfo.dct_method = quality >= 96 ? JDCT_ISLOW : JDCT_FASTEST;
        jpeg_set_colorspace(&cinfo, JCS_YCbCr);
        cinfo.comp_info[0].h_samp_factor = 2;
        cinfo.comp_info[0].v_samp_factor = 2;
        for (int c = 1; c < 3; ++c) {
            cinfo.comp_info[c].h_samp_factor = 1;
            cinfo.comp_info[c].v_samp_factor = 1;
        }
        jpeg_start_compress(&cinfo, TRUE);
        return true;
    }

    bool Write(const uint8_t* bgr) {
        if (setjmp(error.jump)) return false;
        row = const_cast<JSAMPROW>(bgr);  // only read
        jpeg_write_scanlines(&cinfo, &row, 1);
        return true;
    }

    bool End() {
        if (setjmp(error.jump)) return false;
        jpeg_finish_compress(&cinfo);
        return true;
    }

    ~State() {
        if (created) jpeg_destroy_compress(&cinfo);
    }
};

JpegAhead::Page::Page(std::shared_ptr<JpegAhead> store, int quality, int32_t width, int32_t height)
    : store_(std::move(store)), s_(std::make_unique<State>()) {
    s_->quality = quality;
    s_->width = width;
    rows_.resize(static_cast<size_t>(height));
}

JpegAhead::Page::~Page() {
    abandoned_ = true;
    Drain();
}

// On the worker: the lines are compressed while the next ones are read and converted.
void JpegAhead::Page::Compress() {
    // Set up here too, while the scanner's thread already reads.
    s_->failed = !s_->Start(static_cast<int32_t>(rows_.size()));
    size_t done = 0;
    for (;;) {
        const size_t given = given_.load(std::memory_order_acquire);
        for (; done < (given & ~kClosed) && !s_->failed && !abandoned_; ++done) {
            s_->failed = !s_->Write(rows_[done]);
        }
        if (given & kClosed) return;
        given_.wait(given, std::memory_order_acquire);
    }
}

void JpegAhead::Page::Line(const uint8_t* bgr) {
    const size_t given = given_.load(std::memory_order_relaxed);
    if ((given & kClosed) || given >= rows_.size()) return;
    rows_[given] = bgr;
    given_.store(given + 1, std::memory_order_release);
    // Woken for a band of lines, not for each: a wake-up costs more than a line.
    if ((given + 1) % 16 == 0) given_.notify_one();
}

void JpegAhead::Page::Drain() {
    if (given_.fetch_or(kClosed, std::memory_order_release) & kClosed) return;
    given_.notify_one();
    std::unique_lock<std::mutex> lock(store_->mutex_);
    store_->changed_.wait(lock, [&] { return store_->working_ != this; });
}

void JpegAhead::Page::Finish(const std::shared_ptr<const void>& owner, const uint8_t* bits,
                             int64_t stride) {
    Drain();
    if (s_->failed || !s_->End()) return;
    Made made;
    made.owner = owner;
    made.bits = bits;
    made.stride = stride;
    made.width = static_cast<int32_t>(s_->cinfo.image_width);
    made.height = static_cast<int32_t>(s_->cinfo.image_height);
    made.quality = s_->quality;
    made.bytes = std::move(s_->out);
    store_->Keep(std::move(made));
}

JpegAhead::~JpegAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void JpegAhead::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || working_; });
        if (!working_) return;
        Page* page = working_;
        lock.unlock();
        page->Compress();
        lock.lock();
        working_ = nullptr;
        changed_.notify_all();
    }
}

void JpegAhead::Expect(int32_t quality) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    expected_ = quality < 0 || quality > 100 ? -1 : quality < 1 ? 1 : quality;
    made_.reset();
    // Started before the scan opens the device: the scanner counts it among its host's
    // threads, not the device's.
    if (expected_ >= 0 && !worker_.joinable()) {
        try {
            worker_ = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            expected_ = -1;
        }
    }
}

std::unique_ptr<JpegAhead::Page> JpegAhead::Begin(int32_t width, int32_t height) {
    std::unique_ptr<Page> page;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int quality = std::exchange(expected_, -1);
        made_.reset();
        if (quality < 0 || width <= 0 || height <= 0 || !worker_.joinable() || working_ ||
            TurboJpegTuned()) {
            return nullptr;
        }
        page.reset(new Page(shared_from_this(), quality, width, height));
        working_ = page.get();
    }
    changed_.notify_all();
    return page;
}

void JpegAhead::Keep(Made made) {
    std::lock_guard<std::mutex> lock(mutex_);
    made_ = std::make_unique<Made>(std::move(made));
}

bool JpegAhead::Take(const JPEG_CORE_PROPERTIES& p, int pixelFormat, int subsampling, int quality,
                     Bytes& out) {
    std::unique_ptr<Made> made;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        made = std::move(made_);
    }
    // Alive, the rows cannot have been freed and their address given to another picture.
    if (!made || made->owner.expired() || made->bits != p.DIBBytes) return false;
    const int64_t stride = int64_t{p.DIBWidth} * p.DIBChannels + p.DIBPadBytes;
    if (pixelFormat != TJPF_BGR || subsampling != TJSAMP_420 || quality != made->quality ||
        p.DIBWidth != made->width || p.DIBHeight != -int64_t{made->height} ||
        stride != made->stride) {
        return false;
    }
    out = std::move(made->bytes);
    return true;
}

}  // namespace folioray
