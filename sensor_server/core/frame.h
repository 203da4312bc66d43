#pragma once
// The 8-byte frame of the interface box and the wireless sensor, its reply
// table, checksums, the 14-byte serial envelope and the hex text of 8 bytes.
// The vocabulary (classes, words, offsets) is in protocol.h.
#include "protocol.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace torvex {

using proto::CommandWord;
using proto::kEnvelopeSize;
using CEnvelope = std::array<uint8_t, kEnvelopeSize>;

// A frame from its eight bytes as they travel.
CFrame MakeFrame(uint8_t b0, uint8_t b1, uint8_t b2 = 0, uint8_t b3 = 0, uint8_t b4 = 0,
                 uint8_t b5 = 0, uint8_t b6 = 0, uint8_t b7 = 0);

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
