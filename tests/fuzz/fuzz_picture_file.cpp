// Picture files for --paste-image from anywhere: the loader either gives a DIB or says
// why not; a DIB it decoded itself is one the paste accepts, and one it passed through
// (a BMP file's own) is a picture or error 481/7 at the paste, as the clipboard reader
// allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "apps/folioray/PictureFile.h"
#include "runtime/ClipboardDib.h"
#include "runtime/VbError.h"

namespace {

// Small enough that a header claiming a huge picture costs nothing; large enough for
// every seed.
constexpr uint64_t kMaxPixels = uint64_t{1} << 20;

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using folioray::VbError;
    namespace err = folioray::err;
    const std::vector<uint8_t> file(data, data + size);
    std::vector<uint8_t> dib;
    try {
        dib = folioray::ClipboardDibFromBytes(file, kMaxPixels);
    } catch (const std::runtime_error& e) {
        Check(e.what()[0] != '\0');
        return 0;
    }
    const bool passedThrough = size >= 2 && data[0] == 'B' && data[1] == 'M';
    try {
        const folioray::Picture p = folioray::PictureFromDib(dib);
        Check(p.isBitmap && p.width > 0 && p.height > 0);
        Check(p.bits.size() == static_cast<size_t>(p.Stride()) * static_cast<size_t>(p.height));
        if (!passedThrough) {
            Check(static_cast<uint64_t>(p.width) * static_cast<uint64_t>(p.height) <= kMaxPixels);
        }
    } catch (const VbError& e) {
        Check(passedThrough);
        Check(e.Number() == err::kInvalidPicture || e.Number() == err::kOutOfMemory);
    }
    return 0;
}
