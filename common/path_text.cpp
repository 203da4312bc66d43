#include "path_text.h"

namespace ostrel {

std::wstring JoinPath(const std::wstring& dir, const std::wstring& name) {
    size_t end = dir.size();
    while (end > 0 && dir[end - 1] == L'\\')
        --end;
    size_t start = 0;
    while (start < name.size() && name[start] == L'\\')
        ++start;
    if (end == 0 && dir.empty())
        return name.substr(start);
    return dir.substr(0, end) + L'\\' + name.substr(start);
}

std::wstring FolderOfModulePath(const std::wstring& path) {
    size_t pos = path.rfind(L'\\');
    if (pos == std::wstring::npos || pos == 0)
        return std::wstring();
    return path.substr(0, pos + 1);
}

std::wstring WithTrailingBackslash(const std::wstring& dir) {
    if (dir.empty() || dir.back() == L'\\')
        return dir;
    return dir + L'\\';
}

} // namespace ostrel
