#pragma once
// The view: a child window of the frame that owns the dispatcher and runs
// it for every command message the frame forwards.
#include "command_dispatcher.h"
#include "device_set_win32.h"

#include "window_base.h"

#include <windows.h>

namespace torvex {

class CTORVEXView : public ostrel::CWindowBase {
public:
    explicit CTORVEXView(CDeviceSet& devices);
    bool Create(HWND hParent, HINSTANCE hInstance);
    CCommandDispatcher& Dispatcher() { return m_dispatcher; }

private:
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    CCommandDispatcher m_dispatcher;
};

// The registered "TORVEX_COMMAND" message number, one per process.
extern UINT g_nCommandMessage;

} // namespace torvex
