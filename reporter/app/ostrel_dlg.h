#pragma once
// The reporter's main form. For now it carries the version text as its
// caption and a Close button; the incident form's fields grow into it.
#include "dialog_base.h"

#include <string>

namespace ostrel {

class COstrelDlg : public CDialogBase {
public:
    COstrelDlg();

    bool m_bAuto = false; // unattended mode, from the command line

protected:
    BOOL OnInitDialog() override;
};

} // namespace ostrel
