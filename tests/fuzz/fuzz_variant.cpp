// Script values given as text: every conversion either succeeds with a sane value or
// fails with one of the conversion errors; nothing else may happen.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "runtime/Format.h"
#include "runtime/Variant.h"
#include "runtime/VbError.h"

using folioray::Variant;
using folioray::VbError;

namespace {

void CheckError(const VbError& e) {
    if (e.Number() != folioray::err::kTypeMismatch && e.Number() != folioray::err::kOverflow) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Variant v(text);
    try {
        (void)v.ToBool();
    } catch (const VbError& e) {
        CheckError(e);
    }
    try {
        const int32_t n = v.ToLong();
        // The integer is the nearest one to the number the text reads as.
        double d = v.ToDouble();
        if (std::fabs(static_cast<double>(n) - d) > 0.5) std::abort();
    } catch (const VbError& e) {
        CheckError(e);
    }
    try {
        if (v.ToText() != text) std::abort();
    } catch (const VbError&) {
        std::abort();  // text always has a text form
    }
    const bool numeric = v.IsNumeric();
    double parsed = 0;
    try {
        if (numeric != folioray::ParseNumber(text, parsed)) std::abort();
    } catch (const VbError& e) {
        CheckError(e);
    }
    return 0;
}
