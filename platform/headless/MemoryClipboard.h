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
    std::optional<std::vector<uint8_t>> GetDib() override { return dib_; }
    void SetDib(std::vector<uint8_t> dib) override { dib_ = std::move(dib); }
    std::optional<std::string> GetText() override { return text_; }
    void SetText(const std::string& text) override { text_ = text; }

    int clears = 0;

  private:
    std::optional<std::vector<uint8_t>> dib_;
    std::optional<std::string> text_;
};

}  // namespace folioray
