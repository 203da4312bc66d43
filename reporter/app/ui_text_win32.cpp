#include "ui_text_win32.h"

namespace ostrel {
namespace {

class CSystemUiLanguage final : public IUiLanguage {
public:
    unsigned short UserDefaultUiLanguage() override { return ::GetUserDefaultUILanguage(); }
};

} // namespace

bool CModuleStrings::LoadText(unsigned id, std::wstring& text) {
    // With a zero length LoadStringW hands out the resource text itself (not
    // terminated), so no text is ever cut by a buffer.
    const wchar_t* p = nullptr;
    int n = ::LoadStringW(m_hModule, id, reinterpret_cast<LPWSTR>(&p), 0);
    if (n <= 0 || !p) {
        text.clear();
        return false;
    }
    text.assign(p, static_cast<size_t>(n));
    return true;
}

IStringSource& ProgramStrings() {
    static CModuleStrings s_strings(::GetModuleHandleW(nullptr));
    return s_strings;
}

IUiLanguage& SystemUiLanguage() {
    static CSystemUiLanguage s_ui;
    return s_ui;
}

} // namespace ostrel
