#pragma once
// String resources of one loaded module (the program itself, or a program
// file loaded as data by a test).
#include "ui_text.h"

#include <windows.h>

namespace ostrel {

class CModuleStrings final : public IStringSource {
public:
    explicit CModuleStrings(HMODULE hModule) : m_hModule(hModule) {}
    bool LoadText(unsigned id, std::wstring& text) override;

private:
    HMODULE m_hModule; // not owned
};

} // namespace ostrel
