#include "imaging/CDIBSection.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "imaging/PictureDib.h"
#include "imaging/Surface.h"
#include "ports/Clipboard.h"
#include "ports/Host.h"
#include "runtime/VbError.h"

namespace folioray {

namespace {

constexpr const char* kNoDibMessage =
    "I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!";
// A message box without a title of its own shows the library's name.
constexpr const char* kDefaultTitle = "Folioray2";

}  // namespace

CDIBSection::CDIBSection(Clipboard* clipboard, Host* host) : clipboard_(clipboard), host_(host) {}

CDIBSection::~CDIBSection() {
    ClearUp();
}

bool CDIBSection::CopyToClipboard(bool bAsDIB) {
    // There is no screen to be compatible with: the second memory DC stands alone.
    const intptr_t memDc = gdi::CreateCompatibleDC(0);
    if (!memDc) return false;
    bool result = false;
    if (bAsDIB) {
        if (host_) host_->MsgBox(kNoDibMessage, kDefaultTitle, MsgBoxIcon::None);
    } else if (hdc_ && clipboard_) {
        // An empty object has no picture to offer; it does not put a blank one there.
        const intptr_t bitmap = gdi::CreateCompatibleBitmap(memDc, Width(), Height());
        if (bitmap) {
            const intptr_t old = gdi::SelectObject(memDc, bitmap);
            PaintPicture(memDc, 0, 0, -1, -1, 0, 0, gdi::SRCCOPY);
            gdi::SelectObject(memDc, old);
            gdi::BitmapInfo info;
            if (gdi::GetBitmap(bitmap, info)) {
                try {
                    std::vector<uint8_t> dib =
                        MakeDib(info.width, info.height, info.stride, info.bits);
                    clipboard_->Clear();
                    clipboard_->SetDib(std::move(dib));
                    result = true;
                } catch (const std::exception&) {
                    // Clipboard busy or refusing: the result stays false.
                }
            }
            // The clipboard keeps its own copy of the bytes.
            gdi::DeleteObject(bitmap);
        }
    }
    gdi::DeleteDC(memDc);
    return result;
}

bool CDIBSection::CreateDIB(intptr_t, int32_t lWidth, int32_t lHeight, intptr_t& hDib) {
    WriteHeader(lWidth, lHeight);
    hDib = gdi::CreateDIBSection(lWidth, lHeight, &bits_);
    if (hDib) created_.push_back(hDib);
    return hDib != 0;
}

void CDIBSection::WriteHeader(int32_t lWidth, int32_t lHeight) {
    header_.biSize = 40;
    header_.biWidth = lWidth;
    header_.biHeight = lHeight;
    header_.biPlanes = 1;
    header_.biBitCount = 24;
    header_.biCompression = 0;
    header_.biXPelsPerMeter = 0;
    header_.biYPelsPerMeter = 0;
    const int64_t sizeImage = int64_t{header_.biHeight} * BytesPerScanLine();
    if (sizeImage > INT32_MAX || sizeImage < INT32_MIN) throw VbError(err::kOverflow);
    header_.biSizeImage = static_cast<int32_t>(sizeImage);
}

bool CDIBSection::CreateShared(const Picture& picture) {
    ClearUp();
    WriteHeader(picture.width, picture.height);
    const intptr_t view = gdi::CreateSharedBitmap(picture.width, picture.height, picture.Pixels(),
                                                  picture.PixelBytes(), picture.shared);
    if (!view) return false;
    hdc_ = gdi::CreateCompatibleDC(0);
    if (!hdc_) {
        gdi::DeleteObject(view);
        return false;
    }
    created_.push_back(view);
    hDib_ = view;
    hBmpOld_ = gdi::SelectObject(hdc_, view);
    bits_ = const_cast<uint8_t*>(picture.Pixels());  // read only while shared_
    shared_ = true;
    return true;
}

void CDIBSection::Unshare() const {
    if (!shared_) return;
    shared_ = false;
    uint8_t* own = nullptr;
    const intptr_t copy = gdi::CreateDIBSection(Width(), Height(), &own);
    const intptr_t view = hDib_;
    if (copy) {
        std::memcpy(own, bits_, static_cast<size_t>(BytesPerScanLine()) * Height());
        created_.push_back(copy);
    }
    // Without memory for the copy the object is left without pixels, never writable shared ones.
    gdi::SelectObject(hdc_, copy ? copy : hBmpOld_);
    gdi::DeleteObject(view);
    created_.erase(std::find(created_.begin(), created_.end(), view));
    hDib_ = copy;
    bits_ = own;
}

Variant CDIBSection::CreateFromPicture(const Picture& picThis) {
    if (picThis.shared && !picThis.Empty()) {
        try {
            if (CreateShared(picThis)) {
                header_.biXPelsPerMeter = picThis.xPelsPerMeter;
                header_.biYPelsPerMeter = picThis.yPelsPerMeter;
                return Variant();
            }
        } catch (const VbError&) {
            return Variant();  // silent, as below
        }
    }
    gdi::PictureDC source(picThis);
    // Anything that is not a usable bitmap reads as a zero-sized one.
    const int32_t width = source.hdc() ? picThis.width : 0;
    const int32_t height = source.hdc() ? picThis.height : 0;
    try {
        if (!Create(width, height)) return Variant();
    } catch (const VbError&) {
        return Variant();  // silent: the caller sees an empty object
    }
    LoadPictureBlt(source.hdc(), 0, 0, -1, -1, gdi::SRCCOPY);
    header_.biXPelsPerMeter = picThis.xPelsPerMeter;
    header_.biYPelsPerMeter = picThis.yPelsPerMeter;
    return Variant();
}

bool CDIBSection::Create(int32_t lWidth, int32_t lHeight) {
    ClearUp();
    hdc_ = gdi::CreateCompatibleDC(0);
    if (!hdc_) return false;
    bool created = false;
    try {
        created = CreateDIB(hdc_, lWidth, lHeight, hDib_);
    } catch (...) {
        gdi::DeleteDC(hdc_);
        hdc_ = 0;
        throw;
    }
    if (created) {
        hBmpOld_ = gdi::SelectObject(hdc_, hDib_);
        return true;
    }
    gdi::DeleteDC(hdc_);
    hdc_ = 0;
    return false;
}

int32_t CDIBSection::BytesPerScanLine() const {
    const int64_t bytes = int64_t{header_.biWidth} * 3 + 3;
    if (bytes > INT32_MAX || bytes < INT32_MIN) throw VbError(err::kOverflow);
    return static_cast<int32_t>(bytes) & ~3;
}

void CDIBSection::LoadPictureBlt(intptr_t lhDC, int32_t lSrcLeft, int32_t lSrcTop,
                                 int32_t lSrcWidth, int32_t lSrcHeight, uint32_t eRop) {
    Unshare();
    const int32_t w = lSrcWidth >= 0 ? lSrcWidth : Width();
    const int32_t h = lSrcHeight >= 0 ? lSrcHeight : Height();
    gdi::BitBlt(hdc_, 0, 0, w, h, lhDC, lSrcLeft, lSrcTop, eRop);
}

void CDIBSection::PaintPicture(intptr_t lhDC, int32_t lDestLeft, int32_t lDestTop,
                               int32_t lDestWidth, int32_t lDestHeight, int32_t lSrcLeft,
                               int32_t lSrcTop, uint32_t eRop) {
    const int32_t w = lDestWidth >= 0 ? lDestWidth : Width();
    const int32_t h = lDestHeight >= 0 ? lDestHeight : Height();
    gdi::BitBlt(lhDC, lDestLeft, lDestTop, w, h, hdc_, lSrcLeft, lSrcTop, eRop);
}

void CDIBSection::ClearUp() {
    if (hdc_) {
        if (hDib_) gdi::SelectObject(hdc_, hBmpOld_);
        gdi::DeleteDC(hdc_);
    }
    for (intptr_t h : created_) gdi::DeleteObject(h);
    created_.clear();
    hdc_ = 0;
    hDib_ = 0;
    hBmpOld_ = 0;
    bits_ = nullptr;
    shared_ = false;
}

}  // namespace folioray
