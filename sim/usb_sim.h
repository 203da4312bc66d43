#pragma once
// The direct sensors' driver class with simulated sensors present, as the
// USB device layer of the server sees it.
#include "direct_sensor.h"
#include "usb_device.h"

#include <memory>
#include <vector>

namespace torvex::sim {

class CSimUsbBus final : public IUsbDeviceMaker {
public:
    explicit CSimUsbBus(IClock& clock) : m_clock(clock) {}

    // Sensors in interface order.
    CDirectSensor& Add(const SDirectSensorSetup& setup);
    // Interfaces present now (a removed sensor's interface is gone).
    std::vector<CDirectSensor*> Present() const;
    CDirectSensor& Sensor(size_t n) { return *m_sensors[n]; }
    size_t Size() const { return m_sensors.size(); }

    std::unique_ptr<IUsbDevice> MakeDevice() override;
    // How many device objects exist now (they must not outlive their slots).
    int LiveDevices() const { return m_nLive; }
    void Born() { ++m_nLive; }
    void Died() { --m_nLive; }

    // Endpoints every simulated sensor lacks.
    std::vector<uint8_t> m_missingEndpoints;

private:
    IClock& m_clock;
    std::vector<std::unique_ptr<CDirectSensor>> m_sensors;
    int m_nLive = 0;
};

// Path of a simulated sensor's interface.
std::string SimDirectPath(const CDirectSensor& sensor);

} // namespace torvex::sim
