#include "data_parsers.h"

namespace torvex {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// One number at pos: blanks, sign, digits. Returns false (pos unchanged) when
// no digit follows; the magnitude wraps modulo 2^32.
bool ScanNumber(const std::string& text, size_t& pos, uint32_t& nValue) {
    size_t i = pos;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool bNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        bNegative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !IsDigit(text[i]))
        return false;
    uint32_t n = 0;
    while (i < text.size() && IsDigit(text[i])) {
        n = n * 10u + static_cast<uint32_t>(text[i] - '0');
        ++i;
    }
    nValue = bNegative ? 0u - n : n;
    pos = i;
    return true;
}

// Reads up to nMax numbers separated by ";" into pOut via store(index, raw).
template <typename Store> int ScanFields(const std::string& text, int nMax, Store store) {
    size_t pos = 0;
    int nRead = 0;
    while (nRead < nMax) {
        if (nRead > 0) {
            if (pos >= text.size() || text[pos] != ';')
                break;
            ++pos;
        }
        uint32_t nRaw = 0;
        if (!ScanNumber(text, pos, nRaw))
            break;
        store(nRead, nRaw);
        ++nRead;
    }
    return nRead;
}

} // namespace

int ScanInts(const std::string& text, int* pOut, int nMax) {
    return ScanFields(text, nMax,
                      [pOut](int i, uint32_t nRaw) { pOut[i] = static_cast<int32_t>(nRaw); });
}

int ScanUShorts(const std::string& text, uint16_t* pOut, int nMax) {
    return ScanFields(text, nMax,
                      [pOut](int i, uint32_t nRaw) { pOut[i] = static_cast<uint16_t>(nRaw); });
}

int ProfileInt(const std::string& text, int nDefault) {
    if (text.empty())
        return nDefault;
    int n = 0;
    return ScanInts(text, &n, 1) == 1 ? n : 0;
}

SSwitchPair ParseSwitchPair(const std::string& text) {
    int values[2] = {0, 0};
    ScanInts(text, values, 2);
    return SSwitchPair{values[0], values[1]};
}

SValuePair ParseValuePair(const std::string& text) {
    uint16_t values[2] = {0, 0};
    ScanUShorts(text, values, 2);
    return SValuePair{values[0], values[1]};
}

std::optional<std::array<uint8_t, 8>> ParseFrameText(const std::string& text) {
    int values[8] = {};
    if (ScanInts(text, values, 8) != 8)
        return std::nullopt;
    std::array<uint8_t, 8> frame{};
    for (int i = 0; i < 8; ++i)
        frame[i] = static_cast<uint8_t>(values[i]);
    return frame;
}

SImageRequest ParseImageRequest(const std::string& text) {
    int values[3] = {3, 0, 0};
    SImageRequest request;
    const int nRead = ScanInts(text, values, 3);
    request.m_bModeRead = nRead >= 1;
    request.m_nMode = values[0];
    request.m_nX = values[1];
    request.m_nY = values[2];
    request.m_bPreview = request.m_nX != 0 || request.m_nY != 0;
    return request;
}

bool NamesSerialPort(const std::string& text) {
    return text.find("\\\\.\\COM") != std::string::npos;
}

} // namespace torvex
