#include "text_lines.h"

namespace ostrel {

std::vector<std::wstring> SplitTextLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        const size_t next = end == std::wstring::npos ? text.size() : end + 1;
        if (end == std::wstring::npos)
            end = text.size();
        if (end > start && text[end - 1] == L'\r')
            --end;
        lines.push_back(text.substr(start, end - start));
        start = next;
    }
    return lines;
}

} // namespace ostrel
