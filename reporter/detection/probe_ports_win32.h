#pragma once
// The machine's own ports for CMateriel, owned together by the form.
#include "datagram_port_win32.h"
#include "inventory_win32.h"
#include "materiel.h"
#include "server_platform_win32.h"

namespace ostrel {

class CSystemProbePorts {
public:
    SMaterielPorts Ports() { return {m_server, m_mailbox, m_clock, m_inventory, m_datagrams}; }

private:
    CServerPlatformWin32 m_server;
    CMailboxFileWin32 m_mailbox;
    CWaitClockWin32 m_clock;
    CInventorySystemWin32 m_inventory;
    CDatagramPortWin32 m_datagrams;
};

} // namespace ostrel
