#include "update_rules.h"

#include <cctype>

namespace ostrel {

namespace {

std::wstring Trimmed(const std::wstring& text) {
    const wchar_t* const blanks = L" \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring::npos)
        return std::wstring();
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool ParseDecimal(const std::wstring& text, uint64_t limit, uint64_t& value) {
    if (text.empty())
        return false;
    uint64_t n = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        n = n * 10 + static_cast<uint64_t>(c - L'0');
        if (n > limit)
            return false;
    }
    value = n;
    return true;
}

} // namespace

bool ParseVersionNumbers(const std::wstring& text, std::vector<uint32_t>& numbers) {
    std::wstring rest = Trimmed(text);
    for (const wchar_t* label : {L"v.", L"\u00DF."}) {
        if (rest.compare(0, 2, label) == 0) {
            rest.erase(0, 2);
            break;
        }
    }
    std::vector<uint32_t> parsed;
    size_t start = 0;
    while (true) {
        const size_t dot = rest.find(L'.', start);
        uint64_t value = 0;
        if (!ParseDecimal(rest.substr(start, dot - start), 0xFFFFFFFFull, value))
            return false;
        parsed.push_back(static_cast<uint32_t>(value));
        if (parsed.size() > 4)
            return false;
        if (dot == std::wstring::npos)
            break;
        start = dot + 1;
    }
    numbers = parsed;
    return true;
}

int CompareVersionNumbers(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    const size_t n = a.size() > b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const uint32_t x = i < a.size() ? a[i] : 0;
        const uint32_t y = i < b.size() ? b[i] : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

bool IsNewerVersion(const std::wstring& remote, const std::wstring& local) {
    std::vector<uint32_t> r, l;
    if (!ParseVersionNumbers(remote, r) || !ParseVersionNumbers(local, l))
        return false;
    return CompareVersionNumbers(r, l) > 0;
}

bool ParseSizeReply(const std::wstring& response, uint64_t& size) {
    size_t start = 0;
    while (start < response.size()) {
        size_t end = response.find(L'\n', start);
        if (end == std::wstring::npos)
            end = response.size();
        const std::wstring line = Trimmed(response.substr(start, end - start));
        start = end + 1;
        if (line.compare(0, 4, L"213 ") != 0)
            continue;
        uint64_t value = 0;
        if (ParseDecimal(Trimmed(line.substr(4)), 0xFFFFFFFFFFFFull, value)) {
            size = value;
            return true;
        }
    }
    return false;
}

bool ParseServerAddress(const std::wstring& text, SServerAddress& address) {
    std::wstring host;
    std::wstring port;
    if (!text.empty() && text[0] == L'[') {
        const size_t close = text.find(L']');
        if (close == std::wstring::npos)
            return false;
        host = text.substr(1, close - 1);
        const std::wstring tail = text.substr(close + 1);
        if (!tail.empty()) {
            if (tail[0] != L':')
                return false;
            port = tail.substr(1);
            if (port.empty())
                return false;
        }
    } else {
        const size_t colon = text.find(L':');
        if (colon != std::wstring::npos && text.find(L':', colon + 1) != std::wstring::npos)
            return false; // a bare IPv6 address needs brackets
        host = text.substr(0, colon);
        if (colon != std::wstring::npos) {
            port = text.substr(colon + 1);
            if (port.empty())
                return false;
        }
    }
    if (host.empty() || host.find_first_of(L" \t") != std::wstring::npos)
        return false;
    uint64_t number = 21;
    if (!port.empty() && (!ParseDecimal(port, 65535, number) || number == 0))
        return false;
    address.m_strHost = host;
    address.m_nPort = static_cast<uint16_t>(number);
    return true;
}

std::string NormaliseSha256Hex(const std::string& text) {
    std::string hex;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == '\t')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::string();
        hex += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return hex.size() == 64 ? hex : std::string();
}

bool MatchesPinnedSigner(const std::string& signerSha256, const std::string& pins) {
    const std::string signer = NormaliseSha256Hex(signerSha256);
    if (signer.empty())
        return false;
    size_t start = 0;
    while (start <= pins.size()) {
        size_t end = pins.find(';', start);
        if (end == std::string::npos)
            end = pins.size();
        const std::string pin = NormaliseSha256Hex(pins.substr(start, end - start));
        if (!pin.empty() && pin == signer)
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace ostrel
