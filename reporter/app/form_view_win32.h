#pragma once
// The language pass's ports over the real form: its controls and its
// system menu.
#include "form_language.h"

#include <windows.h>

namespace ostrel {

class CFormViewWin32 final : public IFormView {
public:
    // Neither the form nor the font is owned; a null font is not applied.
    CFormViewWin32(HWND hForm, HFONT hTitleFont) : m_hForm(hForm), m_hTitleFont(hTitleFont) {}

    void SetText(unsigned id, const std::wstring& text) override;
    void Enable(unsigned id, bool bEnabled) override;
    void Show(unsigned id, bool bShown) override;
    void ApplyTitleFont() override;

private:
    HWND m_hForm;
    HFONT m_hTitleFont;
};

class CSystemMenuWin32 final : public ISystemMenu {
public:
    explicit CSystemMenuWin32(HWND hForm) : m_hMenu(::GetSystemMenu(hForm, FALSE)) {}

    void RemoveCommand(unsigned nCommand) override;
    void RemoveAt(unsigned nPosition) override;
    void AppendSeparator() override;
    void AppendItem(unsigned nCommand, const std::wstring& text) override;
    void EnableItem(unsigned nCommand, bool bEnabled) override;

private:
    HMENU m_hMenu; // the window's own copy; destroyed with it
};

} // namespace ostrel
