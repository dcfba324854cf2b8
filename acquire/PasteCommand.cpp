// The Paste command.
#include "control/ScanControl.h"

namespace folioray {

void ScanControl::PasteCommand() {}
void ScanControl::LoadClipboardPicture() {}

}  // namespace folioray
