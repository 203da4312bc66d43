#pragma once
// Discovery and link commands: DetectUsb, DetectUsbNext, DetectWireless,
// InitLink, StopLink, ReadLinkType, ReadDevicePath, CloseDevices.
#include "bluefind.h"
#include "direct_slots.h"
#include "server_state.h"
#include "shell_hooks.h"
#include "transport.h"

namespace torvex {

class CLinkCommands {
public:
    CLinkCommands(CTransport& transport, IDirectSlots& slots, IBluefind& bluefind,
                  IShellHooks& hooks, SViewState& view);

    SAnswer DetectUsb(bool bNext);
    SAnswer DetectWireless();
    SAnswer InitLink(const std::string& strData);
    SAnswer StopLink();
    SAnswer ReadLinkType();
    SAnswer ReadDevicePath();
    SAnswer CloseDevices();

private:
    CTransport& m_transport;
    IDirectSlots& m_slots;
    IBluefind& m_bluefind;
    IShellHooks& m_hooks;
    SViewState& m_view;
};

} // namespace torvex
