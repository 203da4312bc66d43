// A server window that never answers: it has the sensor server's window
// class, takes every command without writing the mailbox, and, when
// STUB_SERVER_IGNORE_QUIT is set, also ignores the quit message.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = hInstance;
    wc.lpszClassName = L"TORVEX_WND";
    RegisterClassW(&wc);
    CreateWindowW(L"TORVEX_WND", L"stub", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                  hInstance, nullptr);
    const bool bIgnoreQuit = GetEnvironmentVariableW(L"STUB_SERVER_IGNORE_QUIT", nullptr, 0) > 0;
    MSG msg;
    for (;;) {
        const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r == -1 || (r == 0 && !bIgnoreQuit))
            break;
        if (r == 0)
            continue;
        DispatchMessageW(&msg);
    }
    return 0;
}
