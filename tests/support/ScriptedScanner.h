#pragma once
// A scanner whose outcome the test decides: it puts the DIB it was given on the clipboard,
// or fails, and records what it was asked.
#include <functional>
#include <optional>
#include <vector>

#include "ports/Clipboard.h"
#include "ports/Scanner.h"

namespace folioray {

class ScriptedScanner : public Scanner {
  public:
    explicit ScriptedScanner(Clipboard& clipboard) : clipboard_(clipboard) {}

    int16_t TWAIN_IsAvailable() override {
        ++availabilityChecks;
        return available ? 1 : 0;
    }
    int16_t TWAIN_AcquireToClipboard(intptr_t hwnd, uint32_t pixTypes) override {
        acquisitions.push_back({hwnd, pixTypes});
        if (duringAcquire) duringAcquire();
        if (!acquireResult) return 0;
        if (dib) clipboard_.SetDib(*dib);
        return acquireResult;
    }
    int16_t TWAIN_SelectImageSource(intptr_t hwnd) override {
        selections.push_back(hwnd);
        return selectResult;
    }

    bool available = true;
    int16_t acquireResult = 1;  // 0: nothing acquired
    int16_t selectResult = 1;
    std::optional<std::vector<uint8_t>> dib;  // what a successful acquisition leaves
    std::function<void()> duringAcquire;      // runs inside the blocking call

    struct Acquisition {
        intptr_t hwnd;
        uint32_t pixTypes;
    };
    int availabilityChecks = 0;
    std::vector<Acquisition> acquisitions;
    std::vector<intptr_t> selections;

  private:
    Clipboard& clipboard_;
};

}  // namespace folioray
