#pragma once
// "Image.Stream", the PDF translation object, over libharu: one JPEG becomes a one-page
// PDF. The JPEG goes in as it is (DCT, not decoded or re-encoded) and the page takes the
// picture's size (its JFIF resolution when it names one, else one point per pixel).
//
// Dispatch identifiers:
//   20  source: "@FILE" reads FILE's first line, "IMAGE,CAPTION"; anything else is IMAGE
//   22  output PDF path
//    8  title; "%f" stands for the caption ("%%" for a percent sign)
//   36  author          17  creator
//   23  page scale in percent of the picture's size (1..1000)
//    0  convert: the PDF exists at the output path when, and only when, this succeeds
//   25, 5, 15, 13, 34  layout switches that a one-picture page does not need; accepted
#include <cstdint>
#include <string>
#include <vector>

#include "ports/ObjectFactory.h"

namespace folioray {

class ObjectRegistry;

inline constexpr const char* kImageStreamProgId = "Image.Stream";

struct PdfFromJpeg {
    std::string jpegPath;
    std::string pdfPath;
    std::string title;
    std::string author;
    std::string creator;
    double scalePercent = 100;
};

// Writes the PDF whole or not at all; throws VbError when it cannot.
void WriteJpegAsPdf(const PdfFromJpeg& job);

class HaruImageStream : public Dispatch {
  public:
    void Invoke(int32_t dispid, const std::vector<std::string>& args) override;

  private:
    PdfFromJpeg job_;
    std::string caption_;
    std::string titleTemplate_;
};

// Registers HaruImageStream under kImageStreamProgId.
void RegisterImageStream(ObjectRegistry& registry);

}  // namespace folioray
