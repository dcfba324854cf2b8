// Scan and text modes, the mode button and the SaveAsPDF switch.
#include "control/ScanControlState.h"
#include "ports/Preview.h"
#include "runtime/Text.h"
#include "runtime/VbError.h"

namespace folioray {

namespace {

// The three rules by which a script's value is read as a yes or no. Returns
// 1 for yes, 0 for no, -1 when the value decides nothing. `ruleOne` tells whether the
// first rule (a plain boolean conversion) decided.
int ReadSwitch(const Variant& v, bool& ruleOne) {
    ruleOne = false;
    try {
        bool b = v.ToBool();
        ruleOne = true;
        return b ? 1 : 0;
    } catch (const VbError&) {
    }
    if (v.IsNumeric()) {
        try {
            return v.ToDouble() == 0.0 ? 0 : 1;
        } catch (const VbError&) {
            return 1;  // a number too large to hold is not zero
        }
    }
    try {
        std::string s = Trim(v.ToText());
        if (EqualsNoCase(s, "False")) return 0;
        if (EqualsNoCase(s, "True")) return 1;
    } catch (const VbError&) {
    }
    return -1;
}

}  // namespace

void ScanControl::ControlMode(int32_t lngMode) {
    try {
        const bool push = s_->mButtonStyle != 0;
        if (lngMode == 0) {
            s_->kids_.SetVisible(Child::Text2, false);
            s_->kids_.SetCaption(Child::Command1, "&Scan");
            s_->kids_.SetPicture(Child::Icon1, s_->kids_[Child::Icon1a].picture);
            s_->kids_.SetToolTip(Child::Icon1, "Scan a new Image");
            s_->kids_.SetToolTip(Child::Command1, "Scan a new Image");
            s_->kids_.SetToolTip(Child::Command6, "Switch to TextBox Mode");
            s_->kids_.SetToolTip(Child::Icon6, "Switch to TextBox Mode");
            s_->kids_.SetVisible(push ? Child::Command4 : Child::Icon4, true);
            s_->kids_.SetVisible(push ? Child::Command2 : Child::Icon2, true);
            s_->mControlMode = 0;
        } else if (lngMode == 1) {
            s_->kids_.SetCaption(Child::Command1, "&Done");
            s_->kids_.SetPicture(Child::Icon1, s_->kids_[Child::Icon1b].picture);
            s_->kids_.SetToolTip(Child::Command1, "Dump text to file");
            s_->kids_.SetToolTip(Child::Icon1, "Dump text to file");
            s_->kids_.SetToolTip(Child::Command6, "Switch to Scan Mode");
            s_->kids_.SetToolTip(Child::Icon6, "Switch to Scan Mode");
            s_->kids_.SetVisible(Child::Text2, true);
            s_->kids_.SetVisible(push ? Child::Command4 : Child::Icon4, false);
            s_->kids_.SetVisible(push ? Child::Command2 : Child::Icon2, false);
            s_->mControlMode = 1;
        }
    } catch (...) {
    }
}

void ScanControl::Command6_Click() {
    try {
        ControlMode(ControlMode() != 0 ? 0 : 1);
    } catch (...) {
    }
}

Variant ScanControl::ShowModeButton() const {
    return Variant(s_->kids_[Child::Command6].visible || s_->kids_[Child::Icon6].visible);
}

void ScanControl::ShowModeButton(const Variant& blShow) {
    try {
        const Child current = s_->mButtonStyle != 0 ? Child::Command6 : Child::Icon6;
        bool ruleOne = false;
        const int v = ReadSwitch(blShow, ruleOne);
        if (v < 0) return;
        if (ruleOne) {
            s_->kids_.SetVisible(current, v == 1);
        } else if (v == 0) {
            s_->kids_.SetVisible(Child::Command6, false);
            s_->kids_.SetVisible(Child::Icon6, false);
        } else {
            s_->kids_.SetVisible(current, true);
        }
    } catch (...) {
    }
}

void ScanControl::SaveAsPDF(const Variant& blPDF) {
    try {
        bool ruleOne = false;
        const int v = ReadSwitch(blPDF, ruleOne);
        if (v >= 0) s_->mSaveAsPDF = v == 1 ? -1 : 0;
    } catch (...) {
    }
}

void ScanControl::Text1_GotFocus() {
    FocusPreview();
}

}  // namespace folioray
