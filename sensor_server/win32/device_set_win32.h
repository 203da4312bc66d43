#pragma once
// The server's ports, real or simulated. The environment variable TORVEX_SIM,
// read once at start, switches to simulated devices (its text is described
// in sim/sim_config.h); without it every port is the real Win32 one.
#include "box_port_win32.h"
#include "command_dispatcher.h"
#include "image_files_win32.h"
#include "image_shell_win32.h"
#include "platform_win32.h"
#include "profile_store_win32.h"
#include "serial_port_win32.h"
#include "simulation.h"
#include "usb_device_win32.h"

#include <memory>

namespace torvex {

constexpr const char* kSimulatorSwitch = "TORVEX_SIM";

class CDeviceSet {
public:
    CDeviceSet();
    SServerPorts Ports();
    bool Simulated() const { return m_pSimulation != nullptr; }
    IMailboxStore& Store() { return m_store; }
    // The simulation's virtual clock when the switch asks for one, else null.
    IClock* VirtualClock() {
        return m_pSimulation && &m_pSimulation->Clock() != &m_clock ? &m_pSimulation->Clock()
                                                                    : nullptr;
    }

private:
    CProfileStore m_store;
    CTickClock m_clock;
    CWin32ShellHooks m_hooks;
    CWin32Bluefind m_bluefind;
    CWin32ImageFiles m_files;
    CWin32ImageShell m_imageShell;
    CWin32BoxPort m_box;
    CWin32SerialPort m_serial;
    CWin32UsbDeviceMaker m_usb;
    std::unique_ptr<sim::CSimulation> m_pSimulation;
    // On the simulated sensors' bus when simulated, else on the real devices.
    std::unique_ptr<CDirectSlots> m_pSlots;
};

} // namespace torvex
