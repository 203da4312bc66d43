#pragma once
// The bridge driver's vocabulary, shared by the libraries and the simulated
// bridge: property identifiers, control-word layout, chip registers and the
// statuses the libraries produce themselves.
#include <cstdint>

namespace vidlink {

using HResult = int32_t;

enum class EGeneration { First = 1, Second = 2 };

// Driver properties.
constexpr uint32_t kPropRegControl = 0x1005; // bits 8-15 register, bits 0-7 byte count
constexpr uint32_t kPropRegData = 0x1006;
constexpr uint32_t kPropI2CControl = 0x1007; // see I2CControlWord
constexpr uint32_t kPropI2CData = 0x1008;
constexpr uint32_t kPropDetectAddress = 0x100B; // set: address to probe
constexpr uint32_t kPropDetectResult = 0x1013;  // get: result of the last probe
constexpr uint32_t kPropDetectFound = 0x1014;   // get: nonzero when it found a device
// Second generation only, read once at open.
constexpr uint32_t kPropChipId = 0x101C;
constexpr uint32_t kPropRemoteCode = 0x1027;
constexpr uint32_t kPropRemoteAddress = 0x1028;
constexpr uint32_t kPropKept103B = 0x103B;

constexpr uint32_t kI2CWithSubAddress = 0x01000000;

constexpr uint32_t RegControlWord(uint32_t nReg, uint32_t nCount) {
    return (nReg & 0xFF) << 8 | (nCount & 0xFF);
}
constexpr uint32_t I2CControlWord(uint32_t nAddr, uint32_t nSub, uint32_t nCount) {
    return kI2CWithSubAddress | (nAddr & 0xFF) << 16 | (nSub & 0xFF) << 8 | (nCount & 0xFF);
}
constexpr uint32_t I2CControlWordNoSub(uint32_t nAddr, uint32_t nCount) {
    return (nAddr & 0xFF) << 16 | (nCount & 0xFF);
}

// Bridge-chip registers.
constexpr uint8_t kRegPortDirection = 0x08; // read before every port read, written by SetPIO
constexpr uint8_t kRegPortValue = 0x09;
constexpr uint8_t kRegPortDirectionNew = 0x80; // the same two in the new register layout
constexpr uint8_t kRegPortValueNew = 0x84;
constexpr uint8_t kRegAc97Data = 0x40;    // two bytes
constexpr uint8_t kRegAc97Command = 0x42; // codec register number
constexpr uint8_t kRegAc97Status = 0x43;  // bit 0x01 busy
constexpr uint8_t kAc97Read = 0x80;       // in the command register
constexpr uint8_t kAc97Busy = 0x01;
constexpr int kAc97MaxPolls = 2000;
constexpr uint8_t kRegRemoteStatus = 0x44; // one byte, read after each reading
constexpr uint8_t kRegRemoteData = 0x45;   // four bytes

// Chips whose port registers moved to 0x80 and 0x84.
constexpr bool IsNewLayoutChip(uint8_t nChip) {
    switch (nChip) {
    case 50:
    case 52:
    case 65:
    case 66:
    case 67:
    case 68:
    case 96:
    case 97:
    case 99:
    case 100:
    case 112:
    case 113:
    case 114:
    case 115:
    case 116:
    case 117:
    case 145:
    case 146:
    case 148:
        return true;
    default:
        return false;
    }
}

// Statuses of the libraries themselves; every other value is the driver's.
constexpr HResult kStatusNoContext = static_cast<HResult>(0x80070006); // invalid handle
constexpr HResult kStatusNoInterface = 6;
constexpr HResult kStatusMismatch = 5;  // PIO mask mismatch, AC97 time-out
constexpr HResult kStatusNoDevice = 21; // DetectI2CEx found nothing
constexpr HResult kStatusNotSupported =
    static_cast<HResult>(0x80070001); // second-gen GetProp/SetProp
constexpr HResult kStatusRemoteNewLayout = 50;

constexpr bool Failed(HResult hr) {
    return hr < 0;
}

} // namespace vidlink
