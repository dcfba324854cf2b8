#pragma once
// The system clipboard through QClipboard: any picture another program copied reads
// as a 24-bit DIB; a DIB written here is offered to other programs as an image.
#include "ports/Clipboard.h"

namespace folioray {

class QtClipboard final : public Clipboard {
  public:
    void Clear() override;
    std::optional<std::vector<uint8_t>> GetDib() override;
    void SetDib(std::vector<uint8_t> dib) override;
    std::optional<std::string> GetText() override;
    void SetText(const std::string& text) override;
};

}  // namespace folioray
