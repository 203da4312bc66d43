#include "page_request.h"

#include "data_parsers.h"

namespace torvex {

namespace {

std::vector<std::string> SplitFields(const std::string& text) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(';', start);
        fields.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            return fields;
        start = end + 1;
    }
}

// Blanks, then decimal digits up to the end; at most nMax.
bool WholeNumber(const std::string& field, uint64_t nMax, uint64_t& nValue) {
    size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t'))
        ++i;
    if (i == field.size())
        return false;
    uint64_t n = 0;
    for (; i < field.size(); ++i) {
        if (field[i] < '0' || field[i] > '9')
            return false;
        n = n * 10 + static_cast<uint64_t>(field[i] - '0');
        if (n > nMax)
            return false;
    }
    nValue = n;
    return true;
}

} // namespace

std::optional<SPageRequest> ParsePageRequest(const std::string& text) {
    const std::vector<std::string> f = SplitFields(text);
    if (f.size() != 4)
        return std::nullopt;
    SPageRequest request;
    request.m_bWrite = f[0] == "W" || f[0] == "w";
    request.m_bReadMode = f[0] == "R" || f[0] == "r";
    uint64_t nCode = 0, nValue = 0, nLength = 0;
    if (!WholeNumber(f[1], 0xFF, nCode) || !WholeNumber(f[2], 0xFFFFFFFFu, nValue) ||
        !WholeNumber(f[3], kPageBufferSize, nLength))
        return std::nullopt;
    request.m_nCode = static_cast<uint8_t>(nCode);
    request.m_nValue = static_cast<uint32_t>(nValue);
    request.m_nLength = static_cast<uint16_t>(nLength);
    return request;
}

std::optional<std::vector<uint8_t>> ParsePageBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    if (text.empty())
        return bytes;
    for (const std::string& field : SplitFields(text)) {
        if (field.empty())
            break;
        if (bytes.size() == kPageBufferSize)
            return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(ProfileInt(field, 0)));
    }
    return bytes;
}

std::string PageBytesText(const uint8_t* pData, size_t nSize) {
    std::string text;
    for (size_t i = 0; i < nSize; ++i) {
        if (i > 0)
            text += ';';
        text += std::to_string(pData[i]);
    }
    return text;
}

} // namespace torvex
