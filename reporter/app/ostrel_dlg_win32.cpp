#include "ostrel_dlg.h"

#include "module_path.h"
#include "ostrel_app.h"
#include "resource.h"
#include "update_startup_win32.h"
#include "version_text.h"

namespace ostrel {

COstrelDlg::COstrelDlg() : CDialogBase(IDD_OSTREL_DIALOG) {}

BOOL COstrelDlg::OnInitDialog() {
    std::wstring title;
    GetFileVersionText(GetRunningModulePath(), true, true, title);
    ::SetWindowTextW(m_hWnd, title.c_str());
    // A newer installer started, or the update dialog closed without going
    // on: the reporter ends before its form shows.
    if (!RunStartupUpdate(m_hWnd, COstrelApp::Get().GetLocalAppData())) {
        EndDialog(IDCANCEL);
        return TRUE;
    }
    HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    HICON hBig = static_cast<HICON>(::LoadImageW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                 IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    HICON hSmall = static_cast<HICON>(::LoadImageW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                   IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hBig));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hSmall));
    return TRUE;
}

} // namespace ostrel
