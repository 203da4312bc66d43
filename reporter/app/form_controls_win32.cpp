#include "form_controls_win32.h"

#include "form_control_ids.h"

namespace ostrel {

std::wstring CFormControlsWin32::GetText(unsigned id) {
    HWND hCtrl = ::GetDlgItem(m_hForm, static_cast<int>(id));
    if (!hCtrl)
        return std::wstring();
    // The problem description has no length limit: size the buffer from the
    // control, then keep what was copied.
    int n = ::GetWindowTextLengthW(hCtrl);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    int got = ::GetWindowTextW(hCtrl, text.data(), n + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

void CFormControlsWin32::SetText(unsigned id, const std::wstring& text) {
    ::SetDlgItemTextW(m_hForm, static_cast<int>(id), text.c_str());
}

bool CFormControlsWin32::IsChecked(unsigned id) {
    return ::IsDlgButtonChecked(m_hForm, static_cast<int>(id)) == BST_CHECKED;
}

void CFormControlsWin32::Check(unsigned id) {
    // Not CheckRadioButton: the identifiers between AC and DC are edits.
    for (int radio : {IDC_RADIO_AC, IDC_RADIO_DC})
        ::CheckDlgButton(m_hForm, radio,
                         static_cast<unsigned>(radio) == id ? BST_CHECKED : BST_UNCHECKED);
}

} // namespace ostrel
