#pragma once
// Portable rules of the update check: version comparison, the FTP SIZE reply,
// the server address and the pinned signer.
#include <cstdint>
#include <string>
#include <vector>

namespace ostrel {

// Numbers of a version text such as "2.31.0.0", "v.2.31.0.0" or "ß.2.30.1.0"
// (a leading "v" or "ß" label is dropped). False, with nothing stored, unless
// the rest is one to four decimal numbers below 2^32 separated by single
// dots; blanks around the whole text are ignored.
[[nodiscard]] bool ParseVersionNumbers(const std::wstring& text, std::vector<uint32_t>& numbers);

// Compares part by part as numbers, missing parts counting as 0:
// 2.3.1 < 2.30.1.0 < 2.31.0.0 < 10.0.0.0, and 2.3.1 == 2.3.1.0.
// Returns <0, 0 or >0.
int CompareVersionNumbers(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);

// True exactly when both texts parse and the remote version is newer than
// the local one; an empty or unreadable remote version never is.
bool IsNewerVersion(const std::wstring& remote, const std::wstring& local);

// The byte count of an FTP "213 <n>" reply to SIZE, as the last response
// text gives it (possibly several lines, CR LF or LF). False when no line
// holds a 213 reply with a plain decimal number.
[[nodiscard]] bool ParseSizeReply(const std::wstring& response, uint64_t& size);

struct SServerAddress {
    std::wstring m_strHost;
    uint16_t m_nPort = 21;
};

// "host" (port 21) or "host:port" with port 1..65535; "[v6-address]:port"
// for a literal IPv6 address. False for an empty host or a bad port.
[[nodiscard]] bool ParseServerAddress(const std::wstring& text, SServerAddress& address);

// Lower-case hex without separators (blanks and colons dropped); empty when
// the text is not 32 hex bytes (a SHA-256 digest).
std::string NormaliseSha256Hex(const std::string& text);

// Pins are separated by ';' (room for a second certificate while the
// signer changes). True when the signer's digest equals one valid pin.
bool MatchesPinnedSigner(const std::string& signerSha256, const std::string& pins);

} // namespace ostrel
