#pragma once
// The continue-on-error state: a failing step is skipped and remembered here,
// and fixed checks later turn it into a message.
#include <cstdint>
#include <functional>
#include <string>

#include "folioray2/core_export.h"

namespace folioray {

class FOLIORAY_CORE_EXPORT PendingError {
  public:
    bool IsSet() const { return number_ != 0; }
    int32_t Number() const { return number_; }
    const std::string& Description() const { return description_; }
    const std::string& Source() const { return source_; }

    // A later failure replaces an earlier one.
    void Set(int32_t number, std::string description = {}, std::string source = {});
    void Clear();

    // Runs one step; a failure it throws becomes the pending error and is not rethrown.
    // Returns true when the step completed.
    bool Step(const std::function<void()>& step);

  private:
    int32_t number_ = 0;
    std::string description_;
    std::string source_;
};

}  // namespace folioray
