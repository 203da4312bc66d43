#pragma once
#include "dialog_base.h"
#include "resource.h"

namespace torvex {

// "About TORVEX": title and version text live in the dialog resource.
class CAboutDlg final : public ostrel::CDialogBase {
public:
    CAboutDlg() : CDialogBase(IDD_ABOUTBOX) {}
};

} // namespace torvex
