#pragma once
// The hidden frame window of class "TORVEX_WND": receives "TORVEX_COMMAND",
// forwards it to the view, and carries the developer's menu.
#include "torvex_view_win32.h"

#include "window_base.h"

#include <windows.h>

namespace torvex {

constexpr wchar_t kFrameClass[] = L"TORVEX_WND";
constexpr wchar_t kCommandMessage[] = L"TORVEX_COMMAND";

class CMainFrame : public ostrel::CWindowBase {
public:
    CMainFrame(HINSTANCE hInstance, CDeviceSet& devices);
    bool Create();

private:
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    int OnCreate();
    void OnSize();
    void OnMenuCommand(WORD wId);
    void ToggleBar(HWND hBar, WORD wId);
    // Runs a command on the view synchronously, then shows RESULT.
    void SendAndShow(unsigned nCommand);

    HINSTANCE m_hInstance;
    HWND m_hToolBar = nullptr;
    HWND m_hStatusBar = nullptr;
    CTORVEXView m_view;
    CMailbox m_mailbox;
    CAnswerWriter m_answers;
};

} // namespace torvex
