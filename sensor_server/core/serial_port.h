#pragma once
// The wireless sensor's serial port with overlapped requests. The transport
// runs the time limits; the port only starts, asks and cancels.
#include <cstddef>
#include <cstdint>
#include <string>

namespace torvex {

class ISerialPort {
public:
    virtual ~ISerialPort() = default;
    // Opens read/write, not shared, existing, overlapped, then sets the line:
    // baud-rate field 512, binary mode, RTS handshaking; the rest as the port
    // had it. 0 or a platform code; on failure the port is closed.
    virtual int Open(const std::string& strName) = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;
    // Aborts and clears both directions. 0 or a platform code.
    virtual int Purge() = 0;
    // Starts one overlapped request (a manual-reset event is created for it).
    // Returns 0 when it completed at once (nDone bytes), kIoPending when it
    // runs on, else a platform code. A read fills pBuffer, which must stay
    // valid until EndRequest; fewer bytes than asked may arrive.
    virtual int StartWrite(const uint8_t* pData, size_t nSize, size_t& nDone) = 0;
    virtual int StartRead(uint8_t* pBuffer, size_t nSize, size_t& nDone) = 0;
    // Asks the running request without waiting: 0 done (nDone bytes),
    // kIoIncomplete still running, else a platform code.
    virtual int QueryRequest(size_t& nDone) = 0;
    // Cancels pending port I/O and frees the request's event.
    virtual void EndRequest() = 0;
    // Cancels pending port I/O without a request of ours running.
    virtual void CancelIo() = 0;
};

} // namespace torvex
