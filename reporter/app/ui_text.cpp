#include "ui_text.h"

#include "form_control_ids.h"
#include "ui_text_ids.h"

namespace ostrel {
namespace {

constexpr unsigned kCloseButtonId = 2; // IDCANCEL
constexpr unsigned kLangPrimaryFrench = 0x0C;

} // namespace

SLanguageChoice ChooseLanguage(unsigned short langId) {
    // The low byte, not the 10-bit primary id: no assigned language differs.
    if ((langId & 0xFF) == kLangPrimaryFrench)
        return {kLangOffsetFrench, IDC_LANG_FRENCH};
    return {kLangOffsetEnglish, IDC_LANG_ENGLISH};
}

SLanguageChoice ChooseLanguage(IUiLanguage& ui) {
    return ChooseLanguage(ui.UserDefaultUiLanguage());
}

std::wstring CUiText::Text(unsigned n) const {
    std::wstring text;
    if (!m_strings.LoadText(n + static_cast<unsigned>(m_nLangOffset), text))
        text.clear();
    return text;
}

std::wstring CUiText::TreeLabel() const {
    return Text(IDS_TREE_LABEL) + L" :";
}

std::wstring CUiText::RefreshText() const {
    return m_nLangOffset == kLangOffsetFrench ? L"Rafra\u00EEchir" : L"Refresh";
}

std::vector<SControlText> FormTexts(const CUiText& text, bool bTagGroup1) {
    struct SRow {
        unsigned m_nControlId;
        unsigned m_nHandpiece; // the string with the handpiece wording
        unsigned m_nCamera;    // and with the camera wording (same when the label has one)
    };
    static const SRow kLabels[] = {
        {IDC_LABEL_TECH, IDS_TECH_NAME, IDS_TECH_NAME},
        {IDC_LABEL_CLIENT, IDS_CLIENT_NAME, IDS_CLIENT_NAME},
        {IDC_LABEL_MANAGING, IDS_MANAGING_SOFT, IDS_MANAGING_SOFT},
        {IDC_LABEL_IMAGING, IDS_IMAGING_SOFT, IDS_IMAGING_SOFT},
        {IDC_LABEL_DEVICE_TYPE, IDS_HANDPIECE_TYPE, IDS_CAMERA_TYPE},
        {IDC_LABEL_DEVICE_NUM, IDS_HANDPIECE_NUMBER, IDS_CAMERA_NUMBER},
        {IDC_LABEL_DOCK_TYPE, IDS_DOCK_TYPE, IDS_CONTROL_UNIT_TYPE},
        {IDC_LABEL_DOCK_NUM, IDS_DOCK_NUMBER, IDS_CONTROL_UNIT_NUMBER},
        {IDC_LABEL_GEN_BRAND, IDS_GEN_BRAND, IDS_GEN_BRAND},
        {IDC_LABEL_GEN_MODEL, IDS_GEN_MODEL, IDS_GEN_MODEL},
        {IDC_LABEL_GEN_TYPE, IDS_GEN_TYPE, IDS_GEN_TYPE},
        {IDC_LABEL_REMARK, IDS_PROBLEM, IDS_PROBLEM},
    };
    std::vector<SControlText> texts = {
        {IDC_SCAN, text.Text(IDS_SCAN)},
        {kCloseButtonId, text.Text(IDS_CLOSE)},
        {IDC_ABOUT, text.Text(IDS_ABOUT)},
        {IDC_LABEL_TREE, text.TreeLabel()},
        {IDC_REFRESH, text.RefreshText()},
        {IDC_TITLE, text.Text(IDS_TITLE)},
        {IDC_MANDATORY_NOTE, text.Text(IDS_MANDATORY_NOTE)},
    };
    for (const SRow& row : kLabels)
        texts.push_back(
            {row.m_nControlId, text.Text(bTagGroup1 ? row.m_nHandpiece : row.m_nCamera)});
    return texts;
}

} // namespace ostrel
