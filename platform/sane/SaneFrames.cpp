#include "platform/sane/SaneFrames.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif
#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace folioray::sane {

namespace {

int Channels(FrameFormat f) {
    return f == FrameFormat::Rgb ? 3 : 1;
}

void Put16(std::vector<uint8_t>& v, size_t at, uint16_t x) {
    v[at] = static_cast<uint8_t>(x);
    v[at + 1] = static_cast<uint8_t>(x >> 8);
}
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

void WriteHeader(std::vector<uint8_t>& dib, uint64_t width, uint64_t height, double dotsPerInch) {
    const uint64_t imageBytes = dib.size() - 40;
    Put32(dib, 0, 40);
    Put32(dib, 4, static_cast<uint32_t>(width));
    Put32(dib, 8, static_cast<uint32_t>(height));  // positive: rows bottom-up
    Put16(dib, 12, 1);
    Put16(dib, 14, 24);
    Put32(dib, 16, 0);  // BI_RGB
    Put32(dib, 20, imageBytes <= UINT32_MAX ? static_cast<uint32_t>(imageBytes) : 0);
    const double perMetre = dotsPerInch > 0 ? std::round(dotsPerInch / 0.0254) : 0;
    const uint32_t ppm = perMetre > 0 && perMetre < INT32_MAX ? static_cast<uint32_t>(perMetre) : 0;
    Put32(dib, 24, ppm);
    Put32(dib, 28, ppm);
}

// The line conversion runs once per pixel of every page: 16 bytes at a time where the
// processor can shuffle them. Each returns how many leading pixels it converted; it stops
// while 16 bytes still lie inside both lines, the rest is left to the caller.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
__attribute__((target("ssse3"))) uint64_t RgbToBgrSsse3(const uint8_t* s, uint8_t* d,
                                                        uint64_t width) {
    const __m128i swap = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    uint64_t x = 0;
    // Five pixels a step; the sixteenth byte is the next step's to overwrite.
    for (; (x * 3) + 16 <= width * 3; x += 5) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x * 3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x * 3), _mm_shuffle_epi8(in, swap));
    }
    return x;
}

__attribute__((target("ssse3"))) uint64_t GreyToBgrSsse3(const uint8_t* s, uint8_t* d,
                                                         uint64_t width) {
    const __m128i a = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
    const __m128i b = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
    const __m128i c = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
    uint64_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
        auto* out = reinterpret_cast<__m128i*>(d + x * 3);
        _mm_storeu_si128(out, _mm_shuffle_epi8(in, a));
        _mm_storeu_si128(out + 1, _mm_shuffle_epi8(in, b));
        _mm_storeu_si128(out + 2, _mm_shuffle_epi8(in, c));
    }
    return x;
}

// Asked once, on the first page: __builtin_cpu_supports would bring libgcc's feature probe,
// which runs at every start of every program that loads this library.
bool HaveSsse3() {
    static const bool have = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        return __get_cpuid(1, &a, &b, &c, &d) != 0 && (c & bit_SSSE3) != 0;
    }();
    return have;
}

uint64_t RgbToBgrWide(const uint8_t* s, uint8_t* d, uint64_t width) {
    return HaveSsse3() ? RgbToBgrSsse3(s, d, width) : 0;
}
uint64_t GreyToBgrWide(const uint8_t* s, uint8_t* d, uint64_t width) {
    return HaveSsse3() ? GreyToBgrSsse3(s, d, width) : 0;
}
#else
uint64_t RgbToBgrWide(const uint8_t*, uint8_t*, uint64_t) {
    return 0;
}
uint64_t GreyToBgrWide(const uint8_t*, uint8_t*, uint64_t) {
    return 0;
}
#endif

}  // namespace

// A page is faulted in 4 KiB at a time otherwise: a fault for each, which costs more than
// converting the lines. All of it is mapped in one call instead (Linux 5.14 and later; older
// kernels refuse the advice and fault as before). Huge pages are not asked for: on a virtual
// machine whose host takes back free memory, a free huge page has to come from the host again
// once the machine has idled for a few seconds, which costs more than the whole conversion
// (a 300 dpi page, scans 2.5 s apart: 20.5 ms a page in huge pages, 14.4 ms without).
void AllocatePage(std::vector<uint8_t>& v, size_t size) {
    v.clear();
    v.reserve(size);
#if defined(__linux__)
    constexpr int kPopulateWrite = 23;  // MADV_POPULATE_WRITE, missing from older headers
    const auto start = reinterpret_cast<uintptr_t>(v.data());
    const auto unit = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const uintptr_t first = (start + unit - 1) & ~(unit - 1);
    const uintptr_t last = (start + size) & ~(unit - 1);
    if (last > first) (void)::madvise(reinterpret_cast<void*>(first), last - first, kPopulateWrite);
#endif
    v.resize(size);
}

FrameAssembler::FrameAssembler(uint64_t maxPixels) : maxPixels_(maxPixels) {
    // Six bytes a pixel is the most any frame layout needs (16-bit RGB).
    maxBytes_ = maxPixels_ * 6;
}

void FrameAssembler::BeginFrame(const FrameParams& p) {
    if (p.depth != 1 && p.depth != 8 && p.depth != 16) {
        throw FrameError("unsupported sample depth " + std::to_string(p.depth));
    }
    if (p.bytesPerLine <= 0) throw FrameError("the device announced no bytes per line");
    const bool plane = p.format == FrameFormat::Red || p.format == FrameFormat::Green ||
                       p.format == FrameFormat::Blue;
    for (const Frame& f : frames_) {
        const bool fPlane =
            f.params.format != FrameFormat::Gray && f.params.format != FrameFormat::Rgb;
        if (!plane || !fPlane) throw FrameError("unexpected frame after a complete picture");
        if (f.params.format == p.format) throw FrameError("the same colour plane came twice");
    }
    Frame f;
    f.params = p;
    // Pixels that the line really holds; a pixel count beyond the line is not believed.
    const uint64_t bitsPerPixel = static_cast<uint64_t>(Channels(p.format)) * p.depth;
    const uint64_t fit = static_cast<uint64_t>(p.bytesPerLine) * 8 / bitsPerPixel;
    uint64_t width = p.pixelsPerLine > 0 ? std::min<uint64_t>(p.pixelsPerLine, fit) : fit;
    if (width == 0) throw FrameError("a line holds no whole pixel");
    if (width > maxPixels_) throw FrameError("the picture is too large");
    f.width = static_cast<int32_t>(width);
    direct_ = frames_.empty() && (p.format == FrameFormat::Gray || p.format == FrameFormat::Rgb) &&
              p.depth == 8 && p.lines > 0 && width <= maxPixels_ / static_cast<uint64_t>(p.lines);
    if (direct_) {
        stride_ = (width * 3 + 3) & ~uint64_t{3};
        AllocatePage(dib_, 40 + stride_ * static_cast<uint64_t>(p.lines));
        carry_.reserve(static_cast<size_t>(p.bytesPerLine));
    }
    if (p.lines > 0) {
        const uint64_t announced = static_cast<uint64_t>(p.lines) * p.bytesPerLine;
        // Room for what is announced (a hint only: the data may be shorter or longer).
        if (!direct_ && announced <= maxBytes_ - std::min(maxBytes_, received_)) {
            f.bytes.reserve(static_cast<size_t>(announced));
        }
        expected_ = received_ + announced;
    } else {
        expected_ = 0;
    }
    frames_.push_back(std::move(f));
}

void FrameAssembler::Append(const uint8_t* data, size_t length) {
    if (frames_.empty() || frames_.back().ended) throw FrameError("data outside a frame");
    if (length == 0) return;
    if (received_ + length > maxBytes_) throw FrameError("the picture is too large");
    if (direct_) {
        AppendDirect(data, length);
        received_ += length;
        return;
    }
    Frame& f = frames_.back();
    f.bytes.insert(f.bytes.end(), data, data + length);
    received_ += length;
}

void FrameAssembler::EndFrame() {
    if (frames_.empty()) throw FrameError("no frame to end");
    frames_.back().ended = true;
}

bool FrameAssembler::Complete() const {
    if (frames_.empty() || !frames_.back().ended) return false;
    const FrameFormat first = frames_.front().params.format;
    if (first == FrameFormat::Gray || first == FrameFormat::Rgb) return true;
    return frames_.size() == 3;
}

uint8_t FrameAssembler::Sample(const Frame& f, uint64_t row, uint64_t x, int channel) const {
    const FrameParams& p = f.params;
    const int ch = Channels(p.format);
    const uint64_t sample = x * ch + channel;
    const uint64_t lineStart = row * static_cast<uint64_t>(p.bytesPerLine);
    const size_t n = f.bytes.size();
    // Whatever the device did not send reads as white paper.
    switch (p.depth) {
        case 1: {
            const uint64_t at = lineStart + sample / 8;
            if (at >= n) return 255;
            const bool bit = (f.bytes[at] >> (7 - sample % 8)) & 1;
            // Line art marks black with 1; colour planes mark full intensity with 1.
            if (p.format == FrameFormat::Gray) return bit ? 0 : 255;
            return bit ? 255 : 0;
        }
        case 8: {
            const uint64_t at = lineStart + sample;
            return at < n ? f.bytes[at] : 255;
        }
        default: {
            const uint64_t at = lineStart + sample * 2;
            if (at + 1 >= n) return 255;
            uint16_t v;
            std::memcpy(&v, &f.bytes[at], 2);  // samples come in the host's byte order
            return static_cast<uint8_t>(v >> 8);
        }
    }
}

const uint8_t* FrameAssembler::ConvertLine(const uint8_t* s, size_t bytes, uint64_t row,
                                           uint64_t slots) {
    const Frame& f = frames_.front();
    const auto width = static_cast<uint64_t>(f.width);
    uint8_t* const line = dib_.data() + 40 + (slots - 1 - row) * stride_;
    uint8_t* d = line;
    const bool rgb = f.params.format == FrameFormat::Rgb;
    if (bytes >= width * (rgb ? 3 : 1)) {
        const uint64_t done = rgb ? RgbToBgrWide(s, d, width) : GreyToBgrWide(s, d, width);
        s += done * (rgb ? 3 : 1);
        d += done * 3;
        if (rgb) {
            for (uint64_t x = done; x < width; ++x, s += 3, d += 3) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
            }
        } else {
            for (uint64_t x = 0; x < width - done; ++x, d += 3) d[0] = d[1] = d[2] = s[x];
        }
        return line;
    }
    // A line cut short: whatever the device did not send reads as white paper.
    auto at = [&](uint64_t i) -> uint8_t { return i < bytes ? s[i] : 255; };
    for (uint64_t x = 0; x < width; ++x, d += 3) {
        if (rgb) {
            d[0] = at(x * 3 + 2);
            d[1] = at(x * 3 + 1);
            d[2] = at(x * 3);
        } else {
            d[0] = d[1] = d[2] = at(x);
        }
    }
    return line;
}

void FrameAssembler::Show(const uint8_t* line) {
    // While the line is still in the cache.
    if (show_) show_(line);
    ++shown_;
}

void FrameAssembler::AppendDirect(const uint8_t* data, size_t length) {
    const FrameParams& p = frames_.front().params;
    const auto bpl = static_cast<size_t>(p.bytesPerLine);
    const auto lines = static_cast<uint64_t>(p.lines);
    while (length > 0 && rows_ < lines) {
        if (carry_.empty() && length >= bpl) {
            Show(ConvertLine(data, bpl, rows_++, lines));
            data += bpl;
            length -= bpl;
            continue;
        }
        const size_t take = std::min(length, bpl - carry_.size());
        carry_.insert(carry_.end(), data, data + take);
        data += take;
        length -= take;
        if (carry_.size() == bpl) {
            Show(ConvertLine(carry_.data(), bpl, rows_++, lines));
            carry_.clear();
        }
    }
    surplus_.insert(surplus_.end(), data, data + length);
}

std::vector<uint8_t> FrameAssembler::FinishDirect(double dotsPerInch) {
    const FrameParams& p = frames_.front().params;
    const auto bpl = static_cast<uint64_t>(p.bytesPerLine);
    const auto lines = static_cast<uint64_t>(p.lines);
    const uint64_t height = (received_ + bpl - 1) / bpl;
    const auto width = static_cast<uint64_t>(frames_.front().width);
    if (height == 0) throw FrameError("the device sent no image data");
    if (width > maxPixels_ / height || height > INT32_MAX) {
        throw FrameError("the picture is too large");
    }
    uint8_t* base = dib_.data() + 40;
    if (height <= lines) {
        if (!carry_.empty()) Show(ConvertLine(carry_.data(), carry_.size(), rows_, lines));
        shownWhole_ = shown_ == lines;
        // The lines sit at the end of the announced block; the picture starts there.
        if (height < lines) {
            std::memmove(base, base + (lines - height) * stride_, height * stride_);
            dib_.resize(40 + height * stride_);
        }
    } else {
        // Lines beyond the announced ones go below them, which in a DIB is in front.
        const uint64_t extra = height - lines;
        dib_.resize(40 + height * stride_);
        base = dib_.data() + 40;
        std::memmove(base + extra * stride_, base, lines * stride_);
        for (uint64_t k = 0; k < extra; ++k) {
            const uint64_t at = k * bpl;
            const size_t bytes = static_cast<size_t>(std::min<uint64_t>(bpl, surplus_.size() - at));
            ConvertLine(surplus_.data() + at, bytes, k, extra);
        }
    }
    std::vector<uint8_t> dib = std::move(dib_);
    WriteHeader(dib, width, height, dotsPerInch);
    return dib;
}

std::vector<uint8_t> FrameAssembler::MakeDib(double dotsPerInch) {
    if (!Complete()) throw FrameError("the device ended before the picture was complete");
    if (direct_) return FinishDirect(dotsPerInch);
    uint64_t width = UINT64_MAX;
    uint64_t height = 0;
    for (const Frame& f : frames_) {
        width = std::min<uint64_t>(width, static_cast<uint64_t>(f.width));
        const uint64_t bpl = static_cast<uint64_t>(f.params.bytesPerLine);
        height = std::max<uint64_t>(height, (f.bytes.size() + bpl - 1) / bpl);
    }
    if (height == 0) throw FrameError("the device sent no image data");
    if (width > maxPixels_ / height || height > INT32_MAX) {
        throw FrameError("the picture is too large");
    }
    const uint64_t stride = (width * 3 + 3) & ~uint64_t{3};
    std::vector<uint8_t> dib(40 + stride * height, 0);
    WriteHeader(dib, width, height, dotsPerInch);

    // Which frame and channel give red, green and blue.
    const Frame* source[3] = {nullptr, nullptr, nullptr};
    int channel[3] = {0, 0, 0};
    for (const Frame& f : frames_) {
        switch (f.params.format) {
            case FrameFormat::Gray:
                source[0] = source[1] = source[2] = &f;
                break;
            case FrameFormat::Rgb:
                for (int c = 0; c < 3; ++c) {
                    source[c] = &f;
                    channel[c] = c;
                }
                break;
            case FrameFormat::Red:
                source[0] = &f;
                break;
            case FrameFormat::Green:
                source[1] = &f;
                break;
            case FrameFormat::Blue:
                source[2] = &f;
                break;
        }
    }
    // The common case, one 8-bit frame, row by row; anything else sample by sample.
    const Frame& first = frames_.front();
    const bool oneEightBitFrame = frames_.size() == 1 && first.params.depth == 8;
    const uint64_t bpl = static_cast<uint64_t>(first.params.bytesPerLine);
    for (uint64_t row = 0; row < height; ++row) {
        // The device sends the top line first; the DIB keeps it last.
        uint8_t* d = dib.data() + 40 + (height - 1 - row) * stride;
        if (oneEightBitFrame && (row + 1) * bpl <= first.bytes.size()) {
            const uint8_t* s = first.bytes.data() + row * bpl;
            if (first.params.format == FrameFormat::Rgb) {
                for (uint64_t x = 0; x < width; ++x, s += 3) {
                    d[x * 3] = s[2];
                    d[x * 3 + 1] = s[1];
                    d[x * 3 + 2] = s[0];
                }
            } else {
                for (uint64_t x = 0; x < width; ++x) d[x * 3] = d[x * 3 + 1] = d[x * 3 + 2] = s[x];
            }
            continue;
        }
        for (uint64_t x = 0; x < width; ++x) {
            d[x * 3 + 2] = Sample(*source[0], row, x, channel[0]);
            d[x * 3 + 1] = Sample(*source[1], row, x, channel[1]);
            d[x * 3 + 0] = Sample(*source[2], row, x, channel[2]);
        }
    }
    return dib;
}

}  // namespace folioray::sane
