#include "main_frame_win32.h"

#include "about_dlg_win32.h"
#include "resource.h"

#include <commctrl.h>

namespace torvex {

namespace {

// How a developer menu item hands its command to the view.
enum class EMenuRun {
    Show,             // sent, then RESULT shown in a message box
    Post,             // posted, like a client does
    PostResultAsData, // posted with RESULT copied into DATA; the neutral answer
                      // has emptied RESULT by then, so DATA ends up empty
};

struct SMenuCommand {
    WORD m_wId;
    unsigned m_nCommand;
    EMenuRun m_eRun;
};

constexpr SMenuCommand kMenuCommands[] = {
    {ID_DETECT_USB, kCmdDetectUsb, EMenuRun::Show},
    {ID_DETECT_WL, kCmdDetectWireless, EMenuRun::Show},
    {ID_INIT_LINK, kCmdInitLink, EMenuRun::Post},
    {ID_STOP_LINK, kCmdStopLink, EMenuRun::PostResultAsData},
    {ID_READ_BOX, kCmdReadBox, EMenuRun::Show},
    {ID_READ_SENSOR, kCmdReadSensor, EMenuRun::Show},
    {ID_START_ACQUISITION, kCmdStartAcquisition, EMenuRun::Post},
    {ID_STOP_ACQUISITION, kCmdStopAcquisition, EMenuRun::Post},
};

const SMenuCommand* MenuCommandOf(WORD wId) {
    for (const SMenuCommand& item : kMenuCommands)
        if (item.m_wId == wId)
            return &item;
    return nullptr;
}

} // namespace

CMainFrame::CMainFrame(HINSTANCE hInstance, CDeviceSet& devices)
    : m_hInstance(hInstance), m_view(devices), m_mailbox(devices.Store()), m_answers(m_mailbox) {}

bool CMainFrame::Create() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = m_hInstance;
    wc.hIcon = ::LoadIconW(m_hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(LTGRAY_BRUSH));
    wc.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINFRAME);
    wc.lpszClassName = kFrameClass;
    if (!::RegisterClassExW(&wc))
        return false;
    m_hWnd = ::CreateWindowExW(0, kFrameClass, L"TORVEX", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                               CW_USEDEFAULT, 480, 320, nullptr, nullptr, m_hInstance, this);
    return m_hWnd != nullptr;
}

LRESULT CMainFrame::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (g_nCommandMessage != 0 && uMsg == g_nCommandMessage) {
        ::PostMessageW(m_view.GetSafeHwnd(), uMsg, wParam, lParam);
        return ::DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
    }
    switch (uMsg) {
    case WM_CREATE:
        return OnCreate();
    case WM_SIZE:
        OnSize();
        return 0;
    case WM_COMMAND:
        OnMenuCommand(LOWORD(wParam));
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
    }
}

int CMainFrame::OnCreate() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    m_hToolBar = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                                   WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | CCS_TOP, 0, 0, 0, 0,
                                   m_hWnd, nullptr, m_hInstance, nullptr);
    if (m_hToolBar)
        ::SendMessageW(m_hToolBar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    m_hStatusBar = ::CreateWindowExW(0, STATUSCLASSNAMEW, L"Ready", WS_CHILD | WS_VISIBLE, 0, 0, 0,
                                     0, m_hWnd, nullptr, m_hInstance, nullptr);
    g_nCommandMessage = ::RegisterWindowMessageW(kCommandMessage);
    if (!m_view.Create(m_hWnd, m_hInstance))
        return -1;
    return 0;
}

void CMainFrame::OnSize() {
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    int top = 0;
    int bottom = rc.bottom;
    if (m_hToolBar && ::IsWindowVisible(m_hToolBar)) {
        ::SendMessageW(m_hToolBar, TB_AUTOSIZE, 0, 0);
        RECT tb;
        ::GetWindowRect(m_hToolBar, &tb);
        top = tb.bottom - tb.top;
    }
    if (m_hStatusBar && ::IsWindowVisible(m_hStatusBar)) {
        ::SendMessageW(m_hStatusBar, WM_SIZE, 0, 0);
        RECT sb;
        ::GetWindowRect(m_hStatusBar, &sb);
        bottom -= sb.bottom - sb.top;
    }
    if (m_view.GetSafeHwnd())
        ::MoveWindow(m_view.GetSafeHwnd(), 0, top, rc.right, bottom - top > 0 ? bottom - top : 0,
                     TRUE);
}

void CMainFrame::ToggleBar(HWND hBar, WORD wId) {
    if (!hBar)
        return;
    const bool bShow = !::IsWindowVisible(hBar);
    ::ShowWindow(hBar, bShow ? SW_SHOW : SW_HIDE);
    ::CheckMenuItem(::GetMenu(m_hWnd), wId, bShow ? MF_CHECKED : MF_UNCHECKED);
    OnSize();
}

void CMainFrame::SendAndShow(unsigned nCommand) {
    ::SendMessageW(m_view.GetSafeHwnd(), g_nCommandMessage, nCommand, 0);
    const std::string strResult = m_mailbox.ReadString("RESULT", std::string());
    ::MessageBoxA(m_hWnd, strResult.c_str(), "TORVEX", MB_OK);
}

void CMainFrame::OnMenuCommand(WORD wId) {
    const HWND hView = m_view.GetSafeHwnd();
    switch (wId) {
    case ID_APP_EXIT:
        ::DestroyWindow(m_hWnd);
        return;
    case ID_APP_ABOUT: {
        CAboutDlg about;
        about.DoModal(m_hInstance, m_hWnd);
        return;
    }
    case ID_VIEW_TOOLBAR:
        ToggleBar(m_hToolBar, wId);
        return;
    case ID_VIEW_STATUS_BAR:
        ToggleBar(m_hStatusBar, wId);
        return;
    default:
        break;
    }
    const SMenuCommand* pItem = MenuCommandOf(wId);
    if (!pItem)
        return;
    // Every developer item starts from the neutral answer, as a client would.
    m_answers.WriteNeutral();
    switch (pItem->m_eRun) {
    case EMenuRun::Show:
        SendAndShow(pItem->m_nCommand);
        break;
    case EMenuRun::PostResultAsData:
        m_mailbox.WriteString("DATA", m_mailbox.ReadString("RESULT", std::string()));
        [[fallthrough]];
    case EMenuRun::Post:
        ::PostMessageW(hView, g_nCommandMessage, pItem->m_nCommand, 0);
        break;
    }
}

} // namespace torvex
