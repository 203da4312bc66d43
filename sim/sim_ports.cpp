#include "sim_ports.h"

#include "status_codes.h"

#include <cctype>

namespace torvex::sim {

namespace {

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

int CSimBoxPort::FindBox(std::string& strPath) {
    if (!m_pBox || !m_pBox->Present())
        return kNoMoreDevices;
    strPath = m_pBox->DevicePath();
    return kOk;
}

int CSimBoxPort::Open(const std::string& strPath) {
    if (!m_pBox || !m_pBox->Present() || !SameText(strPath, m_pBox->DevicePath()))
        return kErrFileNotFound;
    if (m_bOpen)
        return kErrSharingViolation; // opened without sharing
    m_bOpen = true;
    ++m_nOpens;
    return kOk;
}

int CSimBoxPort::WriteFrame(const uint8_t* pFrame) {
    return m_bOpen ? m_pBox->Write(pFrame) : kErrDeviceNotConnected;
}

int CSimBoxPort::ReadFrame(uint8_t* pFrame) {
    return m_bOpen ? m_pBox->Read(pFrame) : kErrDeviceNotConnected;
}

int CSimBoxPort::ReadStream(uint8_t* pBuffer, size_t nSize, size_t& nDone) {
    nDone = 0;
    return m_bOpen ? m_pBox->ReadStream(pBuffer, nSize, nDone) : kErrDeviceNotConnected;
}

int CSimBoxPort::Close() {
    if (m_bOpen) {
        m_bOpen = false;
        --m_nOpens;
    }
    return kOk;
}

int CSimSerialPort::Open(const std::string& strName) {
    if (!m_pSensor || m_pSensor->Gone() || !SameText(strName, m_strName))
        return kErrFileNotFound;
    if (m_bOpen)
        return kErrSharingViolation;
    m_bOpen = true;
    ++m_nOpens;
    return kOk;
}

void CSimSerialPort::Close() {
    if (m_bOpen) {
        m_bOpen = false;
        --m_nOpens;
    }
    m_pReadBuffer = nullptr;
    m_bRequest = false;
}

int CSimSerialPort::Purge() {
    if (!m_bOpen || m_pSensor->Gone())
        return kErrDeviceNotConnected;
    m_pSensor->Purge();
    return kOk;
}

int CSimSerialPort::StartWrite(const uint8_t* pData, size_t nSize, size_t& nDone) {
    if (!m_bOpen || m_pSensor->Gone())
        return kErrDeviceNotConnected;
    m_bRequest = true;
    m_pSensor->Receive(pData, nSize);
    nDone = nSize;
    return kOk;
}

int CSimSerialPort::StartRead(uint8_t* pBuffer, size_t nSize, size_t& nDone) {
    if (!m_bOpen || m_pSensor->Gone())
        return kErrDeviceNotConnected;
    m_bRequest = true;
    m_pReadBuffer = pBuffer;
    m_nReadSize = nSize;
    nDone = 0;
    const int nCode = QueryRequest(nDone);
    return nCode == kIoIncomplete ? kIoPending : nCode;
}

int CSimSerialPort::QueryRequest(size_t& nDone) {
    if (!m_pReadBuffer)
        return kOk;
    if (m_pSensor->Gone())
        return kErrDeviceNotConnected;
    // Like a port without read time-outs: done once all bytes are there.
    if (m_pSensor->Available() < m_nReadSize)
        return kIoIncomplete;
    nDone = m_pSensor->Take(m_pReadBuffer, m_nReadSize);
    m_pReadBuffer = nullptr;
    return kOk;
}

void CSimSerialPort::EndRequest() {
    m_pReadBuffer = nullptr;
    m_bRequest = false;
}

} // namespace torvex::sim
