// The About command.
#include "about/frmAbout.h"
#include "control/ScanControlState.h"
#include "ports/Host.h"

namespace folioray {

void ScanControl::AboutCommand() {
    s_->err_.Step([&] {
        frmAbout form(*s_->ports_.host, s_->ports_.registry, s_->ports_.launcher);
        form.Form_Load();
        form.Show();
        s_->ports_.host->ShowAbout(form);  // modal: returns when the box has been closed
    });                                    // leaving the scope unloads the box
    FocusPreview();
}

}  // namespace folioray
