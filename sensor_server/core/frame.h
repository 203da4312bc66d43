#pragma once
// The 8-byte frame of the interface box and the wireless sensor, its reply
// table, checksums, the 14-byte serial envelope and the hex text of 8 bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace torvex {

using CFrame = std::array<uint8_t, 8>;

constexpr size_t kEnvelopeSize = 5 + 8 + 1; // header, frame, frame sum
using CEnvelope = std::array<uint8_t, kEnvelopeSize>;

constexpr uint16_t kWordRejected = 0x01F0; // F0 01
constexpr uint16_t kWordBusy = 0x02F0;     // F0 02

CFrame MakeFrame(uint8_t b0, uint8_t b1, uint8_t b2 = 0, uint8_t b3 = 0, uint8_t b4 = 0,
                 uint8_t b5 = 0, uint8_t b6 = 0, uint8_t b7 = 0);

// Byte 0 plus 256 times byte 1.
inline uint16_t CommandWord(const CFrame& frame) {
    return static_cast<uint16_t>(frame[0] | (frame[1] << 8));
}

// Classes A0 and B0 carry the sum of bytes 0..6 in byte 7 when the caller left it 0.
void FillChecksum(CFrame& frame);

enum class EReply { None, Read, UnknownClass };
// Whether the device answers this frame; UnknownClass also means no reply
// (the caller sounds the default beep for it).
EReply ReplyOf(const CFrame& frame);

uint8_t SumOf(const uint8_t* pBytes, size_t nCount);

CEnvelope BuildEnvelope(const CFrame& frame);
// Checks a received envelope; the frame is copied out whatever the outcome.
bool OpenEnvelope(const CEnvelope& envelope, CFrame& frame);

// "%02.2X" per byte, leading zero bytes skipped; eight zero bytes give "".
std::string HexText(const uint8_t* pBytes, size_t nCount);

} // namespace torvex
