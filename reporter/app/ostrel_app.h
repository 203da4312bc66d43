#pragma once
// The reporter's application object: single instance, paths, run mode, and
// the modal main form.
#include "app_startup.h"

#include <windows.h>

#include <string>

namespace ostrel {

class COstrelApp {
public:
    // Start-up hook, given the process's whole command line (program name
    // included); returns FALSE when no message loop is to run (always, since
    // the form runs modally).
    BOOL InitInstance(HINSTANCE hInstance, const wchar_t* pszCommandLine);

    const std::wstring& GetModuleDir() const { return m_strModuleDir; }
    const std::wstring& GetLocalAppData() const { return m_strLocalAppData; }
    const std::wstring& GetTmpDir() const { return m_strTmpDir; }
    const std::wstring& GetReportFile() const { return m_strReportFile; }
    const std::wstring& GetLogFile() const { return m_strLogFile; }

    // The running process's application object.
    static COstrelApp& Get();

private:
    void InitPaths();

    std::wstring m_strModuleDir;
    std::wstring m_strLocalAppData;
    std::wstring m_strTmpDir;
    std::wstring m_strReportFile;
    std::wstring m_strLogFile;
};

// Paths as the start-up finds them on this machine.
SAppPaths QueryAppPaths();

// The counter shared by every process of this program file; -1 until the
// first instance increments it.
extern volatile LONG g_nInstanceCount;

} // namespace ostrel
