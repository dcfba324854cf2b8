#pragma once
// The system clipboard: a device-independent bitmap (BITMAPINFOHEADER, optional masks or
// colour table, then pixels) and text. Failing to open it throws VbError 521.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "folioray2/core_export.h"

namespace folioray {

class FOLIORAY_CORE_EXPORT Clipboard {
  public:
    virtual ~Clipboard() = default;
    virtual void Clear() = 0;
    virtual std::optional<std::vector<uint8_t>> GetDib() = 0;  // nothing when no picture
    virtual void SetDib(std::vector<uint8_t> dib) = 0;
    // A picture its maker goes on sharing; SharesDib: kept as it is, not copied.
    virtual void SetSharedDib(std::shared_ptr<const std::vector<uint8_t>> dib) { SetDib(*dib); }
    virtual bool SharesDib() const { return false; }
    // The same picture without a copy where the clipboard can share its bytes.
    virtual std::shared_ptr<const std::vector<uint8_t>> GetSharedDib() {
        std::optional<std::vector<uint8_t>> dib = GetDib();
        if (!dib) return nullptr;
        return std::make_shared<const std::vector<uint8_t>>(std::move(*dib));
    }
    virtual std::optional<std::string> GetText() = 0;
    virtual void SetText(const std::string& text) = 0;
};

}  // namespace folioray
