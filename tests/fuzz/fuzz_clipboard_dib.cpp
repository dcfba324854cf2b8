// Clipboard DIBs from anywhere: each is either a picture whose every row is complete, or
// error 481 (or 7 for a picture too large to hold). Reads past the bytes given are found
// by AddressSanitizer, since the input buffer is exactly as long as the data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "runtime/ClipboardDib.h"
#include "runtime/VbError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using folioray::VbError;
    namespace err = folioray::err;
    try {
        const folioray::Picture p = folioray::PictureFromDib(data, size);
        if (!p.isBitmap || p.width <= 0 || p.height <= 0 ||
            p.bits.size() != static_cast<size_t>(p.Stride()) * static_cast<size_t>(p.height)) {
            std::abort();
        }
        // A layout that parses gives its pixel offset inside the bytes.
        if (folioray::PackedDibBitsOffset(data, size) > size) std::abort();
    } catch (const VbError& e) {
        if (e.Number() != err::kInvalidPicture && e.Number() != err::kOutOfMemory) std::abort();
    }
    // The bitmap-file form, with the pixel offset taken from the input's first bytes.
    if (size >= 2) {
        const size_t offset = (size_t{data[0]} | (size_t{data[1]} << 8)) % (size + 8);
        try {
            (void)folioray::PictureFromDib(data + 2, size - 2, offset);
        } catch (const VbError& e) {
            if (e.Number() != err::kInvalidPicture && e.Number() != err::kOutOfMemory) std::abort();
        }
    }
    return 0;
}
