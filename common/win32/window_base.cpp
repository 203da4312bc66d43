#include "window_base.h"

#include "guard.h"

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
    const LRESULT result = GuardCall("CWindowBase::WindowProc", static_cast<LRESULT>(0),
                                     [&] { return pThis->OnMessage(uMsg, wParam, lParam); });
    if (uMsg == WM_NCDESTROY)
        pThis->m_hWnd = nullptr;
    return result;
}

} // namespace ostrel
