// Winsock before anything that pulls in <windows.h>.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "ftp_client_win32.h"

#include <cwchar>
#include <string>

namespace ostrel {

namespace {

struct SSocketTraits {
    static SOCKET Empty() { return INVALID_SOCKET; }
    static void Close(SOCKET s) { ::closesocket(s); }
};
using CSocket = CUniqueResource<SOCKET, SSocketTraits>;

struct SAddrInfoTraits {
    static ADDRINFOW* Empty() { return nullptr; }
    static void Close(ADDRINFOW* p) { ::FreeAddrInfoW(p); }
};
using CAddrInfo = CUniqueResource<ADDRINFOW*, SAddrInfoTraits>;

class CWinsock {
public:
    CWinsock() {
        WSADATA data;
        m_bOk = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~CWinsock() {
        if (m_bOk)
            ::WSACleanup();
    }
    CWinsock(const CWinsock&) = delete;
    CWinsock& operator=(const CWinsock&) = delete;
    explicit operator bool() const { return m_bOk; }

private:
    bool m_bOk = false;
};

DWORD Remaining(ULONGLONG deadline) {
    const ULONGLONG now = ::GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// Waits until the socket is readable (bRead) or connected; false on time-out.
bool WaitSocket(SOCKET s, bool bRead, ULONGLONG deadline) {
    const DWORD ms = Remaining(deadline);
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval tv{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
    const int n = ::select(0, bRead ? &ready : nullptr, bRead ? nullptr : &ready, &failed, &tv);
    return n > 0 && FD_ISSET(s, &ready) && !FD_ISSET(s, &failed);
}

// A server that greets ("220", one line or the first of several) is ready;
// "120" asks to wait for the greeting; anything else (a busy server's 421)
// or silence until the deadline is no greeting.
bool ReadGreeting(SOCKET s, ULONGLONG deadline) {
    std::string text;
    while (Remaining(deadline) > 0 && text.size() < 4096) {
        if (!WaitSocket(s, true, deadline))
            return false;
        char buf[512];
        const int n = ::recv(s, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        text.append(buf, static_cast<size_t>(n));
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            if (text.compare(start, 3, "220") == 0)
                return true;
            if (text.compare(start, 3, "120") != 0)
                return false;
        }
        text.erase(0, start);
    }
    return false;
}

bool TryAddress(const ADDRINFOW* ai, ULONGLONG deadline) {
    CSocket s(::socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol));
    if (!s)
        return false;
    u_long nonBlocking = 1;
    if (::ioctlsocket(s.get(), FIONBIO, &nonBlocking) != 0)
        return false;
    if (::connect(s.get(), ai->ai_addr, static_cast<int>(ai->ai_addrlen)) != 0) {
        if (::WSAGetLastError() != WSAEWOULDBLOCK)
            return false; // a closed port answers at once
        if (!WaitSocket(s.get(), false, deadline))
            return false; // a silent address: nothing within the limit
        int err = 0;
        int len = sizeof err;
        if (::getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0 ||
            err != 0)
            return false;
    }
    return ReadGreeting(s.get(), deadline);
}

} // namespace

bool ServerGreetsWithin(const SServerAddress& address, uint32_t nLimitMs) {
    CWinsock winsock;
    if (!winsock)
        return false;
    const ULONGLONG deadline = ::GetTickCount64() + nLimitMs;
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    CAddrInfo list;
    const std::wstring port = std::to_wstring(address.m_nPort);
    if (::GetAddrInfoW(address.m_strHost.c_str(), port.c_str(), &hints, list.put()) != 0)
        return false;
    for (const ADDRINFOW* ai = list.get(); ai && Remaining(deadline) > 0; ai = ai->ai_next) {
        if (TryAddress(ai, deadline))
            return true;
    }
    return false;
}

bool CFtpClient::Connect(const SUpdateConfig& config) {
    SServerAddress address;
    if (!ParseServerAddress(config.m_strServer, address))
        return false;
    if (!ServerGreetsWithin(address, config.m_nGreetingLimitMs))
        return false;
    m_hInternet.reset(::InternetOpenW(L"Ostrel", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!m_hInternet)
        return false;
    // Asked for as on Windows, where they work; Wine accepts and ignores them.
    DWORD ms = 10000;
    DWORD retries = 1;
    ::InternetSetOptionW(m_hInternet.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &ms, sizeof ms);
    ::InternetSetOptionW(m_hInternet.get(), INTERNET_OPTION_CONTROL_RECEIVE_TIMEOUT, &ms,
                         sizeof ms);
    ::InternetSetOptionW(m_hInternet.get(), INTERNET_OPTION_CONTROL_SEND_TIMEOUT, &ms, sizeof ms);
    ::InternetSetOptionW(m_hInternet.get(), INTERNET_OPTION_CONNECT_RETRIES, &retries,
                         sizeof retries);
    m_hConnect.reset(::InternetConnectW(m_hInternet.get(), address.m_strHost.c_str(),
                                        address.m_nPort, config.m_strUser.c_str(),
                                        config.m_strPassword.c_str(), INTERNET_SERVICE_FTP, 0, 1));
    if (!m_hConnect) {
        m_hInternet.reset();
        return false;
    }
    return true;
}

bool CFtpClient::GetFile(const wchar_t* pszRemote, const std::wstring& local) {
    return ::FtpGetFileW(m_hConnect.get(), pszRemote, local.c_str(), FALSE, FILE_ATTRIBUTE_ARCHIVE,
                         FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 1) != FALSE;
}

bool CFtpClient::QuerySize(const wchar_t* pszRemote, uint64_t& size) {
    if (!::FtpCommandW(m_hConnect.get(), FALSE, FTP_TRANSFER_TYPE_BINARY, L"TYPE I", 1, nullptr))
        return false;
    const std::wstring command = std::wstring(L"SIZE ") + pszRemote;
    if (!::FtpCommandW(m_hConnect.get(), FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(), 1,
                       nullptr))
        return false;
    DWORD dwError = 0;
    wchar_t buf[512] = {};
    DWORD len = static_cast<DWORD>(sizeof buf / sizeof buf[0]);
    if (!::InternetGetLastResponseInfoW(&dwError, buf, &len))
        return false;
    // Wine counts the terminating zero in len: take the text up to it.
    return ParseSizeReply(std::wstring(buf, ::wcsnlen(buf, len < 512 ? len : 511)), size);
}

bool CFtpClient::OpenRemote(const wchar_t* pszRemote) {
    m_hFile.reset(::FtpOpenFileW(m_hConnect.get(), pszRemote, GENERIC_READ,
                                 FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 1));
    return static_cast<bool>(m_hFile);
}

bool CFtpClient::Read(void* pBuffer, DWORD nMax, DWORD& nGot) {
    nGot = 0;
    return ::InternetReadFile(m_hFile.get(), pBuffer, nMax, &nGot) != FALSE;
}

} // namespace ostrel
