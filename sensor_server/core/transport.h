#pragma once
// Every byte to the interface box and the wireless sensor travels here: link
// set-up, box discovery, frame exchanges with their polling and time limits,
// the serial envelope, memory blocks and the arm pulse.
#include "box_port.h"
#include "clock.h"
#include "frame.h"
#include "link_state.h"
#include "serial_link.h"
#include "shell_hooks.h"

#include <array>
#include <cstdint>
#include <string>

namespace torvex {

using proto::CBlock;

constexpr uint32_t kPollLimitMs = 200;
constexpr uint32_t kPollLimitStateMs = 7500; // state query: the sensor may be busy exposing
constexpr uint32_t kPollPauseMs = 10;
constexpr uint32_t kPollSettleMs = 50;

// Runs before every arm frame (both modes); see CSensorCommands.
class IPreArm {
public:
    virtual ~IPreArm() = default;
    virtual int RunPreArmMaintenance() = 0;
};

class CTransport {
public:
    CTransport(SLinkState& link, IBoxPort& box, ISerialPort& serial, IClock& clock,
               IShellHooks& hooks);

    void SetPreArm(IPreArm* pPreArm) { m_pPreArm = pPreArm; }

    [[nodiscard]] int OpenLink(int nKind, const std::string* pPath);
    [[nodiscard]] int CloseLink();
    // Opens the box (kinds 1 and 3, discovering it when the path is empty);
    // kind 2 opens nothing. The caller closes with CloseUsbDevice.
    [[nodiscard]] int OpenUsbDevice();
    int CloseUsbDevice() { return m_box.Close(); }
    [[nodiscard]] int DetectBox();
    // The reply replaces the frame (also on most failures).
    [[nodiscard]] int ExchangeFrame(CFrame& frame);
    [[nodiscard]] int ReadBlock(uint8_t nBlock, CBlock& block);
    [[nodiscard]] int WriteBlock(uint8_t nBlock, const CBlock& block);
    [[nodiscard]] int PulseArm();
    // Image streams after the request frame: exactly nSize bytes from the
    // serial port (counted in the serial byte counter), or up to nSize
    // bytes from the opened box.
    [[nodiscard]] int ReadSerialBytes(uint8_t* pBuffer, size_t nSize);
    [[nodiscard]] int ReadBoxStream(uint8_t* pBuffer, size_t nSize, size_t& nDone) {
        return m_box.ReadStream(pBuffer, nSize, nDone);
    }

    SLinkState& Link() { return m_link; }
    IClock& Clock() { return m_clock; }

private:
    // One exchange on an already opened box, or on the serial port.
    int ExchangeOpened(CFrame& frame);
    int ExchangeSerial(CFrame& frame, bool bReply);
    int ExchangeSerialOpen(CFrame& frame, bool bReply);
    int ExchangeUsb(CFrame& frame, bool bReply);
    int FinishUsb(int nCode);

    SLinkState& m_link;
    IBoxPort& m_box;
    CSerialLink m_serial;
    IClock& m_clock;
    IShellHooks& m_hooks;
    IPreArm* m_pPreArm = nullptr;
};

} // namespace torvex
