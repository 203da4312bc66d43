#pragma once
// Splitting a text file's content into lines, shared by the platforms' readers.
#include <string>
#include <vector>

namespace ostrel {

// Lines of text without their LF or CR LF ends; a last line without an end
// counts, an end at the very end adds no empty line.
std::vector<std::wstring> SplitTextLines(const std::wstring& text);

} // namespace ostrel
