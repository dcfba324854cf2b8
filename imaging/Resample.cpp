// Resampling and random fill. Built with -ffp-contract=off: the interpolation must round
// every product and sum on its own, as plain double arithmetic does.
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "imaging/CDIBSection.h"
#include "imaging/Surface.h"
#include "runtime/Format.h"
#include "runtime/VbError.h"

namespace folioray {

namespace {

// Nearest integer, ties to even, for |v| < 2^51: adding 1.5 * 2^52 leaves no fraction
// bits, so the FPU's round-to-nearest-even does the work.
inline double NearestEven(double v) {
#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ == 0
    constexpr double kShift = 6755399441055744.0;
    return (v + kShift) - kShift;
#else
    return std::nearbyint(v);
#endif
}

inline uint8_t Clamp255(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

[[noreturn]] void ThrowRange() {
    throw VbError(err::kSubscriptOutOfRange);
}

}  // namespace

std::unique_ptr<CDIBSection> CDIBSection::Resample(int32_t lNewHeight, int32_t lNewWidth) const {
    auto dest = std::make_unique<CDIBSection>(clipboard_, host_);
    if (!dest->Create(lNewWidth, lNewHeight)) return nullptr;
    if (lNewWidth == Width() && lNewHeight == Height()) {
        dest->LoadPictureBlt(hdc_, 0, 0, -1, -1, gdi::SRCCOPY);
    } else {
        ResampleInto(*dest);
    }
    return dest;
}

void CDIBSection::ResampleInto(CDIBSection& dest) const {
    const int32_t sw = Width();
    const int32_t sh = Height();
    const int32_t dw = dest.Width();
    const int32_t dh = dest.Height();
    if (dw <= 0 || dh <= 0) return;
    // An empty source has no bytes at all, so its first read is already out of range.
    if (!bits_ || !dest.bits_) ThrowRange();
    const int64_t srcStride = BytesPerScanLine();
    const int64_t dstStride = dest.BytesPerScanLine();

    const float xScale = static_cast<float>(static_cast<double>(int64_t{sw} - 1) / dw);
    const float yScale = static_cast<float>(static_cast<double>(int64_t{sh} - 1) / dh);

    // fx, xi and dx depend on the column only: work them out once per call. The reads
    // of a row then stay inside it when the rightmost one does (xi never decreases).
    std::vector<int64_t> colOffset(static_cast<size_t>(dw));
    std::vector<double> colFrac(static_cast<size_t>(dw));
    for (int32_t x = 0; x < dw; ++x) {
        const float fx = static_cast<float>(static_cast<double>(xScale) * x);
        const double xi = std::floor(fx);
        const float dx = static_cast<float>(fx - xi);
        colOffset[static_cast<size_t>(x)] = static_cast<int64_t>(xi) * 3;
        colFrac[static_cast<size_t>(x)] = dx;
    }
    if (colOffset.back() + 5 >= srcStride) ThrowRange();

    const uint8_t* const src = bits_;
    uint8_t* const dst = dest.bits_;
    double lower[256];
    double upper[256];
    for (int32_t y = 0; y < dh; ++y) {
        const float fy = static_cast<float>(static_cast<double>(yScale) * y);
        const double yiD = std::floor(fy);
        const float dyF = static_cast<float>(fy - yiD);
        const int64_t yi = static_cast<int64_t>(yiD);
        if (yi + 1 >= sh) ThrowRange();  // the row above does not exist

        const uint8_t* const r0 = src + yi * srcStride;
        const uint8_t* const r1 = r0 + srcStride;
        // (1 - dy) * v and dy * v for every byte value v: the same double products the
        // row pass would form pixel by pixel, looked up instead of multiplied.
        const double dy = dyF;
        const double ry = 1.0 - dy;
        for (int v = 0; v < 256; ++v) {
            lower[v] = ry * v;
            upper[v] = dy * v;
        }
        uint8_t* const out = dst + int64_t{y} * dstStride;
        for (int32_t x = 0; x < dw; ++x) {
            const uint8_t* const a = r0 + colOffset[static_cast<size_t>(x)];
            const uint8_t* const c = r1 + colOffset[static_cast<size_t>(x)];
            const double dx = colFrac[static_cast<size_t>(x)];
            const double rx = 1.0 - dx;
            uint8_t* const px = out + int64_t{x} * 3;
            for (int k = 0; k < 3; ++k) {
                const double left = NearestEven(lower[a[k]] + upper[c[k]]);
                const double right = NearestEven(lower[a[k + 3]] + upper[c[k + 3]]);
                px[k] = Clamp255(NearestEven(rx * left + dx * right));
            }
        }
    }
}

void CDIBSection::RandomiseBits(bool bGray) {
    Unshare();
    std::mt19937 generator(
        static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    // 32 random bits scaled into [0, 1); 1.0 itself can never come out.
    auto random = [&generator] { return generator() * (1.0 / 4294967296.0); };
    auto level = [&random] { return static_cast<uint8_t>(RoundHalfEven(random() * 255.0)); };

    const int64_t xEnd64 = (int64_t{Width()} - 1) * 3;
    if (xEnd64 > INT32_MAX || xEnd64 < INT32_MIN) throw VbError(err::kOverflow);
    const int32_t xEnd = static_cast<int32_t>(xEnd64);
    const int32_t height = Height();
    if (xEnd < 0 || height <= 0) return;
    if (!bits_) ThrowRange();
    const int64_t stride = BytesPerScanLine();

    if (!bGray) {
        for (int32_t x = 0; x <= xEnd; x += 3) {
            for (int32_t y = 0; y < height; ++y) {
                uint8_t* p = bits_ + y * stride + x;
                p[0] = 0;
                p[1] = level();
                p[2] = level();
            }
        }
    } else {
        for (int32_t y = 0; y < height; ++y) {
            uint8_t* row = bits_ + y * stride;
            for (int32_t x = 0; x <= xEnd; x += 3) {
                const uint8_t v = level();
                row[x] = v;
                row[x + 1] = v;
                row[x + 2] = v;
            }
        }
    }
}

}  // namespace folioray
