#pragma once
// The reporter's start-up step that runs the update dialog before its form.
#include <windows.h>

#include <string>

namespace ostrel {

// Shows the update dialog modally over hParent with this build's deployment
// values. False when the reporter must end now: the dialog ended without
// letting it go on, or the new installer has been started.
[[nodiscard]] bool RunStartupUpdate(HWND hParent, const std::wstring& localAppData);

} // namespace ostrel
