#pragma once
// The imaging-application check over the real machine: top-level windows by
// class, message boxes owned by the form with its caption, the tick count.
#include "imaging_apps.h"

#include <windows.h>

namespace ostrel {

// The real tick count (GetTickCount, wrapping) and Sleep: the product's clock.
class CTickClock final : public IImagingClock {
public:
    unsigned NowMs() override;
    void SleepMs(unsigned ms) override;
};

// The check with the form hOwner as the boxes' owner and title source; the
// form may still be hidden. The unattended wait runs on clock. Returns what
// the start-up is to do.
[[nodiscard]] EImagingCheck
CheckImagingApplicationsWin32(HWND hOwner, bool bAuto, const CUiText& text, IImagingClock& clock);

// The form's start-up step: the check, then, when it says so, the immediate
// end of the process with exit code 0. Without a clock: CTickClock.
void EnsureImagingApplicationsClosed(HWND hOwner, bool bAuto, const CUiText& text,
                                     IImagingClock& clock);
void EnsureImagingApplicationsClosed(HWND hOwner, bool bAuto, const CUiText& text);

} // namespace ostrel
