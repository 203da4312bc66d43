#pragma once
// The view: a child window of the frame that owns the dispatcher and runs
// it for every command message the frame forwards.
#include "command_dispatcher.h"
#include "device_set_win32.h"

#include <windows.h>

namespace torvex {

class CTORVEXView {
public:
    explicit CTORVEXView(CDeviceSet& devices);
    bool Create(HWND hParent, HINSTANCE hInstance);
    HWND GetSafeHwnd() const { return m_hWnd; }
    CCommandDispatcher& Dispatcher() { return m_dispatcher; }

private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    CCommandDispatcher m_dispatcher;
};

// The registered "TORVEX_COMMAND" message number, one per process.
extern UINT g_nCommandMessage;

} // namespace torvex
