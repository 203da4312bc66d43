#pragma once
// Base of our own window classes: the window procedure stores `this` from the
// creation parameter and routes every message to OnMessage.
#include <windows.h>

namespace ostrel {

class CWindowBase {
public:
    CWindowBase() = default;
    virtual ~CWindowBase() = default;
    CWindowBase(const CWindowBase&) = delete;
    CWindowBase& operator=(const CWindowBase&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }

protected:
    // Give this as the class's procedure and `this` as CreateWindowEx's last argument.
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) = 0;

    HWND m_hWnd = nullptr;
};

} // namespace ostrel
