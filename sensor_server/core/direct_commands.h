#pragma once
// The commands of the direct sensors on the selected slot: identity, values,
// status, the status wait, memory pages, disarming.
#include "direct_slots.h"
#include "mailbox.h"
#include "server_state.h"

#include <string>

namespace torvex {

class CDirectCommands {
public:
    CDirectCommands(IDirectSlots& slots, CMailbox& mailbox, SViewState& view);

    SAnswer ReadSensor(int nSlot);
    SAnswer ReadBox(int nSlot);
    SAnswer ReadState() const;
    SAnswer ReadDeviceStatus(int nSlot);
    SAnswer WaitDeviceStatus(const std::string& strData, int nSlot);
    SAnswer AccessPage(const std::string& strData, int nSlot);
    SAnswer ReadDeviceInfo(int nSlot);
    SAnswer ReadDeviceValues(int nSlot);
    SAnswer StopAcquisition(int nSlot);
    SAnswer ReadEnergy() const;

private:
    // Request 0x88: its code; on success nLength is the identity length.
    int ReadSizes(int nSlot, uint16_t& nLength);
    // Request 0x86 of nLength characters, cut at ";"; empty on failure.
    std::string ReadIdentity(int nSlot, uint16_t nLength);
    std::string ReadText(uint8_t nCode, uint16_t nLength, int nSlot);
    // A big-endian value of nSize bytes (1, 2 or 4); 0 on failure.
    uint32_t ReadNumber(uint8_t nCode, uint16_t nSize, int nSlot);

    IDirectSlots& m_slots;
    CMailbox& m_mailbox;
    SViewState& m_view;
};

} // namespace torvex
