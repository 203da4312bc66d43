#include "installer_verify_win32.h"

#include "update_rules.h"

#include <windows.h>
// clang-format off
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>
#include <bcrypt.h>
// clang-format on

#include <vector>

namespace ostrel {

namespace {

struct SStore {
    HCERTSTORE m_h = nullptr;
    ~SStore() {
        if (m_h)
            ::CertCloseStore(m_h, 0);
    }
};
struct SMsg {
    HCRYPTMSG m_h = nullptr;
    ~SMsg() {
        if (m_h)
            ::CryptMsgClose(m_h);
    }
};
struct SCert {
    PCCERT_CONTEXT m_p = nullptr;
    ~SCert() {
        if (m_p)
            ::CertFreeCertificateContext(m_p);
    }
};

std::string Sha256Hex(const BYTE* pData, DWORD nSize) {
    BCRYPT_ALG_HANDLE hAlg = nullptr;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&hAlg, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return std::string();
    UCHAR digest[32] = {};
    BCRYPT_HASH_HANDLE hHash = nullptr;
    bool ok = BCRYPT_SUCCESS(::BCryptCreateHash(hAlg, &hHash, nullptr, 0, nullptr, 0, 0));
    ok = ok && BCRYPT_SUCCESS(::BCryptHashData(hHash, const_cast<PUCHAR>(pData), nSize, 0));
    ok = ok && BCRYPT_SUCCESS(::BCryptFinishHash(hHash, digest, sizeof digest, 0));
    if (hHash)
        ::BCryptDestroyHash(hHash);
    ::BCryptCloseAlgorithmProvider(hAlg, 0);
    if (!ok)
        return std::string();
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (UCHAR b : digest) {
        hex += kHex[b >> 4];
        hex += kHex[b & 15];
    }
    return hex;
}

LONG VerifyTrust(const std::wstring& path) {
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG status = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return status;
}

} // namespace

std::string SignerCertificateSha256(const std::wstring& path) {
    SStore store;
    SMsg msg;
    DWORD encoding = 0, content = 0, format = 0;
    if (!::CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(),
                            CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                            CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &content, &format,
                            &store.m_h, &msg.m_h, nullptr))
        return std::string();
    DWORD size = 0;
    if (!::CryptMsgGetParam(msg.m_h, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) || size == 0)
        return std::string();
    std::vector<BYTE> buffer(size);
    if (!::CryptMsgGetParam(msg.m_h, CMSG_SIGNER_INFO_PARAM, 0, buffer.data(), &size))
        return std::string();
    const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
    CERT_INFO wanted{};
    wanted.Issuer = signer->Issuer;
    wanted.SerialNumber = signer->SerialNumber;
    SCert cert;
    cert.m_p = ::CertFindCertificateInStore(store.m_h, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                            CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
    if (!cert.m_p)
        return std::string();
    return Sha256Hex(cert.m_p->pbCertEncoded, cert.m_p->cbCertEncoded);
}

EInstallerCheck CheckInstaller(const std::wstring& path, const std::string& pins) {
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return EInstallerCheck::Unreadable;
    const LONG status = VerifyTrust(path);
    if (status == static_cast<LONG>(TRUST_E_NOSIGNATURE) ||
        status == static_cast<LONG>(TRUST_E_SUBJECT_FORM_UNKNOWN) ||
        status == static_cast<LONG>(TRUST_E_PROVIDER_UNKNOWN))
        return EInstallerCheck::Unsigned;
    if (status != ERROR_SUCCESS)
        return EInstallerCheck::BadSignature;
    if (!MatchesPinnedSigner(SignerCertificateSha256(path), pins))
        return EInstallerCheck::WrongSigner;
    return EInstallerCheck::Trusted;
}

} // namespace ostrel
