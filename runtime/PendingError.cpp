#include "runtime/PendingError.h"

#include <filesystem>
#include <new>

#include "runtime/VbError.h"

namespace folioray {

void PendingError::Set(int32_t number, std::string description, std::string source) {
    number_ = number;
    description_ = description.empty() ? ErrorDescription(number) : std::move(description);
    source_ = std::move(source);
}

void PendingError::Clear() {
    number_ = 0;
    description_.clear();
    source_.clear();
}

bool PendingError::Step(const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const VbError& e) {
        Set(e.Number(), e.Description(), e.Source());
    } catch (const std::filesystem::filesystem_error& e) {
        Set(ErrorNumberFromErrno(e.code().value(), e.path1().string()));
    } catch (const std::bad_alloc&) {
        Set(err::kOutOfMemory);
    } catch (const std::exception& e) {
        Set(51, std::string("Internal error: ") + e.what());
    }
    return false;
}

}  // namespace folioray
