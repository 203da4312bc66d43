#include "version_text.h"

#include <cwchar>

namespace ostrel {

std::wstring FileNameOfPath(const std::wstring& path) {
    size_t pos = path.rfind(L'\\');
    return pos == std::wstring::npos ? path : path.substr(pos + 1);
}

std::wstring FormatVersionText(const std::wstring& path, const SFileVersion& version,
                               const SVersionTextOptions& options) {
    std::wstring text;
    if (options.m_bIncludeName)
        text = FileNameOfPath(path) + L" - ";
    text += (version.m_dwFileFlags & kFileFlagPreRelease) ? L"\u00DF." : L"v.";
    wchar_t buf[64];
    const unsigned major = version.m_dwFileVersionMS >> 16;
    const unsigned minor = version.m_dwFileVersionMS & 0xFFFF;
    const unsigned patch = version.m_dwFileVersionLS >> 16;
    const unsigned build = version.m_dwFileVersionLS & 0xFFFF;
    if (options.m_bFourParts)
        std::swprintf(buf, 64, L"%u.%u.%u.%u", major, minor, patch, build);
    else
        std::swprintf(buf, 64, L"%u.%u.%u", major, minor, patch);
    return text + buf;
}

} // namespace ostrel
