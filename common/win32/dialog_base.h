#pragma once
// Minimal modal-dialog framework: the dialog procedure stores `this` from the
// WM_INITDIALOG parameter and routes messages to virtual handlers.
#include <windows.h>

namespace ostrel {

class CDialogBase {
public:
    explicit CDialogBase(UINT nTemplateId) : m_nTemplateId(nTemplateId) {}
    virtual ~CDialogBase() = default;
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    // Runs the dialog modally; returns the code given to EndDialog, or -1.
    INT_PTR DoModal(HINSTANCE hInstance, HWND hParent);
    HWND GetSafeHwnd() const { return m_hWnd; }
    void EndDialog(INT_PTR nResult);

protected:
    // Return TRUE to let the system set the default focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // Returns true when handled.
    virtual bool OnCommand(WORD /*wId*/, WORD /*wCode*/) { return false; }
    virtual void OnTimer(UINT_PTR /*nId*/) {}
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Any other message; returns true when handled, with the result in lResult
    // (for WM_CTLCOLOR* the brush).
    virtual bool OnMessage(UINT, WPARAM, LPARAM, LRESULT& /*lResult*/) { return false; }

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT uMsg, WPARAM wParam, LPARAM lParam);

    UINT m_nTemplateId;
};

} // namespace ostrel
