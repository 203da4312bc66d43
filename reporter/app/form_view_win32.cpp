#include "form_view_win32.h"

#include "form_control_ids.h"

namespace ostrel {

void CFormViewWin32::SetText(unsigned id, const std::wstring& text) {
    ::SetDlgItemTextW(m_hForm, static_cast<int>(id), text.c_str());
}

void CFormViewWin32::Enable(unsigned id, bool bEnabled) {
    ::EnableWindow(::GetDlgItem(m_hForm, static_cast<int>(id)), bEnabled ? TRUE : FALSE);
}

void CFormViewWin32::Show(unsigned id, bool bShown) {
    ::ShowWindow(::GetDlgItem(m_hForm, static_cast<int>(id)), bShown ? SW_SHOW : SW_HIDE);
}

void CFormViewWin32::ApplyTitleFont() {
    if (m_hTitleFont)
        ::SendDlgItemMessageW(m_hForm, IDC_TITLE, WM_SETFONT,
                              reinterpret_cast<WPARAM>(m_hTitleFont), TRUE);
}

void CSystemMenuWin32::RemoveCommand(unsigned nCommand) {
    if (m_hMenu)
        ::RemoveMenu(m_hMenu, nCommand, MF_BYCOMMAND);
}

void CSystemMenuWin32::RemoveAt(unsigned nPosition) {
    if (m_hMenu)
        ::RemoveMenu(m_hMenu, nPosition, MF_BYPOSITION);
}

void CSystemMenuWin32::AppendSeparator() {
    if (m_hMenu)
        ::AppendMenuW(m_hMenu, MF_SEPARATOR, 0, nullptr);
}

void CSystemMenuWin32::AppendItem(unsigned nCommand, const std::wstring& text) {
    if (m_hMenu)
        ::AppendMenuW(m_hMenu, MF_STRING, nCommand, text.c_str());
}

void CSystemMenuWin32::EnableItem(unsigned nCommand, bool bEnabled) {
    if (m_hMenu)
        ::EnableMenuItem(m_hMenu, nCommand, MF_BYCOMMAND | (bEnabled ? MF_ENABLED : MF_GRAYED));
}

} // namespace ostrel
