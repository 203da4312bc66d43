#pragma once
// Parsers of the mailbox's DATA text. The mailbox is written by other
// programs, so every input is possible: these never read past the text and
// never fail other than by returning fewer fields.
//
// Numbers follow the C library's scanning rules as the mailbox's writers
// expect them: blanks before a number are skipped, then an optional sign and
// at least one decimal digit; ";" between fields must follow at once. Only
// ASCII blanks and digits count; any other byte ends the scan.
// Values too large for the field wrap modulo 2^32 (then are cut to the field).
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace torvex {

// How many "%d" fields separated by ";" were read, at most nMax, into pOut.
int ScanInts(const std::string& text, int* pOut, int nMax);

// "%hu;%hu": each number is read as unsigned (a "-" negates it) and cut to 16 bits.
int ScanUShorts(const std::string& text, uint16_t* pOut, int nMax);

// Integer value of a mailbox key: leading decimal number (sign allowed),
// 0 when none; an empty value gives the default.
int ProfileInt(const std::string& text, int nDefault);

// "%d;%d": two switches; missing fields stay 0.
struct SSwitchPair {
    int m_nFirst = 0;
    int m_nSecond = 0;
};
SSwitchPair ParseSwitchPair(const std::string& text);

// "%hu;%hu": two 16-bit values; missing fields stay 0.
struct SValuePair {
    uint16_t m_wFirst = 0;
    uint16_t m_wSecond = 0;
};
SValuePair ParseValuePair(const std::string& text);

// "%d;%d;%d;%d;%d;%d;%d;%d": a frame only when all eight numbers are read,
// each cut to its low byte.
std::optional<std::array<uint8_t, 8>> ParseFrameText(const std::string& text);

// ReadImage: "%d;%d;%d" with default "3"; no preview when both positions are 0.
struct SImageRequest {
    bool m_bModeRead = false;
    int m_nMode = 3;
    bool m_bPreview = false;
    int m_nX = 0;
    int m_nY = 0;
};
SImageRequest ParseImageRequest(const std::string& text);

// InitLink's DATA names a serial port when it contains "\\.\COM".
bool NamesSerialPort(const std::string& text);

} // namespace torvex
