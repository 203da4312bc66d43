#pragma once
// The interface box through its class driver: device-interface discovery,
// a synchronous device file, and the two control requests for frames.
#include "box_port.h"
#include "unique_handle.h"

namespace torvex {

class CWin32BoxPort final : public IBoxPort {
public:
    int FindBox(std::string& strPath) override;
    int Open(const std::string& strPath) override;
    int WriteFrame(const uint8_t* pFrame) override;
    int ReadFrame(uint8_t* pFrame) override;
    int ReadStream(uint8_t* pBuffer, size_t nSize, size_t& nDone) override;
    int Close() override;
    bool IsOpen() const override { return static_cast<bool>(m_device); }

private:
    ostrel::CFileHandle m_device;
};

} // namespace torvex
