#include "module_path.h"

#include <windows.h>

namespace ostrel {

std::wstring GetRunningModulePath() {
    return ReadModulePath([](wchar_t* buffer, unsigned size) -> unsigned {
        return ::GetModuleFileNameW(nullptr, buffer, size);
    });
}

} // namespace ostrel
