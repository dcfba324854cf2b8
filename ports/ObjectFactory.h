#pragma once
// Outside automation objects created by ProgID and driven through dispatch identifiers.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "folioray2/core_export.h"

namespace folioray {

// One created object. Every argument travels as a string; a failing call throws VbError.
class FOLIORAY_CORE_EXPORT Dispatch {
  public:
    virtual ~Dispatch() = default;
    virtual void Invoke(int32_t dispid, const std::vector<std::string>& args) = 0;
};

class FOLIORAY_CORE_EXPORT ObjectFactory {
  public:
    virtual ~ObjectFactory() = default;
    // Throws VbError 429 when nothing is registered under `progId`.
    virtual std::unique_ptr<Dispatch> CreateObject(const std::string& progId) = 0;
};

}  // namespace folioray
