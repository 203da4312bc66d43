// Closes top-level windows whose caption starts with the given text, then
// waits up to the given milliseconds for them to be gone. Exit code 0 when at
// least one window was found and all are gone, 1 when none was found, 2 on
// time-out. Used by the main-job script and by tests driving real programs.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

struct SSearch {
    std::wstring m_strPrefix;
    std::vector<HWND> m_found;
};

BOOL CALLBACK Collect(HWND hWnd, LPARAM lParam) {
    auto* pSearch = reinterpret_cast<SSearch*>(lParam);
    wchar_t title[512];
    int n = GetWindowTextW(hWnd, title, 512);
    if (n > 0 &&
        std::wstring(title, n).compare(0, pSearch->m_strPrefix.size(), pSearch->m_strPrefix) == 0)
        pSearch->m_found.push_back(hWnd);
    return TRUE;
}

std::vector<HWND> Find(const std::wstring& prefix) {
    SSearch search{prefix, {}};
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
    return search.m_found;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 3;
    const DWORD dwWait = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 5000;
    auto windows = Find(argv[1]);
    if (windows.empty())
        return 1;
    for (HWND h : windows)
        PostMessageW(h, WM_CLOSE, 0, 0);
    const DWORD t0 = GetTickCount();
    while (GetTickCount() - t0 < dwWait) {
        if (Find(argv[1]).empty())
            return 0;
        Sleep(50);
    }
    return 2;
}
