#pragma once
// The hidden frame window of class "TORVEX_WND": receives "TORVEX_COMMAND",
// forwards it to the view, and carries the developer's menu.
#include "torvex_view_win32.h"

#include <windows.h>

namespace torvex {

constexpr wchar_t kFrameClass[] = L"TORVEX_WND";
constexpr wchar_t kCommandMessage[] = L"TORVEX_COMMAND";

class CMainFrame {
public:
    CMainFrame(HINSTANCE hInstance, CDeviceSet& devices);
    bool Create();
    HWND GetSafeHwnd() const { return m_hWnd; }

private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    int OnCreate();
    void OnSize();
    void OnMenuCommand(WORD wId);
    void ToggleBar(HWND hBar, WORD wId);
    // Runs a command on the view synchronously, then shows RESULT.
    void SendAndShow(unsigned nCommand);

    HINSTANCE m_hInstance;
    HWND m_hWnd = nullptr;
    HWND m_hToolBar = nullptr;
    HWND m_hStatusBar = nullptr;
    CTORVEXView m_view;
    CMailbox m_mailbox;
};

} // namespace torvex
