#include "ostrel_dlg.h"

#include "module_path.h"
#include "ostrel_app.h"
#include "resource.h"
#include "scan_dlg.h"
#include "scan_resource.h"
#include "update_startup_win32.h"
#include "version_text.h"

#ifndef OSTREL_SUPPORT_EMAIL
#error "OSTREL_SUPPORT_EMAIL is a deployment value set by the build"
#endif

namespace ostrel {
namespace {

constexpr COLORREF kMandatoryColour = RGB(255, 180, 180);
constexpr int kBackgroundOrigin = 5;

bool IsMandatoryField(int id) {
    return id == IDC_TECH_NAME || id == IDC_CLIENT_NAME || id == IDC_REMARK;
}

// The application title: the program file's base name.
std::wstring AppTitle() {
    std::wstring name = GetRunningModulePath();
    name = name.substr(name.rfind(L'\\') + 1);
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

} // namespace

COstrelDlg::COstrelDlg(const SOstrelDlgArgs& args) : CDialogBase(IDD_OSTREL_DIALOG), m_args(args) {}

SOstrelDlgResult COstrelDlg::Run(HINSTANCE hInstance, HWND hParent) {
    SOstrelDlgResult result;
    result.m_nEndCode = DoModal(hInstance, hParent);
    return result;
}

BOOL COstrelDlg::OnInitDialog() {
    std::wstring title;
    GetFileVersionText(GetRunningModulePath(), SVersionTextOptions().WithName().FourParts(), title);
    ::SetWindowTextW(m_hWnd, title.c_str());
    // A newer installer started, or the update dialog closed without going
    // on: the reporter ends before its form shows.
    if (!RunStartupUpdate(m_hWnd, COstrelApp::Get().GetLocalAppData())) {
        EndDialog(IDCANCEL);
        return TRUE;
    }
    HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    m_bigIcon.reset(static_cast<HICON>(::LoadImageW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                    IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR)));
    m_smallIcon.reset(static_cast<HICON>(::LoadImageW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                      IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.get()));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.get()));

    m_mandatoryBrush.reset(::CreateSolidBrush(kMandatoryColour));
    m_background.reset(::LoadImageW(hInstance, MAKEINTRESOURCEW(IDB_BACKGROUND), IMAGE_BITMAP, 0, 0,
                                    LR_CREATEDIBSECTION));
    m_tags = ReadProductTag(SystemImagingPorts());
    UpdateScanEnabled();
    ::SetFocus(::GetDlgItem(m_hWnd, IDC_TECH_NAME));
    return FALSE; // focus set here
}

std::wstring COstrelDlg::ItemText(int id) const {
    HWND hItem = ::GetDlgItem(m_hWnd, id);
    const int n = hItem ? ::GetWindowTextLengthW(hItem) : 0;
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    if (hItem)
        text.resize(static_cast<size_t>(::GetWindowTextW(hItem, text.data(), n + 1)));
    else
        text.clear();
    return text;
}

SIncidentFields COstrelDlg::ReadIncidentFields() const {
    SIncidentFields fields;
    fields.m_strTechName = ItemText(IDC_TECH_NAME);
    fields.m_strClientName = ItemText(IDC_CLIENT_NAME);
    fields.m_strRemark = ItemText(IDC_REMARK);
    fields.m_bTagGroup1 = m_tags.m_bTagGroup1;
    fields.m_bTagGroup2 = m_tags.m_bTagGroup2;
    fields.m_bTagGroup3 = m_tags.m_bTagGroup3;
    fields.m_strCloseCaption = ItemText(IDCANCEL);
    return fields;
}

void COstrelDlg::UpdateScanEnabled() {
    const bool allowed =
        ScanAllowed(ItemText(IDC_TECH_NAME), ItemText(IDC_CLIENT_NAME), ItemText(IDC_REMARK));
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SCAN), allowed ? TRUE : FALSE);
}

bool COstrelDlg::OnCommand(WORD wId, WORD wCode) {
    if (wId == IDC_SCAN && wCode == BN_CLICKED) {
        OnScan();
        return true;
    }
    if (IsMandatoryField(wId) && (wCode == EN_CHANGE || wCode == EN_KILLFOCUS)) {
        UpdateScanEnabled();
        return true;
    }
    return false;
}

void COstrelDlg::OnScan() {
    // The rule holds whatever sent the command.
    if (!ScanAllowed(ItemText(IDC_TECH_NAME), ItemText(IDC_CLIENT_NAME), ItemText(IDC_REMARK)))
        return;
    const COstrelApp& app = COstrelApp::Get();
    SScanDlgArgs args;
    args.m_pForm = this;
    args.m_paths = {app.GetLocalAppData(), app.GetTmpDir(), app.GetReportFile(), app.GetLogFile()};
    args.m_strSupportEmail = OSTREL_SUPPORT_EMAIL;
    args.m_strAppTitle = AppTitle();
    CScanDlg dlg(std::move(args));
    dlg.DoModal(::GetModuleHandleW(nullptr), m_hWnd);
}

bool COstrelDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_ERASEBKGND: {
        HDC hdc = reinterpret_cast<HDC>(wParam);
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        ::FillRect(hdc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
        if (m_background) {
            HDC hMem = ::CreateCompatibleDC(hdc);
            HGDIOBJ hOld = ::SelectObject(hMem, m_background.get());
            BITMAP bm{};
            ::GetObjectW(m_background.get(), sizeof bm, &bm);
            ::BitBlt(hdc, kBackgroundOrigin, kBackgroundOrigin, bm.bmWidth, bm.bmHeight, hMem, 0, 0,
                     SRCCOPY);
            ::SelectObject(hMem, hOld);
            ::DeleteDC(hMem);
        }
        lResult = TRUE;
        return true;
    }
    case WM_CTLCOLORSTATIC: {
        // Labels let the picture show through.
        HDC hdc = reinterpret_cast<HDC>(wParam);
        ::SetBkMode(hdc, TRANSPARENT);
        lResult = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
        return true;
    }
    case WM_CTLCOLOREDIT: {
        if (!IsMandatoryField(::GetDlgCtrlID(reinterpret_cast<HWND>(lParam))))
            return false;
        ::SetBkColor(reinterpret_cast<HDC>(wParam), kMandatoryColour);
        lResult = reinterpret_cast<LRESULT>(m_mandatoryBrush.get());
        return true;
    }
    default:
        return false;
    }
}

} // namespace ostrel
