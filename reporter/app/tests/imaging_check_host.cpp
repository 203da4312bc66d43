// Runs the reporter's imaging-application step as the form does: a hidden
// owner window with the form's kind of caption, the run mode from the whole
// command line, the program's own strings. Prints "continued" when the
// start-up would go on; the check itself ends the process otherwise.
// IMAGING_CHECK_LANG=0 selects French (English by default).
#include "app_startup.h"
#include "imaging_apps_win32.h"
#include "ui_text_ids.h"

#include <cstdio>
#include <cstdlib>

int wmain() {
    using namespace ostrel;
    const wchar_t* pszLang = _wgetenv(L"IMAGING_CHECK_LANG");
    const int nOffset = pszLang && pszLang[0] == L'0' ? kLangOffsetFrench : kLangOffsetEnglish;
    const bool bAuto = IsAutoProcessCommandLine(::GetCommandLineW());
    std::printf("mode %s\n", bAuto ? "auto" : "interactive");
    std::fflush(stdout);

    HWND hOwner = ::CreateWindowExW(0, L"STATIC", L"Imaging check host", WS_POPUP | WS_CAPTION, 0,
                                    0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    CUiText text(ProgramStrings(), nOffset);
    EnsureImagingApplicationsClosed(hOwner, bAuto, text);
    std::printf("continued\n");
    std::fflush(stdout);
    ::DestroyWindow(hOwner);
    return 0;
}
