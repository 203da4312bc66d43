#pragma once
// The thread's last Win32 error as the int status our ports return, so the
// code that reaches a caller is the platform's own. Call it right after the
// failing call: any later API call may overwrite the value.
#include <windows.h>

namespace ostrel {

[[nodiscard]] inline int LastErrorCode() {
    return static_cast<int>(::GetLastError());
}

} // namespace ostrel
