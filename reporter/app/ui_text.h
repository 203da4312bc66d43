#pragma once
// The form's texts in the chosen language: text n is string n plus the
// language offset, looked up through a small port so the rules are tested
// without resources.
#include <string>
#include <vector>

namespace ostrel {

// Where the strings live (the program's string resources under Windows).
class IStringSource {
public:
    virtual ~IStringSource() = default;
    // True with the text of string id; false, text cleared, when there is no
    // such string (or it is empty: resources cannot tell the two apart).
    virtual bool LoadText(unsigned id, std::wstring& text) = 0;
};

// The program's own string resources (Win32 only).
IStringSource& ProgramStrings();

// The language from the user's interface language, as the system reports it.
class IUiLanguage {
public:
    virtual ~IUiLanguage() = default;
    virtual unsigned short UserDefaultUiLanguage() = 0;
};

// The system's answer (Win32 only).
IUiLanguage& SystemUiLanguage();

struct SLanguageChoice {
    int m_nLangOffset;   // kLangOffsetFrench or kLangOffsetEnglish
    unsigned m_nFocusId; // the button of that language: 1057 "Français", 1056 "English"
};

// French (primary language 0x0C in the low byte) whatever the region;
// English for every other language.
SLanguageChoice ChooseLanguage(unsigned short langId);
SLanguageChoice ChooseLanguage(IUiLanguage& ui);

class CUiText {
public:
    CUiText(IStringSource& strings, int nLangOffset)
        : m_strings(strings), m_nLangOffset(nLangOffset) {}

    int LangOffset() const { return m_nLangOffset; }
    // String n + offset; empty when it does not exist.
    std::wstring Text(unsigned n) const;
    // The tree label: string 122 followed by " :".
    std::wstring TreeLabel() const;
    // Not in the table: "Rafraîchir" for French, "Refresh" for any other offset.
    std::wstring RefreshText() const;

private:
    IStringSource& m_strings;
    int m_nLangOffset;
};

// One control's text, as the form's language pass sets it.
struct SControlText {
    unsigned m_nControlId;
    std::wstring m_strText;
};

// Every language-dependent control text of the form, in the order they are
// set: Scan, Close, About, tree label, Refresh, title, note, then the labels.
// With bTagGroup1 the camera and dock labels take the handpiece wording.
// The system menu takes Text(IDS_SCAN) and Text(IDS_MENU_ABOUT) itself.
std::vector<SControlText> FormTexts(const CUiText& text, bool bTagGroup1);

} // namespace ostrel
