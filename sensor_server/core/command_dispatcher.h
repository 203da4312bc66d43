#pragma once
// The view's dispatcher: selects the target device from DATA, keeps the
// mailbox's answer order, routes each command number to its handler.
#include "answer_writer.h"
#include "bluefind.h"
#include "direct_commands.h"
#include "direct_slots.h"
#include "link_commands.h"
#include "mailbox.h"
#include "sensor_commands.h"
#include "server_state.h"
#include "transport.h"

namespace torvex {

enum ECommand : unsigned {
    kCmdDetectUsb = 10,
    kCmdDetectWireless = 11,
    kCmdDetectUsbNext = 12,
    kCmdInitLink = 20,
    kCmdStopLink = 21,
    kCmdStartAcquisitionMode2 = 30,
    kCmdStartAcquisition = 32,
    kCmdStopAcquisition = 35,
    kCmdSetAcquisitionValue = 36,
    kCmdSetControlMode = 37,
    kCmdSetOptionBits = 38,
    kCmdReadSensor = 40,
    kCmdReadBox = 41,
    kCmdReadState = 42,
    kCmdReadLinkType = 43,
    kCmdReadImage = 44,
    kCmdReadTransferRate = 45,
    kCmdReadBattery = 46,
    kCmdWriteBlemish = 50,
    kCmdSetBlemishMode = 51,
    kCmdReadBlemish = 52,
    kCmdReadDevicePath = 200,
    kCmdCloseDevices = 201,
    kCmdReadDeviceStatus = 210,
    kCmdWaitDeviceStatus = 211,
    kCmdAccessPage = 212,
    kCmdReadDeviceInfo = 213,
    kCmdReadDeviceValues = 214,
    kCmdAcquireImage = 220,
    kCmdCaptureOscillogram = 221,
    kCmdReadEnergy = 222,
    kCmdFilterImage = 300,
    kCmdSendFrame = 4200,
};

// Everything the dispatcher works through; owned by the caller.
struct SServerPorts {
    IMailboxStore& m_store;
    IBoxPort& m_box;
    ISerialPort& m_serial;
    IClock& m_clock;
    IShellHooks& m_hooks;
    IBluefind& m_bluefind;
    IDirectSlots& m_slots;
};

class CCommandDispatcher {
public:
    explicit CCommandDispatcher(const SServerPorts& ports);
    CCommandDispatcher(const CCommandDispatcher&) = delete;
    CCommandDispatcher& operator=(const CCommandDispatcher&) = delete;

    // Runs one command message; false when it was ignored because the server
    // is busy (nothing written to the mailbox then). The number is the whole
    // message parameter: one beyond 32 bits is not in the table.
    bool Dispatch(uint64_t nCommand);

    SViewState& View() { return m_view; }
    SLinkState& Link() { return m_link; }

private:
    void SelectTarget();
    bool DirectOpen() const;
    SAnswer Run(uint64_t nCommand);
    // A command of a later stage of the server: honest "not there yet".
    SAnswer NotYet() const;

    SServerPorts m_ports;
    CMailbox m_mailbox;
    CAnswerWriter m_answers;
    SViewState m_view;
    SLinkState m_link;
    CTransport m_transport;
    CSensorCommands m_sensor;
    CLinkCommands m_linkCommands;
    CDirectCommands m_direct;
};

} // namespace torvex
