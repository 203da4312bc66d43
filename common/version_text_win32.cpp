#include "version_text.h"

#include <windows.h>

#include <vector>

namespace ostrel {

bool GetFileVersionText(const std::wstring& path, const SVersionTextOptions& options,
                        std::wstring& text) {
    text.clear();
    DWORD dwHandle = 0;
    const DWORD dwSize = ::GetFileVersionInfoSizeW(path.c_str(), &dwHandle);
    if (dwSize == 0)
        return false;
    SFileVersion version;
    std::vector<BYTE> block(dwSize);
    // A block that cannot be read counts as version 0.0.0.0.
    if (::GetFileVersionInfoW(path.c_str(), 0, dwSize, block.data())) {
        VS_FIXEDFILEINFO* pInfo = nullptr;
        UINT uLen = 0;
        if (::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&pInfo), &uLen) &&
            pInfo && uLen >= sizeof(VS_FIXEDFILEINFO)) {
            version.m_dwFileVersionMS = pInfo->dwFileVersionMS;
            version.m_dwFileVersionLS = pInfo->dwFileVersionLS;
            version.m_dwFileFlags = pInfo->dwFileFlags;
        }
    }
    text = FormatVersionText(path, version, options);
    return true;
}

} // namespace ostrel
