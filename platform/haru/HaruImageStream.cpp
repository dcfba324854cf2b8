#include "platform/haru/HaruImageStream.h"
#include "platform/haru/Factory.h"

#include <fcntl.h>
#include <hpdf.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>

#include "ports/ObjectRegistry.h"
#include "runtime/FileOps.h"
#include "runtime/JfifDensity.h"
#include "runtime/VbError.h"

namespace folioray {

namespace {

constexpr double kMaxPageSide = 14400;  // points; the largest page PDF readers accept
constexpr double kMinPageSide = 3;

[[noreturn]] void Fail(const std::string& what) {
    throw VbError(err::kInvalidProcedureCall, "Image.Stream", what);
}

void NeedArgs(const std::vector<std::string>& args, size_t n) {
    if (args.size() != n) throw VbError(450);  // wrong number of arguments
}

// The JFIF resolution in dots per inch, or 72 (one point a pixel) when the file names none.
std::pair<double, double> JfifDpi(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    uint8_t head[18] = {};
    double x = 0, y = 0;
    if (!f.read(reinterpret_cast<char*>(head), sizeof head) ||
        !GetJfifDpi(head, sizeof head, x, y)) {
        return {72, 72};
    }
    return {x, y};
}

struct HaruErrors {
    HPDF_STATUS first = HPDF_OK;
    HPDF_STATUS detail = 0;
};

void OnHaruError(HPDF_STATUS error, HPDF_STATUS detail, void* user) {
    auto* e = static_cast<HaruErrors*>(user);
    if (e->first == HPDF_OK) {
        e->first = error;
        e->detail = detail;
    }
}

std::string HaruText(const HaruErrors& e) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "libharu error 0x%04X (detail %u)",
                  static_cast<unsigned>(e.first), static_cast<unsigned>(e.detail));
    return buf;
}

}  // namespace

void WriteJpegAsPdf(const PdfFromJpeg& job) {
    if (job.jpegPath.empty() || job.pdfPath.empty()) Fail("no picture or no output named");
    HaruErrors errors;
    std::unique_ptr<std::remove_pointer_t<HPDF_Doc>, void (*)(HPDF_Doc)> pdf(
        HPDF_New(OnHaruError, &errors), HPDF_Free);
    if (!pdf) throw VbError(err::kOutOfMemory);
    auto check = [&](bool ok) {
        if (!ok || errors.first != HPDF_OK) Fail(HaruText(errors));
    };

    HPDF_Image image = HPDF_LoadJpegImageFromFile(pdf.get(), job.jpegPath.c_str());
    check(image != nullptr);
    const double px = HPDF_Image_GetWidth(image);
    const double py = HPDF_Image_GetHeight(image);
    check(px > 0 && py > 0);
    const auto [dpiX, dpiY] = JfifDpi(job.jpegPath);
    const double scale = job.scalePercent / 100.0;
    double w = px * 72.0 / dpiX * scale;
    double h = py * 72.0 / dpiY * scale;
    // Too large a page shrinks as a whole; too small a side is merely widened.
    const double shrink = std::min(1.0, kMaxPageSide / std::max(w, h));
    w = std::max(kMinPageSide, w * shrink);
    h = std::max(kMinPageSide, h * shrink);

    HPDF_Page page = HPDF_AddPage(pdf.get());
    check(page != nullptr);
    check(HPDF_Page_SetWidth(page, static_cast<HPDF_REAL>(w)) == HPDF_OK);
    check(HPDF_Page_SetHeight(page, static_cast<HPDF_REAL>(h)) == HPDF_OK);
    check(HPDF_Page_DrawImage(page, image, 0, 0, static_cast<HPDF_REAL>(w),
                              static_cast<HPDF_REAL>(h)) == HPDF_OK);
    auto info = [&](HPDF_InfoType type, const std::string& value) {
        if (!value.empty()) check(HPDF_SetInfoAttr(pdf.get(), type, value.c_str()) == HPDF_OK);
    };
    info(HPDF_INFO_TITLE, job.title);
    info(HPDF_INFO_AUTHOR, job.author);
    info(HPDF_INFO_CREATOR, job.creator);

    // Made in memory and written by us: libharu's own file writer loses the error of its
    // last flush, which left a cut-off PDF passing for a finished one on a full disk.
    if (HPDF_SaveToStream(pdf.get()) != HPDF_OK || errors.first != HPDF_OK) Fail(HaruText(errors));
    std::vector<HPDF_BYTE> bytes(HPDF_GetStreamSize(pdf.get()));
    size_t done = 0;
    HPDF_STATUS read = HPDF_ResetStream(pdf.get());
    while (read == HPDF_OK && done < bytes.size()) {
        HPDF_UINT32 got = static_cast<HPDF_UINT32>(bytes.size() - done);
        read = HPDF_ReadFromStream(pdf.get(), bytes.data() + done, &got);
        done += got;
        if (read == HPDF_STREAM_EOF) read = HPDF_OK;
        if (got == 0) break;
    }
    if (bytes.empty() || done != bytes.size()) Fail("libharu gave back a short PDF");
    if (const int e = ReplaceFileWith(job.pdfPath, bytes.data(), bytes.size())) {
        ThrowFileError(e, job.pdfPath);
    }
}

void HaruImageStream::Invoke(int32_t dispid, const std::vector<std::string>& args) {
    switch (dispid) {
        case 20: {
            NeedArgs(args, 1);
            std::string line = args[0];
            if (!line.empty() && line[0] == '@') {
                std::ifstream f(line.substr(1), std::ios::binary);
                if (!f) throw VbError(err::kFileNotFound);
                std::getline(f, line);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                // The caption never holds a comma; the path may.
                const size_t comma = line.rfind(',');
                if (comma != std::string::npos) {
                    caption_ = line.substr(comma + 1);
                    line.erase(comma);
                }
            }
            job_.jpegPath = line;
            return;
        }
        case 22:
            NeedArgs(args, 1);
            job_.pdfPath = args[0];
            return;
        case 8:
            NeedArgs(args, 1);
            titleTemplate_ = args[0];
            return;
        case 36:
            NeedArgs(args, 1);
            job_.author = args[0];
            return;
        case 17:
            NeedArgs(args, 1);
            job_.creator = args[0];
            return;
        case 23: {
            NeedArgs(args, 1);
            char* end = nullptr;
            const long v = std::strtol(args[0].c_str(), &end, 10);
            if (args[0].empty() || *end != '\0' || v < 1 || v > 1000) {
                throw VbError(err::kInvalidProcedureCall);
            }
            job_.scalePercent = static_cast<double>(v);
            return;
        }
        case 25:
        case 5:
        case 15:
        case 13:
        case 34:
            return;
        case 0: {
            NeedArgs(args, 0);
            PdfFromJpeg job = job_;
            job.title.clear();
            for (size_t i = 0; i < titleTemplate_.size(); ++i) {
                if (titleTemplate_[i] == '%' && i + 1 < titleTemplate_.size()) {
                    const char c = titleTemplate_[i + 1];
                    if (c == 'f' || c == '%') {
                        job.title += c == 'f' ? caption_ : "%";
                        ++i;
                        continue;
                    }
                }
                job.title += titleTemplate_[i];
            }
            WriteJpegAsPdf(job);
            return;
        }
        default:
            throw VbError(err::kNotSupported);
    }
}

void RegisterImageStream(ObjectRegistry& registry) {
    registry.Register(kImageStreamProgId, [] { return std::make_unique<HaruImageStream>(); });
}

}  // namespace folioray

void folioray_haru_register_objects(folioray::ObjectRegistry& registry) {
    folioray::RegisterImageStream(registry);
}
