#pragma once
// The server's device ports served by simulated devices.
#include "box_port.h"
#include "box_simulator.h"
#include "serial_port.h"
#include "wireless_simulator.h"

#include <string>

namespace torvex::sim {

// The box's class driver with zero or one simulated box present.
class CSimBoxPort final : public IBoxPort {
public:
    explicit CSimBoxPort(CBoxSimulator* pBox) : m_pBox(pBox) {}

    int FindBox(std::string& strPath) override;
    int Open(const std::string& strPath) override;
    int WriteFrame(const uint8_t* pFrame) override;
    int ReadFrame(uint8_t* pFrame) override;
    int ReadStream(uint8_t* pBuffer, size_t nSize, size_t& nDone) override;
    int Close() override;
    bool IsOpen() const override { return m_bOpen; }

    int OpenCount() const { return m_nOpens; }

private:
    CBoxSimulator* m_pBox;
    bool m_bOpen = false;
    int m_nOpens = 0;
};

// A serial port whose far end is the simulated wireless sensor; only the
// port name given serves it, every other name does not exist.
class CSimSerialPort final : public ISerialPort {
public:
    CSimSerialPort(const std::string& strName, CWirelessSimulator* pSensor)
        : m_strName(strName), m_pSensor(pSensor) {}

    int Open(const std::string& strName) override;
    bool IsOpen() const override { return m_bOpen; }
    void Close() override;
    int Purge() override;
    int StartWrite(const uint8_t* pData, size_t nSize, size_t& nDone) override;
    int StartRead(uint8_t* pBuffer, size_t nSize, size_t& nDone) override;
    int QueryRequest(size_t& nDone) override;
    void EndRequest() override;
    void CancelIo() override {}

    int OpenCount() const { return m_nOpens; }
    bool RequestRunning() const { return m_pReadBuffer != nullptr || m_bRequest; }

private:
    std::string m_strName;
    CWirelessSimulator* m_pSensor;
    bool m_bOpen = false;
    int m_nOpens = 0;
    bool m_bRequest = false;
    uint8_t* m_pReadBuffer = nullptr;
    size_t m_nReadSize = 0;
};

} // namespace torvex::sim
