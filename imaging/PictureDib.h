#pragma once
// A DIB section's pixels as a picture, and back to the clipboard's packed DIB.
#include "ports/Picture.h"
#include "runtime/ClipboardDib.h"

namespace folioray {

class CDIBSection;

// A copy of the object's pixels as a picture; not a bitmap when the object is empty.
Picture ToPicture(const CDIBSection& dib);

}  // namespace folioray
