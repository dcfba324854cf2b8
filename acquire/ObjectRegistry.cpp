#include "acquire/ObjectRegistry.h"

#include "runtime/Text.h"
#include "runtime/VbError.h"

namespace folioray {

void ObjectRegistry::Register(const std::string& progId, Maker maker) {
    makers_[ToLower(progId)] = std::move(maker);
}

void ObjectRegistry::Unregister(const std::string& progId) {
    makers_.erase(ToLower(progId));
}

bool ObjectRegistry::IsRegistered(const std::string& progId) const {
    return makers_.count(ToLower(progId)) != 0;
}

std::unique_ptr<Dispatch> ObjectRegistry::CreateObject(const std::string& progId) {
    auto it = makers_.find(ToLower(progId));
    if (it == makers_.end() || !it->second) throw VbError(err::kCantCreateObject);
    std::unique_ptr<Dispatch> object = it->second();
    if (!object) throw VbError(err::kCantCreateObject);
    return object;
}

}  // namespace folioray
