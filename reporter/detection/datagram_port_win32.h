#pragma once
// The plate-scanner listener's socket on Win32: Winsock 2.2, a UDP socket
// bound to the port, read events posted to a window (WSAAsyncSelect).
#include "plate_scanner_ports.h"
#include "unique_handle.h"

#include <cstdint>

namespace ostrel {

// A SOCKET kept as an integer, so that this header needs no socket headers.
struct SSocketTraits {
    static uintptr_t Empty();
    static void Close(uintptr_t s);
};
using CSocket = CUniqueResource<uintptr_t, SSocketTraits>;

class CDatagramPortWin32 : public IDatagramPort {
public:
    CDatagramPortWin32() = default;
    ~CDatagramPortWin32() override;
    CDatagramPortWin32(const CDatagramPortWin32&) = delete;
    CDatagramPortWin32& operator=(const CDatagramPortWin32&) = delete;

    bool Startup(int& nError) override;
    void Cleanup() override;
    bool Listen(const std::string& bindAddress, uint16_t nPort, uintptr_t hWnd, unsigned nMessage,
                int& nError) override;
    int Receive(uint8_t* buffer, size_t size) override;
    void Close() override;
    bool IsOpen() const override;

private:
    CSocket m_socket;
    uintptr_t m_hWnd = 0;
    int m_nStartups = 0;
};

} // namespace ostrel
