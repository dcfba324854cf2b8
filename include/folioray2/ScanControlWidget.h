#pragma once
// The control as a Qt widget, with the real adapters of the build behind it.
#include "folioray2/version.h"
#include "platform/qt/ScanControlWidget.h"
