#include "torvex_view_win32.h"

#include "command_trace_win32.h"
#include "wall_clock.h"

namespace torvex {

UINT g_nCommandMessage = 0;

namespace {
constexpr wchar_t kViewClass[] = L"TORVEX_VIEW";
}

CTORVEXView::CTORVEXView(CDeviceSet& devices)
    : m_dispatcher(devices.Ports()), m_slots(devices.Ports().m_slots),
      m_engine(devices.Ports().m_slots, devices.Ports().m_clock, m_acquisitionWindow, nullptr,
               m_dispatcher.View()),
      m_capture(devices.Ports().m_slots, devices.Ports().m_clock, devices.Ports().m_hooks, m_files,
                ostrel::SystemWallClock()) {
    m_dispatcher.AttachAcquisition(&m_engine, &m_capture);
    m_acquisitionWindow.SetVirtualClock(devices.VirtualClock());
}

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
    if (!m_hWnd)
        return false;
    m_acquisitionWindow.SetWindow(m_hWnd);
    m_pCalibration = MakeCalibrationSourceWin32(m_slots, m_hWnd);
    m_engine.SetCalibrationSource(m_pCalibration.get());
    return true;
}

LRESULT CTORVEXView::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_COPYDATA) {
        const auto* pCopy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        // -10 as a 64-bit or as a 32-bit sender passes it; nothing else.
        const bool bImage = pCopy && (pCopy->dwData == static_cast<ULONG_PTR>(-10) ||
                                      pCopy->dwData == ULONG_PTR{0xFFFFFFF6u});
        if (bImage)
            (void)m_handOver.OnCopyData(kCopyDataImage, static_cast<const uint8_t*>(pCopy->lpData),
                                        pCopy->cbData);
        return 1; // every copy-data message is taken
    }
    if (uMsg == WM_TIMER && (wParam == kTimerSlot0 || wParam == kTimerSlot1)) {
        m_engine.OnTimer(static_cast<unsigned>(wParam));
        return 0;
    }
    if (g_nCommandMessage != 0 && uMsg == g_nCommandMessage) {
        TraceCommand(static_cast<unsigned>(wParam));
        if (!m_dispatcher.Dispatch(static_cast<uint64_t>(wParam)))
            return 0; // ignored while busy
    }
    return ::DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
}

} // namespace torvex
