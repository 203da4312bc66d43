#pragma once
// Version text of a program file: "v." or "ß." and three or four numbers,
// optionally after the file name and " - ".
#include <cstdint>
#include <string>

namespace ostrel {

struct SFileVersion {
    uint32_t m_dwFileVersionMS = 0;
    uint32_t m_dwFileVersionLS = 0;
    uint32_t m_dwFileFlags = 0;
};

constexpr uint32_t kFileFlagPreRelease = 0x2;

// What the text holds; by default the version alone, in three parts:
// SVersionTextOptions().WithName().FourParts() gives "Ostrel.exe - v.2.30.1.0".
struct SVersionTextOptions {
    bool m_bIncludeName = false; // the file name and " - " first
    bool m_bFourParts = false;   // major.minor.build.revision instead of major.minor.build

    SVersionTextOptions& WithName() {
        m_bIncludeName = true;
        return *this;
    }
    SVersionTextOptions& FourParts() {
        m_bFourParts = true;
        return *this;
    }
};

// Everything after the last backslash, or the whole path when there is none.
std::wstring FileNameOfPath(const std::wstring& path);

std::wstring FormatVersionText(const std::wstring& path, const SFileVersion& version,
                               const SVersionTextOptions& options);

// Reads the version resource of a program file (Windows only; the host build
// has no version resources and always answers false).
bool GetFileVersionText(const std::wstring& path, const SVersionTextOptions& options,
                        std::wstring& text);

} // namespace ostrel
