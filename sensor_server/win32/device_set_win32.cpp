#include "device_set_win32.h"

#include <windows.h>

#include <vector>

namespace torvex {

namespace {

bool ReadSwitch(std::string& strText) {
    const DWORD n = ::GetEnvironmentVariableA(kSimulatorSwitch, nullptr, 0);
    if (n == 0)
        return false;
    std::vector<char> buffer(n + 1);
    const DWORD got = ::GetEnvironmentVariableA(kSimulatorSwitch, buffer.data(), n + 1);
    strText.assign(buffer.data(), got);
    return true;
}

} // namespace

CDeviceSet::CDeviceSet() : m_store(RunningMailboxPath()) {
    std::string strText;
    if (ReadSwitch(strText))
        m_pSimulation = std::make_unique<sim::CSimulation>(sim::ParseSimConfig(strText), m_clock);
    if (m_pSimulation)
        m_pSlots = std::make_unique<CDirectSlots>(m_pSimulation->UsbBus(), m_pSimulation->Clock());
    else
        m_pSlots = std::make_unique<CDirectSlots>(m_usb, m_clock);
}

SServerPorts CDeviceSet::Ports() {
    if (!m_pSimulation)
        return SServerPorts{m_store, m_box, m_serial, m_clock, m_hooks, m_bluefind, *m_pSlots, m_files, m_imageShell};
    ISerialPort& serial = m_pSimulation->SerialPort()
                              ? static_cast<ISerialPort&>(*m_pSimulation->SerialPort())
                              : m_serial;
    return SServerPorts{
        m_store, m_pSimulation->BoxPort(), serial, m_pSimulation->Clock(), m_hooks, m_bluefind,
        *m_pSlots, m_files, m_imageShell};
}

} // namespace torvex
