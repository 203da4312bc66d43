#include "torvex_view_win32.h"

namespace torvex {

UINT g_nCommandMessage = 0;

namespace {
constexpr wchar_t kViewClass[] = L"TORVEX_VIEW";
}

CTORVEXView::CTORVEXView(CDeviceSet& devices) : m_dispatcher(devices.Ports()) {}

bool CTORVEXView::Create(HWND hParent, HINSTANCE hInstance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = hInstance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kViewClass;
    ::RegisterClassExW(&wc);
    m_hWnd = ::CreateWindowExW(WS_EX_CLIENTEDGE, kViewClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                               hParent, nullptr, hInstance, this);
    return m_hWnd != nullptr;
}

LRESULT CTORVEXView::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (g_nCommandMessage != 0 && uMsg == g_nCommandMessage) {
        if (!m_dispatcher.Dispatch(static_cast<uint64_t>(wParam)))
            return 0; // ignored while busy
    }
    return ::DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
}

} // namespace torvex
