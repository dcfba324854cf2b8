#pragma once
// A preview that remembers what it was told; it shows nothing.
#include <string>

#include "ports/Preview.h"

namespace folioray {

class HeadlessPreview : public Preview {
  public:
    void Load(const std::string& path) override {
        loaded = path;
        ++loads;
    }
    Picture PreviewPicture() override { return picture; }
    void SetPreviewEnabled(bool e) override { enabled = e; }
    void SetFocus() override { ++focusCount; }

    std::string loaded;
    int loads = 0;
    Picture picture;  // what PreviewPicture returns
    bool enabled = true;
    int focusCount = 0;
};

}  // namespace folioray
