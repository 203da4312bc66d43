#pragma once
// The view's dispatcher: selects the target device from DATA, keeps the
// mailbox's answer order, routes each command number to its handler.
#include "acquisition_engine.h"
#include "answer_writer.h"
#include "acquisition_oscillogram.h"
#include "bluefind.h"
#include "command_numbers.h"
#include "direct_commands.h"
#include "direct_slots.h"
#include "image_commands.h"
#include "image_files.h"
#include "image_readout.h"
#include "image_shell.h"
#include "link_commands.h"
#include "mailbox.h"
#include "sensor_commands.h"
#include "server_state.h"
#include "transport.h"

namespace torvex {

// Everything the dispatcher works through; owned by the caller.
struct SServerPorts {
    IMailboxStore& m_store;
    IBoxPort& m_box;
    ISerialPort& m_serial;
    IClock& m_clock;
    IShellHooks& m_hooks;
    IBluefind& m_bluefind;
    IDirectSlots& m_slots;
    IImageFiles& m_files; // bitmap files of the image commands
    IImageShell& m_imageShell;
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
    // ---- acquisition engine (30, 32, 35, 44, 220, 221 with direct sensors) ----
    // Owned by the caller, built on View(); without one those commands answer 120.
    void AttachAcquisition(CAcquisitionEngine* pEngine, COscillogramCapture* pCapture) {
        m_pAcquisition = pEngine;
        m_pCapture = pCapture;
    }
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
    // ---- image commands (300, 44) ----
    CFilterCommand m_filter;
    CImageReadout m_readout;
    // ---- acquisition engine ----
    CAcquisitionEngine* m_pAcquisition = nullptr;
    COscillogramCapture* m_pCapture = nullptr;
};

} // namespace torvex
