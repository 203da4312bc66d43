// Runs the reporter's imaging-application step as the form does: a hidden
// owner window with the form's kind of caption, the run mode from the whole
// command line, the program's own strings. Prints "continued" when the
// start-up would go on; the check itself ends the process otherwise.
// IMAGING_CHECK_LANG=0 selects French (English by default).
// IMAGING_CHECK_CLOCK_SPEED=n (n > 1) runs the check's clock n times as fast,
// so a test sees the 60 s limit end in 60/n s; the reporter has no such switch.
#include "app_startup.h"
#include "imaging_apps_win32.h"
#include "ui_text_ids.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The tick count sped up, pauses shortened to match: the check's own limit
// and poll arithmetic run unchanged, only in less real time.
class CFastTickClock final : public ostrel::IImagingClock {
public:
    explicit CFastTickClock(unsigned nSpeed) : m_nSpeed(nSpeed), m_nStart(::GetTickCount()) {}
    unsigned NowMs() override { return m_nStart + (::GetTickCount() - m_nStart) * m_nSpeed; }
    void SleepMs(unsigned ms) override { ::Sleep(ms / m_nSpeed > 0 ? ms / m_nSpeed : 1); }

private:
    unsigned m_nSpeed;
    unsigned m_nStart;
};

} // namespace

int wmain() {
    using namespace ostrel;
    const wchar_t* pszLang = _wgetenv(L"IMAGING_CHECK_LANG");
    const int nOffset = pszLang && pszLang[0] == L'0' ? kLangOffsetFrench : kLangOffsetEnglish;
    const wchar_t* pszSpeed = _wgetenv(L"IMAGING_CHECK_CLOCK_SPEED");
    const int nSpeed = pszSpeed ? _wtoi(pszSpeed) : 0;
    const bool bAuto = IsAutoProcessCommandLine(::GetCommandLineW());
    std::printf("mode %s\n", bAuto ? "auto" : "interactive");
    std::fflush(stdout);

    HWND hOwner = ::CreateWindowExW(0, L"STATIC", L"Imaging check host", WS_POPUP | WS_CAPTION, 0,
                                    0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    CUiText text(ProgramStrings(), nOffset);
    CTickClock tickClock; // the form's own
    CFastTickClock fastClock(nSpeed > 1 ? static_cast<unsigned>(nSpeed) : 1u);
    IImagingClock& clock = nSpeed > 1 ? static_cast<IImagingClock&>(fastClock) : tickClock;
    EnsureImagingApplicationsClosed(hOwner, bAuto, text, clock);
    std::printf("continued\n");
    std::fflush(stdout);
    ::DestroyWindow(hOwner);
    return 0;
}
