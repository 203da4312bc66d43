#pragma once
// The start-up check that the two imaging applications are closed. They keep
// the sensors and the settings files busy, so the report would be partial.
// Interactive mode asks the user; unattended mode closes them itself.
#include "ui_text.h"

#include <string>

namespace ostrel {

// Class names of the imaging applications' top-level windows.
inline constexpr wchar_t kVarnikWindowClass[] = L"VARNIK_IMAGING_WINDOW";
inline constexpr wchar_t kKalderWindowClass[] = L"KALDER_DIGITAL_WINDOW";

// Unattended mode: both closes together get this long, from one start time.
constexpr unsigned kImagingCloseLimitMs = 60000;
// How often unattended mode looks whether a closed window is gone.
constexpr unsigned kImagingPollMs = 100;

// The top-level windows of the machine, by class name.
class IImagingWindows {
public:
    virtual ~IImagingWindows() = default;
    // True while a top-level window of the class exists (shown or not).
    virtual bool Exists(const wchar_t* pszClass) = 0;
    // Posts the close message to the first window of the class; nothing when
    // there is none. Does not wait: the application decides whether to close.
    virtual void PostClose(const wchar_t* pszClass) = 0;
};

enum class EPromptButtons { Ok, OkCancel };
enum class EPromptAnswer { Ok, Cancel };

// Modal message boxes with the exclamation icon and the form's caption.
class IImagingPrompts {
public:
    virtual ~IImagingPrompts() = default;
    // Returns once the user has answered; closing the box counts as Cancel
    // with OK and Cancel, as OK with OK alone.
    virtual EPromptAnswer Show(const std::wstring& text, EPromptButtons buttons) = 0;
};

// Milliseconds of a free-running 32-bit tick count (it wraps), and a pause.
class IImagingClock {
public:
    virtual ~IImagingClock() = default;
    virtual unsigned NowMs() = 0;
    virtual void SleepMs(unsigned ms) = 0;
};

enum class EImagingCheck {
    Continue,   // every application is closed (or the user says so): go on
    EndProcess, // the user cancelled, or an application ignored the close
};

// The whole check: texts 126 to 129 in the language of text. Interactive
// mode repeats a prompt while its window exists and then shows the general
// reminder unless the Varnik prompt was shown; unattended mode shows nothing
// but "Operation aborted!" when a window outlives the time limit.
[[nodiscard]] EImagingCheck CheckImagingApplications(bool bAuto, const CUiText& text,
                                                     IImagingWindows& windows,
                                                     IImagingPrompts& prompts,
                                                     IImagingClock& clock);

} // namespace ostrel
