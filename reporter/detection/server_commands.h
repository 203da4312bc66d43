#pragma once
// The sensor server as its clients see it: the command numbers (shared with
// the server), its window class, message and mailbox names.
#include "command_numbers.h"

namespace ostrel::server {

inline constexpr wchar_t kWindowClass[] = L"TORVEX_WND";
inline constexpr wchar_t kCommandMessage[] = L"TORVEX_COMMAND";
inline constexpr wchar_t kSection[] = L"TORVEX";
inline constexpr wchar_t kReady[] = L"READY";
inline constexpr wchar_t kResult[] = L"RESULT";
inline constexpr wchar_t kData[] = L"DATA";
inline constexpr wchar_t kMailboxName[] = L"TORVEX.INI";
inline constexpr wchar_t kProgramName[] = L"TORVEX.EXE";

} // namespace ostrel::server
