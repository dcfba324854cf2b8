#pragma once
// Starts a program on its own: the caller does not wait for it and it outlives the caller.
#include <string>

#include "folioray2/core_export.h"

namespace folioray {

class FOLIORAY_CORE_EXPORT Launcher {
  public:
    virtual ~Launcher() = default;
    // `path` names the program file itself (no shell, no arguments). False when it could
    // not be started.
    virtual bool StartDetached(const std::string& path) = 0;
};

}  // namespace folioray
