#pragma once
// One 24-bit device-independent bitmap with its own memory device context (handles of
// imaging/Surface.h). Rows bottom-up, blue, green, red, each row padded to 4 bytes.
#include <cstdint>
#include <memory>
#include <vector>

#include "ports/Picture.h"
#include "runtime/Variant.h"

namespace folioray {

class Clipboard;
class Host;

class CDIBSection {
  public:
    // The BITMAPINFO header CreateDIB fills (no colour table follows it).
    struct BitmapInfoHeader {
        uint32_t biSize = 0;
        int32_t biWidth = 0;
        int32_t biHeight = 0;
        uint16_t biPlanes = 0;
        uint16_t biBitCount = 0;
        uint32_t biCompression = 0;
        int32_t biSizeImage = 0;
        int32_t biXPelsPerMeter = 0;
        int32_t biYPelsPerMeter = 0;
        uint32_t biClrUsed = 0;
        uint32_t biClrImportant = 0;
    };

    // The clipboard takes CopyToClipboard's bitmap; the host shows its message. Either
    // may be null (CopyToClipboard then fails quietly).
    explicit CDIBSection(Clipboard* clipboard = nullptr, Host* host = nullptr);
    ~CDIBSection();
    CDIBSection(const CDIBSection&) = delete;
    CDIBSection& operator=(const CDIBSection&) = delete;

    bool CopyToClipboard(bool bAsDIB = true);
    // The new DIB section belongs to this object and is deleted by ClearUp, but only
    // Create selects it into the object's device context.
    bool CreateDIB(intptr_t lhDC, int32_t lWidth, int32_t lHeight, intptr_t& hDib);
    // A picture whose rows are shared (Picture::shared) is not copied: the object reads
    // them in place until something may write to it, and takes its own copy then.
    Variant CreateFromPicture(const Picture& picThis);
    bool Create(int32_t lWidth, int32_t lHeight);
    int32_t BytesPerScanLine() const;  // VbError 6 when it does not fit in 32 bits
    int32_t Width() const { return header_.biWidth; }
    int32_t Height() const { return header_.biHeight; }
    void LoadPictureBlt(intptr_t lhDC, int32_t lSrcLeft = 0, int32_t lSrcTop = 0,
                        int32_t lSrcWidth = -1, int32_t lSrcHeight = -1, uint32_t eRop = 0xCC0020);
    void PaintPicture(intptr_t lhDC, int32_t lDestLeft = 0, int32_t lDestTop = 0,
                      int32_t lDestWidth = -1, int32_t lDestHeight = -1, int32_t lSrcLeft = 0,
                      int32_t lSrcTop = 0, uint32_t eRop = 0xCC0020);
    // Handles and the pointer can be written through, so they end any sharing first.
    intptr_t hdc() const {
        Unshare();
        return hdc_;
    }
    intptr_t hDib() const {
        Unshare();
        return hDib_;
    }
    uint8_t* DIBSectionBitsPtr() const {
        Unshare();
        return bits_;
    }
    // The rows for reading only: shared ones stay shared.
    const uint8_t* Bits() const { return bits_; }
    void RandomiseBits(bool bGray = false);
    void ClearUp();
    // A new object of lNewWidth x lNewHeight, bilinear; null when that size cannot be
    // created. VbError 9 when a source row or column has no neighbour to read.
    std::unique_ptr<CDIBSection> Resample(int32_t lNewHeight, int32_t lNewWidth) const;

    // Not part of the published interface: the header as CreateDIB last wrote it.
    const BitmapInfoHeader& Header() const { return header_; }

  private:
    void ResampleInto(CDIBSection& dest) const;
    void WriteHeader(int32_t lWidth, int32_t lHeight);
    bool CreateShared(const Picture& picture);
    void Unshare() const;

    Clipboard* clipboard_;
    Host* host_;
    BitmapInfoHeader header_;
    intptr_t hdc_ = 0;
    // Changed by Unshare, which the const accessors call.
    mutable intptr_t hDib_ = 0;
    intptr_t hBmpOld_ = 0;
    mutable uint8_t* bits_ = nullptr;
    mutable bool shared_ = false;            // bits_ are a picture's shared rows
    mutable std::vector<intptr_t> created_;  // every DIB section made, until ClearUp
};

}  // namespace folioray
