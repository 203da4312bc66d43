// Stands in for an imaging application at start-up tests: one top-level
// window of the given class that either closes on the close message or
// ignores it.
//   imaging_app_window.exe <window-class> close|ignore [caption]
// Exit code 0 when the window was closed, 2 on a bad command line.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

bool g_bIgnoreClose = false;

LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_CLOSE:
        if (g_bIgnoreClose)
            return 0; // like an application busy with a dialog of its own
        ::DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || (std::wcscmp(argv[2], L"close") != 0 && std::wcscmp(argv[2], L"ignore") != 0)) {
        std::fwprintf(stderr, L"usage: imaging_app_window <window-class> close|ignore [caption]\n");
        return 2;
    }
    g_bIgnoreClose = std::wcscmp(argv[2], L"ignore") == 0;
    const std::wstring caption = argc > 3 ? argv[3] : argv[1];

    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = argv[1];
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    if (!::RegisterClassW(&wc))
        return 1;
    HWND hWnd = ::CreateWindowExW(0, argv[1], caption.c_str(), WS_OVERLAPPEDWINDOW, 600, 40, 240,
                                  120, nullptr, nullptr, wc.hInstance, nullptr);
    if (!hWnd)
        return 1;
    ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
