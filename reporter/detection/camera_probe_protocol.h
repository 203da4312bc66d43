#pragma once
// The intraoral camera's command protocol on the bridge's I2C bus, shared by
// the probe and the simulated camera.
#include <cstddef>
#include <cstdint>

namespace ostrel::camera {

constexpr uint32_t kAddress = 0x4A; // as passed to the bridge library
constexpr uint32_t kMailbox = 0x73; // sub-address of the key and of replies
// "wexu", first letter in the least significant byte.
constexpr uint32_t kKey =
    uint32_t('w') | uint32_t('e') << 8 | uint32_t('x') << 16 | uint32_t('u') << 24;
constexpr uint8_t kPortBusy = 0x10;
// The bridge's port (low byte) tells that a reply waits.
constexpr bool IsReadyPort(uint32_t nPort) {
    const uint8_t nByte = static_cast<uint8_t>(nPort);
    return nByte != 0 && !(nByte & kPortBusy);
}

// Messages: byte 0 the total length, byte 1 the command, then arguments.
// Replies: byte 0 the total length.
constexpr uint8_t kCmdHello = 0xAB;
constexpr uint8_t kCmdMode = 0xA0;
constexpr uint8_t kCmdIdentity = 0xAA;
constexpr uint8_t kCmdQuery = 0x01;
constexpr uint8_t kQueryStandard = 0x01; // first argument of kCmdQuery
constexpr uint8_t kQuerySerial = 0x12;

constexpr size_t kIdentityLength = 8;
constexpr size_t kIdentityDivisor = 1; // volts = kVoltsNumerator / divisor
constexpr size_t kIdentityFwMajor = 4;
constexpr size_t kIdentityFwMinor = 5;
constexpr float kVoltsNumerator = 306.0f;
constexpr size_t kStandardLength = 2; // byte 1 nonzero: PAL
constexpr size_t kSerialLength = 1 + 8;

constexpr size_t kReplyBufferSize = 256;
constexpr size_t kMaxWriteData = 4; // data bytes of one bus write

} // namespace ostrel::camera
