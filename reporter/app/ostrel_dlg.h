#pragma once
// The reporter's main form. For now it carries the version text as its
// caption and a Close button; the incident form's fields grow into it.
#include "dialog_base.h"
#include "unique_handle.h"

#include <string>

namespace ostrel {

struct SOstrelDlgArgs {
    bool m_bAuto = false; // unattended mode, from the command line
};

struct SOstrelDlgResult {
    INT_PTR m_nEndCode = -1; // what the form ended with (IDOK, IDCANCEL); -1: it never ran
};

// Icons loaded with LoadImage belong to the caller and are destroyed by it.
struct SIconTraits {
    static HICON Empty() { return nullptr; }
    static void Close(HICON h) { ::DestroyIcon(h); }
};
using CIcon = CUniqueResource<HICON, SIconTraits>;

class COstrelDlg : public CDialogBase {
public:
    explicit COstrelDlg(const SOstrelDlgArgs& args);

    // Runs the form modally and gives what it ended with.
    SOstrelDlgResult Run(HINSTANCE hInstance, HWND hParent);
    const SOstrelDlgArgs& Args() const { return m_args; }

protected:
    BOOL OnInitDialog() override;

private:
    SOstrelDlgArgs m_args;
    // Set on the window as its icons; they outlive it with the dialog object.
    CIcon m_bigIcon, m_smallIcon;
};

} // namespace ostrel
