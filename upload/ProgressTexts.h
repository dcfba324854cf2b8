#pragma once
// The texts of the upload progress display. Events come four times per kilobyte, so a
// text is built again only when the rounded number it shows changes, into storage that
// is reused. The locale's group separator is read once until the next Reset.
#include <cstdint>
#include <string>

namespace folioray {

class ProgressTexts {
  public:
    // "Uploaded A of B KB", A and B in kilobytes with the locale's group separator.
    const std::string& ToolTip(int32_t current, int32_t total);
    // "P%", P the rounded percentage.
    const std::string& Percent(int32_t current, int32_t total);
    void Reset() { *this = ProgressTexts(); }

  private:
    bool tipValid_ = false, pctValid_ = false, sepRead_ = false;
    int64_t tipA_ = 0, tipB_ = 0;
    double pctP_ = 0;
    std::string sep_, tail_, tip_, pct_;  // tail_: " of B KB"
};

}  // namespace folioray
