// Start-up check of a Wine test session: the prefix runs programs and the
// display takes a window. Any failure fails the whole Windows test run.
#include <windows.h>

#include <cstdio>

int main() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OstrelWineProbe";
    if (!RegisterClassW(&wc)) {
        std::printf("wine probe: RegisterClass failed %lu\n", GetLastError());
        return 1;
    }
    HWND hWnd = CreateWindowW(wc.lpszClassName, L"probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                              nullptr, nullptr, wc.hInstance, nullptr);
    if (!hWnd) {
        std::printf("wine probe: CreateWindow failed %lu\n", GetLastError());
        return 1;
    }
    ShowWindow(hWnd, SW_SHOW);
    DestroyWindow(hWnd);
    wchar_t buf[MAX_PATH];
    if (!GetWindowsDirectoryW(buf, MAX_PATH)) {
        std::printf("wine probe: no Windows folder\n");
        return 1;
    }
    std::printf("wine probe: ok\n");
    return 0;
}
