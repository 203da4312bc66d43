// Runs the update dialog as the reporter's start-up does, against the server
// and login given on the command line (the deployment's signer pin stays):
//   update_dialog_host <download folder> <host:port> <user> <password> [stall limit ms]
// Exit code: 0 go on to the form, 1 end without continuing, 2 installer started,
// 3 bad arguments.
#include "dlg_update_win32.h"
#include "module_path.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdlib>

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc < 5)
        return 3;
    ostrel::SUpdateArgs args;
    args.m_config = ostrel::DeploymentUpdateConfig();
    args.m_strLocalAppData = argv[1];
    args.m_config.m_strServer = argv[2];
    args.m_config.m_strUser = argv[3];
    args.m_config.m_strPassword = argv[4];
    if (argc > 5)
        args.m_config.m_nStallLimitMs = static_cast<uint32_t>(std::wcstoul(argv[5], nullptr, 10));
    args.m_strProgramPath = ostrel::GetRunningModulePath();
    ::LocalFree(argv);
    ostrel::CDlgUpdate dlg(std::move(args));
    dlg.DoModal(hInstance, nullptr);
    if (dlg.m_bInstallerStarted)
        return 2;
    return dlg.m_bContinue ? 0 : 1;
}
