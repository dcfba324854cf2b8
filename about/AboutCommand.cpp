// The About command.
#include "control/ScanControl.h"

namespace folioray {

void ScanControl::AboutCommand() { FocusPreview(); }

}  // namespace folioray
