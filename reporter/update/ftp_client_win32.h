#pragma once
// WinINet FTP to the update server, behind a Winsock pre-connect: WinINet's
// own time-outs do nothing under Wine (a silent address holds it for about
// 135 s, a server that accepts and never greets for 60 s), so the server has
// to accept and greet within a bounded time first.
#include "unique_handle.h"
#include "update_config.h"
#include "update_rules.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

namespace ostrel {

struct SInternetTraits {
    static HINTERNET Empty() { return nullptr; }
    static void Close(HINTERNET h) { ::InternetCloseHandle(h); }
};
using CInternetHandle = CUniqueResource<HINTERNET, SInternetTraits>;

// True when a TCP connection to the address is accepted and the server sends
// its "220" greeting within nLimitMs (name lookup included). The probe
// connection is closed again; WinINet makes its own.
[[nodiscard]] bool ServerGreetsWithin(const SServerAddress& address, uint32_t nLimitMs);

class CFtpClient {
public:
    CFtpClient() = default;
    CFtpClient(const CFtpClient&) = delete;
    CFtpClient& operator=(const CFtpClient&) = delete;

    // Pre-connect, then the internet handle (agent "Ostrel", direct access)
    // and the FTP connection with the configured login. False, with nothing
    // open, when any of it fails.
    [[nodiscard]] bool Connect(const SUpdateConfig& config);

    // Copies a server file to a local one (overwritten), image transfer, no cache.
    [[nodiscard]] bool GetFile(const wchar_t* pszRemote, const std::wstring& local);

    // The size by "TYPE I" and "SIZE" (FtpGetFileSize answers 0 under Wine).
    [[nodiscard]] bool QuerySize(const wchar_t* pszRemote, uint64_t& size);

    // Opens a server file for reading, image transfer, no cache.
    [[nodiscard]] bool OpenRemote(const wchar_t* pszRemote);
    // InternetReadFile on the open file: may block without limit; a dropped
    // connection reads as the end of the file.
    [[nodiscard]] bool Read(void* pBuffer, DWORD nMax, DWORD& nGot);

private:
    // Declared in opening order, so they close file first, internet last.
    CInternetHandle m_hInternet;
    CInternetHandle m_hConnect;
    CInternetHandle m_hFile;
};

} // namespace ostrel
