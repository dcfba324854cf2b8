#pragma once
// Starts a program in its own session without a shell, so that it neither waits on nor
// is reaped by the caller and never lingers as a zombie.
#include <string>

#include "ports/Launcher.h"

namespace folioray {

class PosixLauncher final : public Launcher {
  public:
    bool StartDetached(const std::string& path) override;
    // errno of the last failed start (0 after a success).
    int LastError() const { return lastError_; }

  private:
    int lastError_ = 0;
};

}  // namespace folioray
