#pragma once
// A parameterised case named after its `name`, spaces and signs turned into underscores.
#include <cctype>
#include <string>

namespace folioray::test {

struct ByName {
    template <class Info>
    std::string operator()(const Info& info) const {
        std::string out;
        for (char c : std::string(info.param.name)) {
            out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return out;
    }
};

}  // namespace folioray::test
