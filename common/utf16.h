#pragma once
// UTF-16 helpers shared by the reporter's text files and the ZIP names.
// std::wstring holds UTF-16 on Windows and UTF-32 on the host; both encode the same way.
#include <string>

namespace ostrel {

// Appends the UTF-16LE bytes of text; code points past U+FFFF become surrogate pairs.
void AppendUtf16Le(std::string& out, const std::wstring& text);

// UTF-8 bytes of a wide text; lone surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& text);

// Wide text from UTF-8; invalid sequences become U+FFFD.
std::wstring Utf8ToWide(const std::string& text);

} // namespace ostrel
