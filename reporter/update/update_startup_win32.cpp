#include "update_startup_win32.h"

#include "dlg_update_win32.h"
#include "module_path.h"

namespace ostrel {

bool RunStartupUpdate(HWND hParent, const std::wstring& localAppData) {
    SUpdateArgs args;
    args.m_config = DeploymentUpdateConfig();
    args.m_strLocalAppData = localAppData;
    args.m_strProgramPath = GetRunningModulePath();
    CDlgUpdate dlg(std::move(args));
    dlg.DoModal(::GetModuleHandleW(nullptr), hParent);
    return dlg.m_bContinue && !dlg.m_bInstallerStarted;
}

} // namespace ostrel
