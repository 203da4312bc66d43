#include "ostrel_app.h"

#include "command_runner.h"
#include "module_path.h"
#include "ostrel_dlg.h"

#include <commctrl.h>
#include <ole2.h>

namespace ostrel {

// One copy for all processes started from this file: the section is marked
// shared in the image, and its initial value lives in the file.
__attribute__((section("TestExeS"), shared)) volatile LONG g_nInstanceCount = -1;

COstrelApp& COstrelApp::Get() {
    static COstrelApp s_app;
    return s_app;
}

void COstrelApp::InitPaths() {
    SAppPaths paths = QueryAppPaths();
    m_strModuleDir = paths.m_strModuleDir;
    m_strLocalAppData = paths.m_strLocalAppData;
    m_strTmpDir = paths.m_strTmpDir;
    m_strReportFile = paths.m_strReportFile;
    m_strLogFile = paths.m_strLogFile;
}

BOOL COstrelApp::InitInstance(HINSTANCE hInstance, const wchar_t* pszCommandLine) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES |
                                             ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS |
                                             ICC_PROGRESS_CLASS | ICC_HOTKEY_CLASS |
                                             ICC_ANIMATE_CLASS};
    ::InitCommonControlsEx(&icc);
    // ActiveX hosting needs OLE on this thread.
    ::OleInitialize(nullptr);

    if (::InterlockedIncrement(&g_nInstanceCount) != 0)
        return FALSE; // another instance runs: end silently

    InitPaths();
    // A deployment or a test may bound outside commands more tightly.
    wchar_t szLimit[32] = {};
    const DWORD nLimit = ::GetEnvironmentVariableW(L"OSTREL_COMMAND_LIMIT_MS", szLimit, 32);
    SetCommandTimeLimit(CommandLimitFromText(nLimit > 0 && nLimit < 32 ? szLimit : nullptr,
                                             kDefaultCommandLimitMs));

    SOstrelDlgArgs args;
    args.m_bAuto = IsAutoProcessCommandLine(pszCommandLine ? pszCommandLine : L"");
    COstrelDlg dlg(args);
    dlg.Run(hInstance, nullptr);
    ::OleUninitialize();
    return FALSE;
}

} // namespace ostrel
