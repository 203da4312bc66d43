#include "busy_indicator_win32.h"

#include "unique_handle.h"

namespace ostrel {
namespace {

struct SBrushTraits {
    static HBRUSH Empty() { return nullptr; }
    static void Close(HBRUSH h) { ::DeleteObject(h); }
};
using CBrush = CUniqueResource<HBRUSH, SBrushTraits>;

// A window's device context, released to that window.
class CWindowDC {
public:
    explicit CWindowDC(HWND hWnd) : m_hWnd(hWnd), m_hdc(::GetDC(hWnd)) {}
    ~CWindowDC() {
        if (m_hdc)
            ::ReleaseDC(m_hWnd, m_hdc);
    }
    CWindowDC(const CWindowDC&) = delete;
    CWindowDC& operator=(const CWindowDC&) = delete;
    HDC get() const { return m_hdc; }

private:
    HWND m_hWnd;
    HDC m_hdc;
};

} // namespace

void CBusyWindowWin32::DispatchPending() {
    // Filtering on the form takes its controls' messages too, and leaves
    // WM_QUIT and other windows' messages to the modal loop.
    MSG msg;
    while (::PeekMessageW(&msg, m_hForm, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
}

void CBusyWindowWin32::RepaintTree() {
    ::RedrawWindow(m_hTree, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

bool CBusyWindowWin32::TreeRect(SBusyRect& rect) {
    RECT r;
    if (!::GetWindowRect(m_hTree, &r))
        return false;
    ::MapWindowPoints(nullptr, m_hForm, reinterpret_cast<POINT*>(&r), 2);
    rect = {r.left, r.top, r.right, r.bottom};
    return true;
}

void CBusyWindowWin32::Fill(const SBusyRect& rect, std::uint32_t rgb) {
    CWindowDC dc(m_hForm);
    CBrush brush(::CreateSolidBrush(static_cast<COLORREF>(rgb)));
    if (!dc.get() || !brush)
        return;
    RECT r{rect.m_nLeft, rect.m_nTop, rect.m_nRight, rect.m_nBottom};
    ::FillRect(dc.get(), &r, brush.get());
}

} // namespace ostrel
