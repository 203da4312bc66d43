#pragma once
// The plate scanners' two ports: the first generation's ActiveX control
// hosted by the form, and the datagram socket of the second generation's
// announcements.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ostrel {

// One dispatch argument: a 32-bit integer or a string.
struct SDispatchArg {
    bool m_bString = false;
    int32_t m_nValue = 0;
    std::wstring m_strValue;
};

class IPlateScannerControl {
public:
    virtual ~IPlateScannerControl() = default;
    // Whether the form's host holds a created control.
    virtual bool HasWindow() = 0;
    // Dispatch method call with the arguments in their written order. False
    // when the call fails or the result is not convertible; result untouched then.
    virtual bool CallInt(int nDispId, const std::vector<SDispatchArg>& args, int32_t& nResult) = 0;
    virtual bool CallText(int nDispId, std::wstring& result) = 0;
};

// A UDP socket that posts a window message when a datagram can be read.
class IDatagramPort {
public:
    virtual ~IDatagramPort() = default;
    // Starts the socket library, version 2.2; error set on failure.
    virtual bool Startup(int& nError) = 0;
    virtual void Cleanup() = 0;
    // Converts bindAddress (dotted number, else a host-name look-up, else all
    // zero), creates a UDP socket, binds it to the address and port and asks
    // for message to hWnd on read events only. On failure error holds the
    // platform's code and no socket stays open.
    virtual bool Listen(const std::string& bindAddress, uint16_t nPort, uintptr_t hWnd,
                        unsigned nMessage, int& nError) = 0;
    // Receives one datagram into buffer; its length, or 0 when nothing came,
    // or -1 on error (a datagram longer than size is an error and is consumed).
    virtual int Receive(uint8_t* buffer, size_t size) = 0;
    // Cancels the notifications and closes the socket; nothing when none is open.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
};

} // namespace ostrel
