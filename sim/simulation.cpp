#include "simulation.h"

#include "direct_memory.h"

namespace torvex::sim {

CSimulation::CSimulation(const SSimConfig& config, IClock& realClock)
    : m_pClock(config.m_bVirtualClock ? static_cast<IClock*>(&m_virtualClock) : &realClock),
      m_sensor(config.m_setup), m_wirelessSensor(config.m_setup),
      m_pBox(config.m_strBoxPid.empty() ? nullptr
                                        : std::make_unique<CBoxSimulator>(
                                              config.m_strBoxPid, m_sensor, m_faults, *m_pClock)),
      m_boxPort(m_pBox.get()), m_usb(*m_pClock) {
    for (const SDirectSensorSetup& setup : config.m_direct) {
        CDirectSensor& sensor = m_usb.Add(setup);
        for (const SDirectFaultRule& rule : config.m_directFaults)
            sensor.AddFault(rule);
    }
    m_usb.m_missingEndpoints = config.m_missingEndpoints;
    for (size_t n = 0; n < config.m_directCalibrations.size() && n < m_usb.Size(); ++n)
        PutCalibrationArchive(m_usb.Sensor(n).Setup(), config.m_directCalibrations[n],
                              static_cast<uint32_t>(n));
    for (const SFaultRule& rule : config.m_faults)
        m_faults.Add(rule);
    if (config.m_nWirelessPort > 0) {
        m_pWireless = std::make_unique<CWirelessSimulator>(m_wirelessSensor, m_faults, *m_pClock);
        m_pSerialPort = std::make_unique<CSimSerialPort>(
            "\\\\.\\COM" + std::to_string(config.m_nWirelessPort), m_pWireless.get());
    }
}

} // namespace torvex::sim
