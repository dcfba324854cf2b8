#pragma once
// The objects a host offers by ProgID. Hosts register the real makers at start-up (the
// libharu "Image.Stream" from platform/haru); tests register stand-ins or leave a ProgID out.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "folioray2/core_export.h"
#include "ports/ObjectFactory.h"
#include "runtime/Text.h"
#include "runtime/VbError.h"

namespace folioray {

class FOLIORAY_CORE_EXPORT ObjectRegistry : public ObjectFactory {
  public:
    using Maker = std::function<std::unique_ptr<Dispatch>()>;

    // Replaces an earlier maker of the same ProgID (ProgIDs compare without case).
    void Register(const std::string& progId, Maker maker) {
        makers_[ToLower(progId)] = std::move(maker);
    }
    void Unregister(const std::string& progId) { makers_.erase(ToLower(progId)); }
    bool IsRegistered(const std::string& progId) const {
        return makers_.count(ToLower(progId)) != 0;
    }

    // VbError 429 when the ProgID is unknown or its maker gives nothing.
    std::unique_ptr<Dispatch> CreateObject(const std::string& progId) override {
        auto it = makers_.find(ToLower(progId));
        if (it == makers_.end() || !it->second) throw VbError(err::kCantCreateObject);
        std::unique_ptr<Dispatch> object = it->second();
        if (!object) throw VbError(err::kCantCreateObject);
        return object;
    }

  private:
    std::map<std::string, Maker> makers_;  // keyed by the lower-case ProgID
};

}  // namespace folioray
