// The preview's events: context menu, detail view, errors.
#include "control/ScanControl.h"

namespace folioray {

void ScanControl::Image1_PreviewError(int32_t& number, int32_t) { err_.Set(number); }
void ScanControl::Image1_PreviewActivated() {}
void ScanControl::Image1_PreviewMouseButton(int16_t&, int16_t, float, float) {}
void ScanControl::DetailView() {}

}  // namespace folioray
