#include "imaging_apps.h"

#include "ui_text_ids.h"

namespace ostrel {
namespace {

// Posts the close once, then waits for the window until the shared limit.
bool ClosedInTime(const wchar_t* pszClass, unsigned t0, IImagingWindows& windows,
                  IImagingClock& clock) {
    if (!windows.Exists(pszClass))
        return true;
    windows.PostClose(pszClass);
    while (windows.Exists(pszClass)) {
        // Unsigned difference: right across the tick count's wrap.
        if (clock.NowMs() - t0 >= kImagingCloseLimitMs)
            return false;
        clock.SleepMs(kImagingPollMs);
    }
    return true;
}

EImagingCheck CloseUnattended(const CUiText& text, IImagingWindows& windows,
                              IImagingPrompts& prompts, IImagingClock& clock) {
    const unsigned t0 = clock.NowMs();
    for (const wchar_t* pszClass : {kVarnikWindowClass, kKalderWindowClass}) {
        if (!ClosedInTime(pszClass, t0, windows, clock)) {
            (void)prompts.Show(text.Text(IDS_AUTO_ABORTED), EPromptButtons::Ok);
            return EImagingCheck::EndProcess;
        }
    }
    return EImagingCheck::Continue;
}

// Asks while the window exists; false once the user has cancelled.
bool AskWhileOpen(const wchar_t* pszClass, const std::wstring& prompt, IImagingWindows& windows,
                  IImagingPrompts& prompts, bool& bPromptShown) {
    bool bCancelled = false;
    while (windows.Exists(pszClass)) {
        if (bCancelled)
            return false;
        bCancelled = prompts.Show(prompt, EPromptButtons::OkCancel) == EPromptAnswer::Cancel;
        bPromptShown = true;
    }
    return !bCancelled;
}

} // namespace

EImagingCheck CheckImagingApplications(bool bAuto, const CUiText& text, IImagingWindows& windows,
                                       IImagingPrompts& prompts, IImagingClock& clock) {
    if (bAuto)
        return CloseUnattended(text, windows, prompts, clock);

    bool bVarnikPrompt = false;
    if (!AskWhileOpen(kVarnikWindowClass, text.Text(IDS_CLOSE_VARNIK), windows, prompts,
                      bVarnikPrompt))
        return EImagingCheck::EndProcess;
    // The Kalder prompt does not stand in for the general reminder.
    bool bKalderPrompt = false;
    if (!AskWhileOpen(kKalderWindowClass, text.Text(IDS_CLOSE_KALDER), windows, prompts,
                      bKalderPrompt))
        return EImagingCheck::EndProcess;
    if (!bVarnikPrompt && prompts.Show(text.Text(IDS_CLOSE_IMAGING_APPS),
                                       EPromptButtons::OkCancel) == EPromptAnswer::Cancel)
        return EImagingCheck::EndProcess;
    return EImagingCheck::Continue;
}

} // namespace ostrel
