#pragma once
// One simulated device set built from the switch's text: the sensor, its box
// and/or its wireless link, their misbehaviour, and the ports that reach them.
#include "box_simulator.h"
#include "sim_config.h"
#include "sim_ports.h"
#include "usb_sim.h"
#include "virtual_clock.h"
#include "wireless_simulator.h"

#include <memory>

namespace torvex::sim {

class CSimulation {
public:
    // realClock is used unless the text asks for the virtual clock.
    CSimulation(const SSimConfig& config, IClock& realClock);

    IClock& Clock() { return *m_pClock; }
    CSimBoxPort& BoxPort() { return m_boxPort; }
    // The simulated serial port, or null when serial ports are the real ones.
    CSimSerialPort* SerialPort() { return m_pSerialPort.get(); }
    CSensorModel& Sensor() { return m_sensor; }
    CSensorModel& WirelessSensor() { return m_wirelessSensor; }
    CFaultPlan& Faults() { return m_faults; }
    CBoxSimulator* Box() { return m_pBox.get(); }
    CWirelessSimulator* Wireless() { return m_pWireless.get(); }
    // The direct sensors' driver class (empty unless the text names sensors).
    CSimUsbBus& UsbBus() { return m_usb; }

private:
    CVirtualClock m_virtualClock;
    IClock* m_pClock;
    CFaultPlan m_faults;
    CSensorModel m_sensor;         // behind the box
    CSensorModel m_wirelessSensor; // behind the serial link
    std::unique_ptr<CBoxSimulator> m_pBox;
    std::unique_ptr<CWirelessSimulator> m_pWireless;
    CSimBoxPort m_boxPort;
    std::unique_ptr<CSimSerialPort> m_pSerialPort;
    CSimUsbBus m_usb;
};

} // namespace torvex::sim
