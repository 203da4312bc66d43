#pragma once
// The reporter's main form. For now it holds the three mandatory fields of
// the incident form (technician, client, problem description) and the Scan
// button, enabled once all three are filled; the other fields come later.
#include "dialog_base.h"
#include "incident_fields.h"
#include "product_tag.h"
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

// GDI objects the form creates (brush, bitmap).
struct SGdiObjectTraits {
    static HGDIOBJ Empty() { return nullptr; }
    static void Close(HGDIOBJ h) { ::DeleteObject(h); }
};
using CGdiObject = CUniqueResource<HGDIOBJ, SGdiObjectTraits>;

class COstrelDlg : public CDialogBase, public IIncidentForm {
public:
    explicit COstrelDlg(const SOstrelDlgArgs& args);

    // Runs the form modally and gives what it ended with.
    SOstrelDlgResult Run(HINSTANCE hInstance, HWND hParent);
    const SOstrelDlgArgs& Args() const { return m_args; }

    SIncidentFields ReadIncidentFields() const override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD wId, WORD wCode) override;
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    void UpdateScanEnabled();
    void OnScan();
    std::wstring ItemText(int id) const;

    SOstrelDlgArgs m_args;
    // Set on the window as its icons; they outlive it with the dialog object.
    CIcon m_bigIcon, m_smallIcon;
    STagGroups m_tags;
    CGdiObject m_mandatoryBrush;
    CGdiObject m_background;
};

} // namespace ostrel
