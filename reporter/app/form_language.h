#pragma once
// ApplyLanguage's rules without a window: which texts go where, the system
// menu's rebuild, the camera and dock wording, and which fields the
// detection flags enable or show. The form supplies the two ports.
#include "ui_text.h"

#include <string>

namespace ostrel {

// The form's controls as the language pass needs them.
class IFormView {
public:
    virtual ~IFormView() = default;
    virtual void SetText(unsigned id, const std::wstring& text) = 0;
    virtual void Enable(unsigned id, bool bEnabled) = 0;
    virtual void Show(unsigned id, bool bShown) = 0;
    // Gives the title its font and redraws it; nothing while the font does
    // not exist yet (it is made at the first timer expiry).
    virtual void ApplyTitleFont() = 0;
};

// The form's system menu. Removing what is not there does nothing.
class ISystemMenu {
public:
    virtual ~ISystemMenu() = default;
    virtual void RemoveCommand(unsigned nCommand) = 0;
    virtual void RemoveAt(unsigned nPosition) = 0;
    virtual void AppendSeparator() = 0;
    virtual void AppendItem(unsigned nCommand, const std::wstring& text) = 0;
    virtual void EnableItem(unsigned nCommand, bool bEnabled) = 0;
};

// What the pass depends on besides the language.
struct SFormLanguageState {
    bool m_bTagGroup1 = false;    // handpiece wording
    bool m_bCameraFields = false; // a camera bridge was found
    bool m_bXrayFields = false;   // a wired or direct sensor was found
};

// The controls the bridge flags enable and the sensor flags show.
inline constexpr unsigned kCameraFieldIds[] = {1008, 1009, 1010, 1011, 1050, 1052, 1025, 1027};
inline constexpr unsigned kXrayFieldIds[] = {1012, 1013, 1045, 1028, 1029, 1022, 1031, 1058};

// Removes the items an earlier call appended (About, Scan, the two
// separators after the system's seven) and appends them again with the
// texts of the language; the Scan item starts disabled.
void RebuildSystemMenu(const CUiText& text, ISystemMenu& menu);

// The pass of ApplyLanguage up to the fields (texts, menu, wording, title
// font, camera fields enabled, X-ray fields shown or hidden). The caller
// then fills the generator fields when m_bXrayFields, and repaints.
void ApplyFormLanguage(const CUiText& text, const SFormLanguageState& state, IFormView& view,
                       ISystemMenu& menu);

// What a system-menu command stands for: 16 to 31 the About box, 32 to 47
// the scan, anything else the system's own.
enum class EFormSysCommand { kSystem, kAbout, kScan };
EFormSysCommand FormSysCommand(unsigned nCommand);

} // namespace ostrel
