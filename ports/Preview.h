#pragma once
// The preview display control. Its events (error, activation, mouse button) come back
// into the control through ScanControl::Image1_* handlers.
#include <string>

#include "folioray2/core_export.h"
#include "ports/Picture.h"

namespace folioray {

class FOLIORAY_CORE_EXPORT Preview {
  public:
    virtual ~Preview() = default;
    // The default property write: load and show this image file.
    virtual void Load(const std::string& path) = 0;
    // The shown image (an empty picture before anything was loaded).
    virtual Picture PreviewPicture() = 0;
    virtual void SetPreviewEnabled(bool enabled) = 0;
    virtual void SetFocus() = 0;
};

}  // namespace folioray
