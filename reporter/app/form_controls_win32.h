#pragma once
// The form's controls through their parent window.
#include "form_rules.h"

#include <windows.h>

namespace ostrel {

class CFormControlsWin32 final : public IFormControls {
public:
    // The parent is not owned; it belongs to the calling thread.
    explicit CFormControlsWin32(HWND hForm) : m_hForm(hForm) {}

    std::wstring GetText(unsigned id) override;
    void SetText(unsigned id, const std::wstring& text) override;
    bool IsChecked(unsigned id) override;
    // Within the template's one radio group (AC, DC).
    void Check(unsigned id) override;

private:
    HWND m_hForm;
};

} // namespace ostrel
