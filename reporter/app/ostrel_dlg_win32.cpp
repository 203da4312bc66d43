#include "ostrel_dlg.h"

#include "module_path.h"
#include "ostrel_app.h"
#include "resource.h"
#include "update_startup_win32.h"
#include "version_text.h"

namespace ostrel {

COstrelDlg::COstrelDlg(const SOstrelDlgArgs& args) : CDialogBase(IDD_OSTREL_DIALOG), m_args(args) {}

SOstrelDlgResult COstrelDlg::Run(HINSTANCE hInstance, HWND hParent) {
    SOstrelDlgResult result;
    result.m_nEndCode = DoModal(hInstance, hParent);
    return result;
}

BOOL COstrelDlg::OnInitDialog() {
    std::wstring title;
    GetFileVersionText(GetRunningModulePath(), SVersionTextOptions().WithName().FourParts(), title);
    ::SetWindowTextW(m_hWnd, title.c_str());
    // A newer installer started, or the update dialog closed without going
    // on: the reporter ends before its form shows.
    if (!RunStartupUpdate(m_hWnd, COstrelApp::Get().GetLocalAppData())) {
        EndDialog(IDCANCEL);
        return TRUE;
    }
    HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    m_bigIcon.reset(static_cast<HICON>(::LoadImageW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                    IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR)));
    m_smallIcon.reset(static_cast<HICON>(::LoadImageW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                      IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.get()));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.get()));
    return TRUE;
}

} // namespace ostrel
