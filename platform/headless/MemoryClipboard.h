#pragma once
// A clipboard held in memory: the headless host's and the tests'.
#include "ports/Clipboard.h"

namespace folioray {

class MemoryClipboard : public Clipboard {
  public:
    void Clear() override {
        dib_.reset();
        text_.reset();
        ++clears;
    }
    std::optional<std::vector<uint8_t>> GetDib() override {
        if (!dib_) return std::nullopt;
        return *dib_;
    }
    void SetDib(std::vector<uint8_t> dib) override {
        dib_ = std::make_shared<const std::vector<uint8_t>>(std::move(dib));
    }
    void SetSharedDib(std::shared_ptr<const std::vector<uint8_t>> dib) override {
        dib_ = std::move(dib);
    }
    bool SharesDib() const override { return true; }
    std::shared_ptr<const std::vector<uint8_t>> GetSharedDib() override { return dib_; }
    std::optional<std::string> GetText() override { return text_; }
    void SetText(const std::string& text) override { text_ = text; }

    int clears = 0;

  private:
    std::shared_ptr<const std::vector<uint8_t>> dib_;
    std::optional<std::string> text_;
};

}  // namespace folioray
