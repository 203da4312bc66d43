#include "serial_link.h"

#include "status_codes.h"

namespace torvex {

int CSerialLink::EnsureOpen(const std::string& strName) {
    if (m_port.IsOpen())
        return kOk;
    return m_port.Open(strName);
}

int CSerialLink::Purge() {
    return m_port.Purge();
}

int CSerialLink::Run(bool bWrite, const std::string& strName, uint8_t* pBuffer, size_t nSize,
                     uint32_t nLimitMs, size_t& nDone) {
    nDone = 0;
    int nCode = EnsureOpen(strName);
    if (nCode != kOk)
        return nCode;
    const uint64_t nStart = m_clock.NowMs();
    nCode =
        bWrite ? m_port.StartWrite(pBuffer, nSize, nDone) : m_port.StartRead(pBuffer, nSize, nDone);
    while (nCode == kIoPending) {
        m_clock.SleepMs(kSerialPollMs);
        nCode = m_port.QueryRequest(nDone);
        if (nCode == kIoIncomplete)
            nCode = kIoPending;
        if (nCode == kIoPending && m_clock.NowMs() - nStart >= nLimitMs)
            break; // time-out: kIoPending is the answer
    }
    m_port.EndRequest();
    if (nCode != kOk)
        m_port.Close();
    return nCode;
}

int CSerialLink::Write(const std::string& strName, const uint8_t* pData, size_t nSize) {
    size_t nDone = 0;
    // The port only reads from the buffer on a write.
    return Run(true, strName, const_cast<uint8_t*>(pData), nSize, kSerialWriteLimitMs, nDone);
}

int CSerialLink::Read(const std::string& strName, uint8_t* pBuffer, size_t nSize, size_t& nDone,
                      uint64_t& nByteCounter) {
    const int nCode = Run(false, strName, pBuffer, nSize, kSerialReadLimitMs, nDone);
    if (nCode == kOk)
        nByteCounter += nDone;
    return nCode;
}

} // namespace torvex
