#include "form_language.h"

#include "form_control_ids.h"
#include "ui_text_ids.h"

namespace ostrel {
namespace {

// Restore, Move, Size, Minimise, Maximise, separator, Close: what we append
// starts after them.
constexpr unsigned kFirstAppendedPosition = 7;

} // namespace

void RebuildSystemMenu(const CUiText& text, ISystemMenu& menu) {
    menu.RemoveCommand(IDM_ABOUTBOX);
    menu.RemoveCommand(IDM_SCAN);
    menu.RemoveAt(kFirstAppendedPosition);
    menu.RemoveAt(kFirstAppendedPosition);
    menu.AppendSeparator();
    menu.AppendItem(IDM_SCAN, text.Text(IDS_SCAN));
    menu.AppendSeparator();
    menu.AppendItem(IDM_ABOUTBOX, text.Text(IDS_MENU_ABOUT));
    menu.EnableItem(IDM_SCAN, false);
}

void ApplyFormLanguage(const CUiText& text, const SFormLanguageState& state, IFormView& view,
                       ISystemMenu& menu) {
    const std::vector<SControlText> texts = FormTexts(text, state.m_bTagGroup1);
    // The three buttons come first, then the menu, then the rest.
    constexpr size_t kButtons = 3;
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i == kButtons)
            RebuildSystemMenu(text, menu);
        view.SetText(texts[i].m_nControlId, texts[i].m_strText);
    }
    view.ApplyTitleFont();
    for (unsigned id : kCameraFieldIds)
        view.Enable(id, state.m_bCameraFields);
    for (unsigned id : kXrayFieldIds)
        view.Show(id, state.m_bXrayFields);
}

EFormSysCommand FormSysCommand(unsigned nCommand) {
    if (nCommand >= IDM_ABOUTBOX && nCommand < IDM_ABOUTBOX + 16)
        return EFormSysCommand::kAbout;
    if (nCommand >= IDM_SCAN && nCommand < IDM_SCAN + 16)
        return EFormSysCommand::kScan;
    return EFormSysCommand::kSystem;
}

} // namespace ostrel
