#include "guard.h"

#include <windows.h>

namespace ostrel {

void WriteDebugOutput(const char* pszLine) noexcept {
    ::OutputDebugStringA(pszLine);
}

} // namespace ostrel
