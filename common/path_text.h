#pragma once
// Windows path text rules, kept portable so they can be tested on the host.
#include <string>

namespace ostrel {

// The shell's path-append rule: exactly one backslash between the two parts.
std::wstring JoinPath(const std::wstring& dir, const std::wstring& name);

// Text up to and including the last backslash, unless that backslash is the
// first character (or there is none): then empty. The folder part of any
// path, not only of a module's.
std::wstring FolderOfModulePath(const std::wstring& path);

// Ensures a trailing backslash on a non-empty folder.
std::wstring WithTrailingBackslash(const std::wstring& dir);

} // namespace ostrel
