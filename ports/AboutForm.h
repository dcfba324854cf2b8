#pragma once
// The About box as a host shows it: the texts of its controls and its two buttons. The
// logic behind them lives with the control; the host only draws and forwards clicks.
#include <string>

#include "folioray2/core_export.h"

namespace folioray {

class FOLIORAY_CORE_EXPORT AboutForm {
  public:
    virtual ~AboutForm() = default;

    virtual std::string Caption() const = 0;  // the window caption
    virtual std::string lblTitle() const = 0;
    virtual std::string lblVersion() const = 0;
    virtual std::string lblDescription() const = 0;
    virtual std::string lblDescription1() const = 0;
    virtual std::string lblDisclaimer() const = 0;
    virtual std::string cmdOKCaption() const = 0;
    virtual std::string cmdSysInfoCaption() const = 0;

    virtual bool Visible() const = 0;
    virtual void Show() = 0;
    virtual void cmdOK_Click() = 0;  // hides the box, which ends its modal display
    virtual void cmdSysInfo_Click() = 0;
};

}  // namespace folioray
