#pragma once
// Serial writes and reads with their time limits: the port opens lazily, a
// request is polled every 100 ms, and a failed request closes the port so
// that the next exchange opens it again.
#include "clock.h"
#include "serial_port.h"

#include <cstdint>
#include <string>

namespace torvex {

constexpr uint32_t kSerialPollMs = 100;
constexpr uint32_t kSerialWriteLimitMs = 1000;
constexpr uint32_t kSerialReadLimitMs = 10000;

class CSerialLink {
public:
    CSerialLink(ISerialPort& port, IClock& clock) : m_port(port), m_clock(clock) {}

    // Opens strName when no port is open.
    int EnsureOpen(const std::string& strName);
    // 0 when all bytes went out; kIoPending on time-out; else a platform code.
    int Write(const std::string& strName, const uint8_t* pData, size_t nSize);
    // 0 with nDone bytes read (added to nByteCounter); kIoPending on time-out.
    int Read(const std::string& strName, uint8_t* pBuffer, size_t nSize, size_t& nDone,
             uint64_t& nByteCounter);
    int Purge();
    void CancelIo() { m_port.CancelIo(); }
    void Close() { m_port.Close(); }
    bool IsOpen() const { return m_port.IsOpen(); }

private:
    int Run(bool bWrite, const std::string& strName, uint8_t* pBuffer, size_t nSize,
            uint32_t nLimitMs, size_t& nDone);

    ISerialPort& m_port;
    IClock& m_clock;
};

} // namespace torvex
