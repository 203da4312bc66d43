#include "usb_sim.h"

#include <algorithm>
#include <cstdio>

namespace torvex::sim {

namespace dp = proto::direct;

namespace {

class CSimUsbDevice final : public IUsbDevice {
public:
    explicit CSimUsbDevice(CSimUsbBus& bus) : m_bus(bus) { m_bus.Born(); }
    ~CSimUsbDevice() override { m_bus.Died(); }

    int DeviceCount() override { return static_cast<int>(m_bus.Present().size()); }
    bool Open(int nIndex) override {
        Close();
        const std::vector<CDirectSensor*> present = m_bus.Present();
        if (nIndex < 0 || static_cast<size_t>(nIndex) >= present.size())
            return false;
        m_pSensor = present[static_cast<size_t>(nIndex)];
        m_strPath = SimDirectPath(*m_pSensor);
        return true;
    }
    bool IsOpen() const override { return m_pSensor && m_pSensor->Present(); }
    uint16_t VendorId() const override { return m_pSensor ? dp::kVendorId : 0; }
    uint16_t ProductId() const override { return m_pSensor ? dp::kProductId : 0; }
    std::string DevicePath() const override { return m_strPath; }
    bool HasEndpoint(uint8_t nAddress) const override {
        if (!m_pSensor)
            return false;
        const auto& missing = m_bus.m_missingEndpoints;
        if (std::find(missing.begin(), missing.end(), nAddress) != missing.end())
            return false;
        return nAddress == dp::kEpRequest || nAddress == dp::kEpReply ||
               nAddress == dp::kEpStatus || nAddress == dp::kEpImage;
    }
    void SetTimeout(uint8_t, uint32_t) override {}
    bool Transfer(uint8_t nAddress, uint8_t* pBuffer, size_t& nLength) override {
        if (!IsOpen() || !HasEndpoint(nAddress))
            return false;
        return (nAddress & 0x80) ? m_pSensor->HostRead(nAddress, pBuffer, nLength)
                                 : m_pSensor->HostWrite(nAddress, pBuffer, nLength);
    }
    void Close() override { m_pSensor = nullptr; }

private:
    CSimUsbBus& m_bus;
    CDirectSensor* m_pSensor = nullptr;
    std::string m_strPath;
};

} // namespace

CDirectSensor& CSimUsbBus::Add(const SDirectSensorSetup& setup) {
    m_sensors.push_back(std::make_unique<CDirectSensor>(setup, m_clock));
    return *m_sensors.back();
}

std::vector<CDirectSensor*> CSimUsbBus::Present() const {
    std::vector<CDirectSensor*> present;
    for (const auto& p : m_sensors)
        if (p->Present())
            present.push_back(p.get());
    return present;
}

std::unique_ptr<IUsbDevice> CSimUsbBus::MakeDevice() {
    return std::make_unique<CSimUsbDevice>(*this);
}

std::string SimDirectPath(const CDirectSensor& sensor) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "\\\\?\\usb#vid_1ce6&pid_0001#%08u#{f0a2d454-3de2-40cd-bae7-09efc799ec08}",
                  static_cast<unsigned>(sensor.Setup().m_nSerial));
    return text;
}

} // namespace torvex::sim
