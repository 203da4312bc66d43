#include "window_base.h"

namespace ostrel {

LRESULT CALLBACK CWindowBase::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CWindowBase* pThis = nullptr;
    if (uMsg == WM_NCCREATE) {
        pThis = static_cast<CWindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pThis));
        pThis->m_hWnd = hWnd;
    } else {
        pThis = reinterpret_cast<CWindowBase*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    }
    if (!pThis)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    // No exception may cross the window procedure.
    try {
        LRESULT result = pThis->OnMessage(uMsg, wParam, lParam);
        if (uMsg == WM_NCDESTROY)
            pThis->m_hWnd = nullptr;
        return result;
    } catch (...) {
        return 0;
    }
}

} // namespace ostrel
