#include "module_path.h"

#include <windows.h>

namespace ostrel {

std::wstring GetRunningModulePath() {
    return ReadModulePath([](wchar_t* buffer, unsigned size) -> unsigned {
        return ::GetModuleFileNameW(nullptr, buffer, size);
    });
}

std::string GetRunningModulePathAnsi() {
    const std::wstring path = GetRunningModulePath();
    if (path.empty())
        return std::string();
    const int n = ::WideCharToMultiByte(CP_ACP, 0, path.data(), static_cast<int>(path.size()),
                                        nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, path.data(), static_cast<int>(path.size()), narrow.data(), n,
                          nullptr, nullptr);
    return narrow;
}

} // namespace ostrel
