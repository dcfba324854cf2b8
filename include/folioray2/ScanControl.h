#pragma once
// The control's portable core, for hosts that bring their own ports.
#include "control/ScanControl.h"
#include "folioray2/Ports.h"
#include "folioray2/version.h"
