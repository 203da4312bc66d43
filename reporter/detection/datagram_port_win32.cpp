// <winsock2.h> must come before <windows.h>, which the owners' header brings.
#include <winsock2.h>

#include "datagram_port_win32.h"

#include <windows.h>

namespace ostrel {

uintptr_t SSocketTraits::Empty() {
    return static_cast<uintptr_t>(INVALID_SOCKET);
}

void SSocketTraits::Close(uintptr_t s) {
    ::closesocket(static_cast<SOCKET>(s));
}

CDatagramPortWin32::~CDatagramPortWin32() {
    Close();
    while (m_nStartups > 0)
        Cleanup();
}

bool CDatagramPortWin32::Startup(int& nError) {
    WSADATA data{};
    nError = ::WSAStartup(MAKEWORD(2, 2), &data);
    if (nError != 0)
        return false;
    ++m_nStartups;
    return true;
}

void CDatagramPortWin32::Cleanup() {
    if (m_nStartups > 0) {
        ::WSACleanup();
        --m_nStartups;
    }
}

bool CDatagramPortWin32::Listen(const std::string& bindAddress, uint16_t nPort, uintptr_t hWnd,
                                unsigned nMessage, int& nError) {
    Close();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(nPort);
    address.sin_addr.s_addr = ::inet_addr(bindAddress.c_str());
    if (address.sin_addr.s_addr == INADDR_NONE) {
        const hostent* pHost = ::gethostbyname(bindAddress.c_str());
        address.sin_addr.s_addr =
            pHost && pHost->h_addr_list[0] ? *reinterpret_cast<u_long*>(pHost->h_addr_list[0]) : 0;
    }
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        nError = ::WSAGetLastError();
        return false;
    }
    if (::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR) {
        nError = ::WSAGetLastError();
        ::closesocket(s);
        return false;
    }
    if (::WSAAsyncSelect(s, reinterpret_cast<HWND>(hWnd), nMessage, FD_READ) == SOCKET_ERROR) {
        nError = ::WSAGetLastError();
        ::closesocket(s);
        return false;
    }
    m_socket.reset(static_cast<uintptr_t>(s));
    m_hWnd = hWnd;
    return true;
}

int CDatagramPortWin32::Receive(uint8_t* buffer, size_t size) {
    if (!IsOpen())
        return -1;
    sockaddr_in from{};
    int nFrom = sizeof from;
    const int n = ::recvfrom(static_cast<SOCKET>(m_socket.get()), reinterpret_cast<char*>(buffer),
                             static_cast<int>(size), 0, reinterpret_cast<sockaddr*>(&from), &nFrom);
    return n == SOCKET_ERROR ? -1 : n;
}

void CDatagramPortWin32::Close() {
    if (!IsOpen())
        return;
    // Notifications stop before the socket goes.
    ::WSAAsyncSelect(static_cast<SOCKET>(m_socket.get()), reinterpret_cast<HWND>(m_hWnd), 0, 0);
    m_socket.reset();
    m_hWnd = 0;
}

bool CDatagramPortWin32::IsOpen() const {
    return static_cast<bool>(m_socket);
}

} // namespace ostrel
