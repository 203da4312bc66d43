#pragma once
// Checks a downloaded installer before it may run: an intact Authenticode
// signature (WinVerifyTrust) by the pinned signer. Under Wine WinVerifyTrust
// accepts any intact signature, trusted or not, so the pin is what keeps
// another signer out there; on Windows both must hold.
#include <string>

namespace ostrel {

enum class EInstallerCheck {
    Trusted,
    Unreadable,   // the file cannot be opened or read
    Unsigned,     // no signature at all
    BadSignature, // tampered, or refused by the system's trust policy
    WrongSigner,  // an intact signature by a certificate that is not pinned
};

// pins: SHA-256 digests of the accepted signer certificates (DER), ';'-separated.
[[nodiscard]] EInstallerCheck CheckInstaller(const std::wstring& path, const std::string& pins);

// SHA-256 of the certificate that signed the file, lower-case hex; empty when
// the file carries no readable signer.
std::string SignerCertificateSha256(const std::wstring& path);

} // namespace ostrel
