#include "imaging/Surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace folioray::gdi {

namespace {

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};

struct Bitmap {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    std::unique_ptr<uint8_t, FreeDeleter> owned;  // null for a view of a picture
    std::shared_ptr<const void> sharedOwner;      // keeps a shared view's rows alive
    uint8_t* bits = nullptr;
    bool writable = true;
    bool stock = false;
    intptr_t selectedIn = 0;
};

struct Dc {
    intptr_t bitmap = 0;
};

class Table {
  public:
    static Table& Instance() {
        static Table table;
        return table;
    }

    std::mutex mutex;
    std::unordered_map<intptr_t, Bitmap> bitmaps;
    std::unordered_map<intptr_t, Dc> dcs;
    intptr_t stock = 0;

    // Steps of 4 so that a handle never looks like a small count or a boolean.
    intptr_t NewHandle() { return next_ += 4; }

    Bitmap* FindBitmap(intptr_t h) {
        auto it = bitmaps.find(h);
        return it == bitmaps.end() ? nullptr : &it->second;
    }
    Dc* FindDc(intptr_t h) {
        auto it = dcs.find(h);
        return it == dcs.end() ? nullptr : &it->second;
    }

  private:
    Table() {
        // The 1x1 bitmap a new memory device context holds; it cannot be drawn into.
        Bitmap b;
        b.width = b.height = 1;
        b.stride = 4;
        b.owned.reset(static_cast<uint8_t*>(std::calloc(1, 4)));
        b.bits = b.owned.get();
        b.writable = false;
        b.stock = true;
        stock = NewHandle();
        bitmaps.emplace(stock, std::move(b));
    }
    intptr_t next_ = 0x10000;
};

intptr_t AddBitmap(Table& t, Bitmap b) {
    intptr_t h = t.NewHandle();
    t.bitmaps.emplace(h, std::move(b));
    return h;
}

intptr_t NewDibLocked(Table& t, int32_t width, int32_t height, uint8_t** bits) {
    if (bits) *bits = nullptr;
    if (width <= 0 || height <= 0) return 0;
    int64_t stride = Stride24(width);
    if (stride < 0) return 0;
    int64_t size = stride * height;
    if (size > kMaxBitmapBytes) return 0;
    // calloc: big blocks come as fresh zero pages, so no second pass to clear them.
    auto* p = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size), 1));
    if (!p) return 0;
    Bitmap b;
    b.width = width;
    b.height = height;
    b.stride = static_cast<int32_t>(stride);
    b.owned.reset(p);
    b.bits = p;
    if (bits) *bits = p;
    return AddBitmap(t, std::move(b));
}

// Result bytes of a raster operation whose pattern is all ones; index = S * 2 + D.
struct RopMasks {
    uint8_t m[4];
    bool readsSource;
};

RopMasks MasksOf(uint32_t rop) {
    unsigned nibble = (rop >> 20) & 0xF;
    RopMasks r{};
    for (int i = 0; i < 4; ++i) r.m[i] = ((nibble >> i) & 1) ? 0xFF : 0x00;
    r.readsSource = (nibble & 3) != ((nibble >> 2) & 3);
    return r;
}

inline uint8_t ApplyRop(const RopMasks& r, uint8_t s, uint8_t d) {
    uint8_t ns = static_cast<uint8_t>(~s);
    uint8_t nd = static_cast<uint8_t>(~d);
    return static_cast<uint8_t>((ns & nd & r.m[0]) | (ns & d & r.m[1]) | (s & nd & r.m[2]) |
                                (s & d & r.m[3]));
}

}  // namespace

int64_t Stride24(int64_t width) {
    int64_t s = (width * 3 + 3) & ~int64_t{3};
    if (width < 0 || s > INT32_MAX) return -1;
    return s;
}

intptr_t CreateDIBSection(int32_t width, int32_t height, uint8_t** bits) {
    Table& t = Table::Instance();
    std::lock_guard<std::mutex> lock(t.mutex);
    return NewDibLocked(t, width, height, bits);
}

intptr_t CreateSharedBitmap(int32_t width, int32_t height, const uint8_t* bits, size_t bytes,
                            std::shared_ptr<const void> owner) {
    if (!bits || width <= 0 || height <= 0) return 0;
    const int64_t stride = Stride24(width);
    if (stride < 0 || stride * height > kMaxBitmapBytes ||
        static_cast<uint64_t>(stride * height) > bytes) {
        return 0;
    }
    Bitmap b;
    b.width = width;
    b.height = height;
    b.stride = static_cast<int32_t>(stride);
    b.bits = const_cast<uint8_t*>(bits);  // never written: BitBlt refuses it as a target
    b.writable = false;
    b.sharedOwner = std::move(owner);
    Table& t = Table::Instance();
    std::lock_guard<std::mutex> lock(t.mutex);
    return AddBitmap(t, std::move(b));
}

intptr_t CreateCompatibleBitmap(intptr_t, int32_t width, int32_t height) {
    return CreateDIBSection(width, height, nullptr);
}

intptr_t CreateCompatibleDC(intptr_t) {
    Table& t = Table::Instance();
    std::lock_guard<std::mutex> lock(t.mutex);
    intptr_t h = t.NewHandle();
    t.dcs.emplace(h, Dc{t.stock});
    return h;
}

bool DeleteDC(intptr_t hdc) {
    Table& t = Table::Instance();
    std::lock_guard<std::mutex> lock(t.mutex);
    Dc* dc = t.FindDc(hdc);
    if (!dc) return false;
    if (Bitmap* b = t.FindBitmap(dc->bitmap); b && !b->stock) b->selectedIn = 0;
    t.dcs.erase(hdc);
    return true;
}

intptr_t SelectObject(intptr_t hdc, intptr_t hbm) {
    Table& t = Table::Instance();
    std::lock_guard<std::mutex> lock(t.mutex);
    Dc* dc = t.FindDc(hdc);
    Bitmap* b = t.FindBitmap(hbm);
    if (!dc || !b) return 0;
    if (!b->stock && b->selectedIn != 0 && b->selectedIn != hdc) return 0;
    intptr_t previous = dc->bitmap;
    if (Bitmap* p = t.FindBitmap(previous); p && !p->stock) p->selectedIn = 0;
    dc->bitmap = hbm;
    if (!b->stock) b->selectedIn = hdc;
    return previous;
}

bool DeleteObject(intptr_t hbm) {
    Table& t = Table::Instance();
    std::lock_guard<std::mutex> lock(t.mutex);
    Bitmap* b = t.FindBitmap(hbm);
    if (!b) return false;
    if (b->stock) return true;
    if (b->selectedIn != 0) return false;
    t.bitmaps.erase(hbm);
    return true;
}

intptr_t GetCurrentBitmap(intptr_t hdc) {
    Table& t = Table::Instance();
    std::lock_guard<std::mutex> lock(t.mutex);
    Dc* dc = t.FindDc(hdc);
    return dc ? dc->bitmap : 0;
}

bool GetBitmap(intptr_t hbm, BitmapInfo& info) {
    Table& t = Table::Instance();
    std::lock_guard<std::mutex> lock(t.mutex);
    Bitmap* b = t.FindBitmap(hbm);
    if (!b) return false;
    info = BitmapInfo{b->width, b->height, b->stride, b->bits};
    return true;
}

bool BitBlt(intptr_t dst, int32_t x, int32_t y, int32_t w, int32_t h, intptr_t src, int32_t sx,
            int32_t sy, uint32_t rop) {
    Table& t = Table::Instance();
    std::lock_guard<std::mutex> lock(t.mutex);
    Dc* ddc = t.FindDc(dst);
    if (!ddc) return false;
    Bitmap* db = t.FindBitmap(ddc->bitmap);
    if (!db || !db->writable) return false;
    const RopMasks masks = MasksOf(rop);
    Bitmap* sb = nullptr;
    if (masks.readsSource) {
        Dc* sdc = t.FindDc(src);
        if (!sdc) return false;
        sb = t.FindBitmap(sdc->bitmap);
        if (!sb) return false;
    }

    // Clip in 64 bits so that no sum of 32-bit arguments can wrap.
    int64_t x0 = x, y0 = y, sx0 = sx, sy0 = sy, ww = w, hh = h;
    if (ww <= 0 || hh <= 0) return true;
    if (x0 < 0) {
        sx0 -= x0;
        ww += x0;
        x0 = 0;
    }
    if (y0 < 0) {
        sy0 -= y0;
        hh += y0;
        y0 = 0;
    }
    ww = std::min(ww, int64_t{db->width} - x0);
    hh = std::min(hh, int64_t{db->height} - y0);
    if (sb) {
        if (sx0 < 0) {
            x0 -= sx0;
            ww += sx0;
            sx0 = 0;
        }
        if (sy0 < 0) {
            y0 -= sy0;
            hh += sy0;
            sy0 = 0;
        }
        ww = std::min(ww, int64_t{sb->width} - sx0);
        hh = std::min(hh, int64_t{sb->height} - sy0);
    }
    if (ww <= 0 || hh <= 0) return true;

    const size_t rowBytes = static_cast<size_t>(ww) * 3;
    auto dstRow = [&](int64_t i) {
        return db->bits + (db->height - 1 - (y0 + i)) * db->stride + x0 * 3;
    };
    // Rows of the source, taken aside first when it overlaps the destination.
    std::vector<uint8_t> aside;
    auto srcRow = [&](int64_t i) -> const uint8_t* {
        if (!aside.empty()) return aside.data() + static_cast<size_t>(i) * rowBytes;
        return sb->bits + (sb->height - 1 - (sy0 + i)) * sb->stride + sx0 * 3;
    };
    if (sb && sb->bits == db->bits) {
        std::vector<uint8_t> copy(rowBytes * static_cast<size_t>(hh));
        for (int64_t i = 0; i < hh; ++i) {
            std::memcpy(copy.data() + static_cast<size_t>(i) * rowBytes, srcRow(i), rowBytes);
        }
        aside = std::move(copy);
    }

    if ((rop >> 16 & 0xFF) == (SRCCOPY >> 16 & 0xFF)) {
        for (int64_t i = 0; i < hh; ++i) std::memcpy(dstRow(i), srcRow(i), rowBytes);
        return true;
    }
    for (int64_t i = 0; i < hh; ++i) {
        uint8_t* d = dstRow(i);
        const uint8_t* s = sb ? srcRow(i) : nullptr;
        for (size_t k = 0; k < rowBytes; ++k) d[k] = ApplyRop(masks, s ? s[k] : 0, d[k]);
    }
    return true;
}

size_t LiveObjects() {
    Table& t = Table::Instance();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.bitmaps.size() - 1 + t.dcs.size();
}

PictureDC::PictureDC(Picture& picture) {
    Open(picture, true);
}
PictureDC::PictureDC(const Picture& picture) {
    Open(picture, false);
}

void PictureDC::Open(const Picture& picture, bool writable) {
    if (!picture.isBitmap || picture.width <= 0 || picture.height <= 0) return;
    int64_t stride = Stride24(picture.width);
    if (stride < 0 || stride * picture.height > static_cast<int64_t>(picture.PixelBytes())) return;
    Bitmap b;
    b.width = picture.width;
    b.height = picture.height;
    b.stride = static_cast<int32_t>(stride);
    // Read-only views never write through this pointer (BitBlt refuses them as targets).
    b.bits = const_cast<uint8_t*>(picture.Pixels());
    b.writable = writable && !picture.shared;
    {
        Table& t = Table::Instance();
        std::lock_guard<std::mutex> lock(t.mutex);
        hbm_ = AddBitmap(t, std::move(b));
    }
    hdc_ = CreateCompatibleDC(0);
    old_ = SelectObject(hdc_, hbm_);
}

PictureDC::~PictureDC() {
    if (hdc_) {
        SelectObject(hdc_, old_);
        DeleteDC(hdc_);
    }
    if (hbm_) DeleteObject(hbm_);
}

}  // namespace folioray::gdi
