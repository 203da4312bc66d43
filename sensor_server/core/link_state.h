#pragma once
// Link state shared by the dispatcher, the transport and the handlers.
#include <cstdint>
#include <string>

namespace torvex {

enum ELinkKind : int {
    kLinkNone = 0,
    kLinkUsb = 1,
    kLinkSerial = 2,
    kLinkUsbWithDirect = 3, // exchanges treat it exactly like kLinkUsb
};

// PID family bits of the interface box.
enum EPidBits : uint8_t {
    kPidBit0 = 1, // answers are polled
    kPidBit1 = 2,
    kPidBit2 = 4,
};

constexpr size_t kDevicePathMax = 259;

struct SLinkState {
    int m_nKind = kLinkNone;
    std::string m_strDevicePath;
    bool m_bExplicitPath = false;
    uint8_t m_nPidBits = 0;
    int m_nSelectedSlot = 0;
    // Bytes received on the serial link (for the transfer rate).
    uint64_t m_nSerialBytes = 0;
};

// PID family bits from a box's device path.
uint8_t PidBitsOfPath(const std::string& strPath);

} // namespace torvex
