// The About command.
#include "about/frmAbout.h"
#include "control/ScanControl.h"
#include "ports/Host.h"

namespace folioray {

void ScanControl::AboutCommand() {
    err_.Step([&] {
        frmAbout form(*ports_.host, ports_.registry, ports_.launcher);
        form.Form_Load();
        form.Show();
        ports_.host->ShowAbout(form);  // modal: returns when the box has been closed
    });                                // leaving the scope unloads the box
    FocusPreview();
}

}  // namespace folioray
