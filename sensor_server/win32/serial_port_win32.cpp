#include "serial_port_win32.h"

#include "last_error.h"
#include "status_codes.h"

namespace torvex {

namespace {
// The line speed the wireless link is set to (the link itself is Bluetooth).
constexpr DWORD kBaudRateField = 512;
} // namespace

int CWin32SerialPort::Open(const std::string& strName) {
    Close();
    m_port.reset(::CreateFileA(strName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!m_port)
        return ostrel::LastErrorCode();
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(m_port.get(), &dcb)) {
        const int nCode = ostrel::LastErrorCode();
        m_port.reset();
        return nCode;
    }
    dcb.BaudRate = kBaudRateField;
    dcb.fBinary = TRUE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    if (!::SetCommState(m_port.get(), &dcb)) {
        const int nCode = ostrel::LastErrorCode();
        m_port.reset();
        return nCode;
    }
    return kOk;
}

void CWin32SerialPort::Close() {
    EndRequest();
    m_port.reset();
}

int CWin32SerialPort::Purge() {
    if (!::PurgeComm(m_port.get(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        return ostrel::LastErrorCode();
    return kOk;
}

int CWin32SerialPort::Start(bool bWrite, uint8_t* pBuffer, size_t nSize, size_t& nDone) {
    EndRequest();
    nDone = 0;
    m_event.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_event)
        return ostrel::LastErrorCode();
    m_overlapped = OVERLAPPED{};
    m_overlapped.hEvent = m_event.get();
    DWORD n = 0;
    const BOOL bDone =
        bWrite ? ::WriteFile(m_port.get(), pBuffer, static_cast<DWORD>(nSize), &n, &m_overlapped)
               : ::ReadFile(m_port.get(), pBuffer, static_cast<DWORD>(nSize), &n, &m_overlapped);
    if (bDone) {
        nDone = n;
        return kOk;
    }
    const int nErr = ostrel::LastErrorCode();
    if (nErr == ERROR_IO_PENDING) {
        m_bRunning = true;
        return kIoPending;
    }
    return nErr;
}

int CWin32SerialPort::StartWrite(const uint8_t* pData, size_t nSize, size_t& nDone) {
    // WriteFile only reads the buffer.
    return Start(true, const_cast<uint8_t*>(pData), nSize, nDone);
}

int CWin32SerialPort::StartRead(uint8_t* pBuffer, size_t nSize, size_t& nDone) {
    return Start(false, pBuffer, nSize, nDone);
}

int CWin32SerialPort::QueryRequest(size_t& nDone) {
    if (!m_bRunning)
        return kOk;
    if (!HasOverlappedIoCompleted(&m_overlapped))
        return kIoIncomplete;
    DWORD n = 0;
    if (!::GetOverlappedResult(m_port.get(), &m_overlapped, &n, FALSE))
        return ostrel::LastErrorCode();
    m_bRunning = false;
    nDone = n;
    return kOk;
}

void CWin32SerialPort::EndRequest() {
    if (m_bRunning && m_port) {
        ::CancelIo(m_port.get());
        // The cancelled request may still be finishing: wait until it no
        // longer touches the caller's buffer.
        DWORD n = 0;
        ::GetOverlappedResult(m_port.get(), &m_overlapped, &n, TRUE);
    }
    m_bRunning = false;
    m_event.reset();
}

void CWin32SerialPort::CancelIo() {
    if (m_port)
        ::CancelIo(m_port.get());
}

} // namespace torvex
