#pragma once
// The wireless sensor's serial port: a device file opened for overlapped
// I/O; one request at a time, whose OVERLAPPED lives here until it ends.
#include "serial_port.h"
#include "unique_handle.h"

#include <windows.h>

namespace torvex {

class CWin32SerialPort final : public ISerialPort {
public:
    ~CWin32SerialPort() override { Close(); }
    int Open(const std::string& strName) override;
    bool IsOpen() const override { return static_cast<bool>(m_port); }
    void Close() override;
    int Purge() override;
    int StartWrite(const uint8_t* pData, size_t nSize, size_t& nDone) override;
    int StartRead(uint8_t* pBuffer, size_t nSize, size_t& nDone) override;
    int QueryRequest(size_t& nDone) override;
    void EndRequest() override;
    void CancelIo() override;

private:
    int Start(bool bWrite, uint8_t* pBuffer, size_t nSize, size_t& nDone);

    ostrel::CFileHandle m_port;
    ostrel::CKernelHandle m_event;
    OVERLAPPED m_overlapped{};
    bool m_bRunning = false; // a request may still touch its buffer
};

} // namespace torvex
