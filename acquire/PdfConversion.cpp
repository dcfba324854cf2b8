// Conversion of the stored JPEG to PDF through the PDF translation object.
#include "control/ScanControl.h"

namespace folioray {

bool ScanControl::ConvertToPdf(const std::string&, const std::string&, bool) { return false; }

}  // namespace folioray
