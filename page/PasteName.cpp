// PasteName: the working file's path to the clipboard, then typed into the host window.
#include "control/ScanControl.h"

namespace folioray {

void ScanControl::PasteName() {}
void ScanControl::Timer1_Timer() {}

}  // namespace folioray
