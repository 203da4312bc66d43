#pragma once
// AccessPage's DATA ("mode;request;value;length") and PAGE ("b;b;...")
// texts. Written by other programs: every input is possible, and anything
// that does not fit the 256-byte page buffer is refused, never cut.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace torvex {

constexpr size_t kPageBufferSize = 256;

struct SPageRequest {
    bool m_bWrite = false;    // mode "W" or "w"; any other mode reads
    bool m_bReadMode = false; // mode "R" or "r"
    uint8_t m_nCode = 0;
    uint32_t m_nValue = 0;
    uint16_t m_nLength = 0; // 0..256
};

// Exactly four fields; request code 0..255, value 0..2^32-1 and length
// 0..256 as decimal numbers (blanks before them allowed, nothing after).
std::optional<SPageRequest> ParsePageRequest(const std::string& text);

// PAGE split at ";" until an empty field, each field's leading number cut to
// a byte (no number: 0). Null when more than 256 values are given.
std::optional<std::vector<uint8_t>> ParsePageBytes(const std::string& text);

// The bytes as decimal numbers separated by ";".
std::string PageBytesText(const uint8_t* pData, size_t nSize);

} // namespace torvex
