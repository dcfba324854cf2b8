#pragma once
// Typing into the container window: which key message each character becomes.
#include <cstdint>

#include "ports/KeyMessages.h"

namespace folioray {

// One character to its WM_CHAR values: the lower-cased character's code and its lParam.
// Characters outside the key map give 0 and 0.
void MapCharToKey(char c, uint32_t& charCode, uint32_t& lParam);

}  // namespace folioray
