#pragma once
// What the update check needs to know about the deployment, and its limits.
#include <cstdint>
#include <string>

namespace ostrel {

struct SUpdateConfig {
    std::wstring m_strServer; // "host" or "host:port"
    std::wstring m_strUser;
    std::wstring m_strPassword;
    std::string m_strSignerPins; // SHA-256 of accepted signer certificates, ';'-separated
    // The server must accept and greet within this time before WinINet,
    // whose own time-outs do nothing under Wine, is let near it.
    uint32_t m_nGreetingLimitMs = 3000;
    // The whole check (greeting, login, version file); past it the dialog
    // gives up as if no update existed.
    uint32_t m_nCheckLimitMs = 8000;
    // A download with no byte for this long fails.
    uint32_t m_nStallLimitMs = 20000;
};

// The values this build was made with (CMake cache settings).
SUpdateConfig DeploymentUpdateConfig();

} // namespace ostrel
