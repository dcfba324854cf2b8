#include "apps/folioray/PictureFile.h"

#include <png.h>
#include <turbojpeg.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "runtime/ClipboardDib.h"
#include "runtime/JfifDensity.h"
#include "runtime/VbError.h"

namespace folioray {

namespace {

constexpr size_t kMaxFileBytes = size_t{1} << 30;

[[noreturn]] void Bad(const std::string& why) {
    throw std::runtime_error(why);
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) Bad("cannot open the file");
    f.seekg(0, std::ios::end);
    const std::streamoff length = f.tellg();
    if (length < 0 || static_cast<uint64_t>(length) > kMaxFileBytes) Bad("the file is too large");
    f.seekg(0);
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    if (length > 0 && !f.read(reinterpret_cast<char*>(bytes.data()), length)) {
        Bad("cannot read the file");
    }
    return bytes;
}

uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

std::vector<uint8_t> DibOfPicture(const Picture& p) {
    std::vector<uint8_t> dib = MakeDib(p);
    if (dib.empty()) Bad("the picture is too large");
    return dib;
}

// The file's DIB as a packed one: header, masks and colour table, then the pixels.
std::vector<uint8_t> DibOfBmp(const std::vector<uint8_t>& file) {
    if (file.size() < 18) Bad("the bitmap file is truncated");
    const uint8_t* dib = file.data() + 14;
    const size_t dibSize = file.size() - 14;
    const uint32_t offBits = U32(file.data() + 10);
    size_t natural = 0;
    try {
        natural = PackedDibBitsOffset(dib, dibSize);
    } catch (const VbError&) {
        // Not a DIB the paste accepts: hand it over as it is and let the paste say so.
        return {dib, dib + dibSize};
    }
    if (offBits < 14 || offBits - 14 == natural || offBits > file.size()) {
        return {dib, dib + dibSize};
    }
    // A gap between the colour table and the pixels: close it.
    std::vector<uint8_t> packed(dib, dib + natural);
    packed.insert(packed.end(), file.begin() + offBits, file.end());
    return packed;
}

std::vector<uint8_t> DibOfJpeg(const std::vector<uint8_t>& file, uint64_t maxPixels) {
    std::unique_ptr<void, int (*)(tjhandle)> tj(tjInitDecompress(), tjDestroy);
    if (!tj) Bad("the JPEG decoder cannot start");
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    if (tjDecompressHeader3(tj.get(), file.data(), static_cast<unsigned long>(file.size()), &width,
                            &height, &subsamp, &colorspace) != 0) {
        Bad(std::string("not a JPEG the decoder reads: ") + tjGetErrorStr2(tj.get()));
    }
    if (width <= 0 || height <= 0 || static_cast<uint64_t>(width) * height > maxPixels) {
        Bad("the picture is too large");
    }
    Picture p;
    p.isBitmap = true;
    p.width = width;
    p.height = height;
    p.bits.resize(static_cast<size_t>(p.Stride()) * height);
    if (tjDecompress2(tj.get(), file.data(), static_cast<unsigned long>(file.size()), p.bits.data(),
                      width, p.Stride(), height, TJPF_BGR, TJFLAG_BOTTOMUP) != 0) {
        Bad(std::string("the JPEG cannot be decoded: ") + tjGetErrorStr2(tj.get()));
    }
    double dpiX = 0, dpiY = 0;
    if (GetJfifDpi(file.data(), file.size(), dpiX, dpiY)) {
        p.xPelsPerMeter = PelsPerMeterFromDpi(dpiX);
        p.yPelsPerMeter = PelsPerMeterFromDpi(dpiY);
    }
    return DibOfPicture(p);
}

std::vector<uint8_t> DibOfPng(const std::vector<uint8_t>& file, uint64_t maxPixels) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
        Bad(std::string("not a PNG the decoder reads: ") + image.message);
    }
    image.format = PNG_FORMAT_BGR;
    if (image.width == 0 || image.height == 0 ||
        static_cast<uint64_t>(image.width) * image.height > maxPixels) {
        png_image_free(&image);
        Bad("the picture is too large");
    }
    Picture p;
    p.isBitmap = true;
    p.width = static_cast<int32_t>(image.width);
    p.height = static_cast<int32_t>(image.height);
    p.bits.resize(static_cast<size_t>(p.Stride()) * p.height);
    // A negative stride makes libpng write the rows bottom-up, as the DIB keeps them.
    png_color background{255, 255, 255};
    if (!png_image_finish_read(&image, &background, p.bits.data(), -p.Stride(), nullptr)) {
        const std::string why = image.message;
        png_image_free(&image);
        Bad("the PNG cannot be decoded: " + why);
    }
    return DibOfPicture(p);
}

// Skips white space and comments between PNM header fields; reads one decimal number.
uint64_t PnmNumber(const uint8_t* data, size_t size, size_t& at) {
    for (;;) {
        while (at < size && std::isspace(data[at])) ++at;
        if (at < size && data[at] == '#') {
            while (at < size && data[at] != '\n') ++at;
            continue;
        }
        break;
    }
    if (at >= size || !std::isdigit(data[at])) Bad("the PNM header is malformed");
    uint64_t v = 0;
    while (at < size && std::isdigit(data[at])) {
        v = v * 10 + (data[at++] - '0');
        if (v > UINT32_MAX) Bad("the PNM header is malformed");
    }
    return v;
}

}  // namespace

Picture PictureFromPnm(const uint8_t* data, size_t size, uint64_t maxPixels) {
    if (size < 3 || data[0] != 'P' || (data[1] != '4' && data[1] != '5' && data[1] != '6')) {
        Bad("not a binary PNM file");
    }
    const char kind = static_cast<char>(data[1]);
    size_t at = 2;
    const uint64_t width = PnmNumber(data, size, at);
    const uint64_t height = PnmNumber(data, size, at);
    const uint64_t maxval = kind == '4' ? 1 : PnmNumber(data, size, at);
    if (at >= size || !std::isspace(data[at])) Bad("the PNM header is malformed");
    ++at;  // exactly one white-space byte before the samples
    if (width == 0 || height == 0 || maxval == 0 || maxval > 65535)
        Bad("the PNM header is malformed");
    if (width > maxPixels / height) Bad("the picture is too large");
    const uint64_t channels = kind == '6' ? 3 : 1;
    const uint64_t bytesPerSample = maxval > 255 ? 2 : 1;
    const uint64_t rowBytes = kind == '4' ? (width + 7) / 8 : width * channels * bytesPerSample;
    if (height > (size - at) / rowBytes) Bad("the PNM file is truncated");

    Picture p;
    p.isBitmap = true;
    p.width = static_cast<int32_t>(width);
    p.height = static_cast<int32_t>(height);
    const size_t stride = static_cast<size_t>(p.Stride());
    p.bits.assign(stride * height, 0);
    auto sample = [&](const uint8_t* s) -> uint8_t {
        const uint64_t v = bytesPerSample == 2 ? (uint64_t{s[0]} << 8) | s[1] : s[0];
        return static_cast<uint8_t>((v * 255 + maxval / 2) / maxval);
    };
    for (uint64_t y = 0; y < height; ++y) {
        const uint8_t* row = data + at + y * rowBytes;
        uint8_t* d = p.bits.data() + (height - 1 - y) * stride;  // PNM is top-down
        for (uint64_t x = 0; x < width; ++x) {
            uint8_t r, g, b;
            if (kind == '4') {
                r = g = b = ((row[x / 8] >> (7 - x % 8)) & 1) ? 0 : 255;  // 1 is black
            } else if (kind == '5') {
                r = g = b = sample(row + x * bytesPerSample);
            } else {
                r = sample(row + (x * 3) * bytesPerSample);
                g = sample(row + (x * 3 + 1) * bytesPerSample);
                b = sample(row + (x * 3 + 2) * bytesPerSample);
            }
            d[x * 3] = b;
            d[x * 3 + 1] = g;
            d[x * 3 + 2] = r;
        }
    }
    return p;
}

std::vector<uint8_t> ClipboardDibFromFile(const std::string& path) {
    return ClipboardDibFromBytes(ReadAll(path));
}

std::vector<uint8_t> ClipboardDibFromBytes(const std::vector<uint8_t>& file, uint64_t maxPixels) {
    auto starts = [&](std::initializer_list<uint8_t> magic) {
        return file.size() >= magic.size() && std::equal(magic.begin(), magic.end(), file.begin());
    };
    if (starts({'B', 'M'})) return DibOfBmp(file);
    if (starts({0xFF, 0xD8, 0xFF})) return DibOfJpeg(file, maxPixels);
    if (starts({0x89, 'P', 'N', 'G'})) return DibOfPng(file, maxPixels);
    if (starts({'P'})) return DibOfPicture(PictureFromPnm(file.data(), file.size(), maxPixels));
    Bad("not a BMP, PNG, JPEG or PNM file");
}

}  // namespace folioray
