#include "dialog_base.h"

#include "guard.h"

namespace ostrel {

INT_PTR CDialogBase::DoModal(HINSTANCE hInstance, HWND hParent) {
    return ::DialogBoxParamW(hInstance, MAKEINTRESOURCEW(m_nTemplateId), hParent, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

void CDialogBase::EndDialog(INT_PTR nResult) {
    if (m_hWnd)
        ::EndDialog(m_hWnd, nResult);
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CDialogBase* pThis = nullptr;
    if (uMsg == WM_INITDIALOG) {
        pThis = reinterpret_cast<CDialogBase*>(lParam);
        ::SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        pThis->m_hWnd = hWnd;
    } else {
        pThis = reinterpret_cast<CDialogBase*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    }
    if (!pThis)
        return FALSE;
    // A message whose handler threw counts as not handled.
    const INT_PTR result = GuardCall("CDialogBase::DialogProc", static_cast<INT_PTR>(FALSE),
                                     [&] { return pThis->Dispatch(uMsg, wParam, lParam); });
    if (uMsg == WM_NCDESTROY)
        pThis->m_hWnd = nullptr;
    return result;
}

INT_PTR CDialogBase::Dispatch(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND: {
        const WORD wId = LOWORD(wParam);
        const WORD wCode = HIWORD(wParam);
        if (OnCommand(wId, wCode))
            return TRUE;
        if (wId == IDOK) {
            OnOK();
            return TRUE;
        }
        if (wId == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        return FALSE;
    }
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return TRUE;
    default: {
        LRESULT lResult = 0;
        if (!OnMessage(uMsg, wParam, lParam, lResult))
            return FALSE;
        // These answer through the dialog procedure's own return value (a
        // brush for the colour messages), not through DWLP_MSGRESULT.
        if ((uMsg >= WM_CTLCOLORMSGBOX && uMsg <= WM_CTLCOLORSTATIC) || uMsg == WM_COMPAREITEM ||
            uMsg == WM_VKEYTOITEM || uMsg == WM_CHARTOITEM || uMsg == WM_QUERYDRAGICON)
            return static_cast<INT_PTR>(lResult);
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, lResult);
        return TRUE;
    }
    }
}

} // namespace ostrel
