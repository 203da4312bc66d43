#pragma once
// The wire vocabulary of the sensors, shared by the server's core and the
// device simulators in sim/: nothing else names a command word, a reply
// offset, a memory layout or a state bit.
//
// Sections, one per protocol family:
//   1. box and wireless frames: classes, command words, selectors
//   2. their reply shapes: where each answer carries its values
//   3. sensor memory blocks
//   4. state bits of the B0 03 reply
//   5. blemish table
//   6. serial envelope
//   7. image streams: serial packets, the 50-byte image header, the box's
//      bitmap stream, the image buffer and its resolution table
//   8. direct sensors: request packets, replies, status packets
#include "byte_reader.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace torvex {

using CFrame = std::array<uint8_t, 8>;

namespace proto {

// ---- 1. Box and wireless frames ------------------------------------------
// Byte 0 is the frame class, byte 1 the code within the class; the command
// word is byte 0 plus 256 times byte 1.

constexpr uint8_t kClassAux = 0x10; // not sent by the server; only its reply rule is known
constexpr uint8_t kClassBoxSerial = 0x60;
constexpr uint8_t kClassBlemish = 0x70;
constexpr uint8_t kClassMemory = 0x90;
constexpr uint8_t kClassAcquisition = 0xA0;
constexpr uint8_t kClassQuery = 0xB0;
constexpr uint8_t kClassControl = 0xC0;
constexpr uint8_t kClassImage = 0xD0;
constexpr uint8_t kClassStatus = 0xF0; // replies only

constexpr uint16_t Word(uint8_t nClass, uint8_t nCode) {
    return static_cast<uint16_t>(nClass | (nCode << 8));
}
constexpr uint8_t ClassOfWord(uint16_t wWord) {
    return static_cast<uint8_t>(wWord);
}
constexpr uint8_t CodeOfWord(uint16_t wWord) {
    return static_cast<uint8_t>(wWord >> 8);
}

inline uint16_t CommandWord(const CFrame& frame) {
    return Word(frame[0], frame[1]);
}

// Class 10: code 01 is answered when byte 2 is 1 or 4.
constexpr uint16_t kWordAux = Word(kClassAux, 0x01);
constexpr bool AuxAnswered(uint8_t nByte2) {
    return nByte2 == 0x01 || nByte2 == 0x04;
}

// Acquisition (A0): arming in two modes, the acquisition value, disarming.
constexpr uint16_t kWordArm = Word(kClassAcquisition, 0x01);
constexpr uint16_t kWordArmMode2 = Word(kClassAcquisition, 0x02);
constexpr uint16_t kWordAcquisitionValue = Word(kClassAcquisition, 0x20); // byte 2: 1..60
constexpr uint16_t kWordDisarm = Word(kClassAcquisition, 0x30);

// Queries (B0), byte 2 selects what is asked.
constexpr uint16_t kWordSensor = Word(kClassQuery, 0x01);
constexpr uint16_t kWordBox = Word(kClassQuery, 0x02);
constexpr uint16_t kWordState = Word(kClassQuery, 0x03);
constexpr uint8_t kSelectIdentity = 0x01; // B0 01 01, B0 02 01
constexpr uint8_t kSelectCounter = 0x02;  // B0 01 02: exposure counter
constexpr uint8_t kSelectFirmware = 0x02; // B0 02 02
constexpr uint8_t kSelectState = 0x01;    // B0 03 01

// Box serial number (60 01 h), in two halves h = 0 and 1.
constexpr uint16_t kWordBoxSerial = Word(kClassBoxSerial, 0x01);

// Blemish table and sensor re-initialisation (70).
constexpr uint16_t kWordReinit = Word(kClassBlemish, 0x01);       // bytes 2..6: identity
constexpr uint16_t kWordBlemishRead = Word(kClassBlemish, 0x03);  // byte 2: entry
constexpr uint16_t kWordBlemishWrite = Word(kClassBlemish, 0x04); // bytes 2..5: entry
constexpr uint16_t kWordBlemishMode = Word(kClassBlemish, 0x05);  // bytes 2, 3: switches

// Sensor memory (90): 4-byte words of a block, and the unlocking key.
constexpr uint16_t kWordMemoryRead = Word(kClassMemory, 0x01);
constexpr uint16_t kWordMemoryWrite = Word(kClassMemory, 0x02);
constexpr uint16_t kWordMemoryUnlock = Word(kClassMemory, 0x03); // bytes 2..7: key

// Control (C0).
constexpr uint16_t kWordControlMode = Word(kClassControl, 0x03); // byte 2: 0 or 1
constexpr uint16_t kWordBattery = Word(kClassControl, 0x0A);
constexpr uint8_t kBatteryAsk = 0x2A; // bytes 2 and 3 of C0 0A
constexpr uint16_t kWordOptionsRead = Word(kClassControl, 0x0B);
constexpr uint16_t kWordOptionsWrite = Word(kClassControl, 0x0C);
constexpr uint8_t kOptionsRegister = 0x08; // byte 2 of C0 0B, byte 3 of C0 0C
constexpr uint8_t kOptionsWriteTag = 0xA0; // byte 2 of C0 0C
constexpr uint16_t kOptionFirst = 0x0002;  // bits of the option word
constexpr uint16_t kOptionSecond = 0x0004;

// Image request (D0 01 m): answered by the image stream, not by a frame.
constexpr uint16_t kWordImageRequest = Word(kClassImage, 0x01);

// Status replies (F0).
constexpr uint16_t kWordRejected = Word(kClassStatus, 0x01);
constexpr uint16_t kWordBusy = Word(kClassStatus, 0x02);

// Classes A0 and B0 carry the sum of bytes 0..6 in byte 7.
constexpr bool HasChecksum(uint8_t nClass) {
    return nClass == kClassAcquisition || nClass == kClassQuery;
}
constexpr size_t kChecksumAt = 7;

// A frame of a command word and its parameter bytes 2..7.
constexpr CFrame Frame(uint16_t wWord, uint8_t b2 = 0, uint8_t b3 = 0, uint8_t b4 = 0,
                       uint8_t b5 = 0, uint8_t b6 = 0, uint8_t b7 = 0) {
    return CFrame{ClassOfWord(wWord), CodeOfWord(wWord), b2, b3, b4, b5, b6, b7};
}

constexpr uint8_t Low(uint16_t w) {
    return static_cast<uint8_t>(w);
}
constexpr uint8_t High(uint16_t w) {
    return static_cast<uint8_t>(w >> 8);
}

// Little-endian 16-bit field of a frame.
inline uint16_t U16At(const CFrame& frame, size_t nAt) {
    CByteReader reader(frame.data(), frame.size());
    return reader.U16Le(nAt);
}
inline void PutU16At(CFrame& frame, size_t nAt, uint16_t wValue) {
    frame[nAt] = Low(wValue);
    frame[nAt + 1] = High(wValue);
}

// ---- 2. Reply shapes ------------------------------------------------------
// A reply carries the command word of its frame in bytes 0 and 1.

// B0 01 01: sensor type letter, then 5 identity bytes (the default serial).
constexpr size_t kAtSensorType = 2;
constexpr size_t kAtSensorId = 3;
constexpr size_t kSensorIdSize = 5;
// B0 01 02: exposure counter; B0 02 02: box firmware word, and the tag of a
// polled box in byte 7.
constexpr size_t kAtCounter = 2;
constexpr size_t kAtFirmware = 2;
constexpr size_t kAtFirmwareTag = 7;
constexpr uint8_t kFirmwareTagPolled = 0xB0;
// B0 02 01: box identity bytes 2..7 (the default box serial).
constexpr size_t kAtBoxId = 2;
constexpr size_t kBoxIdSize = 6;
// 60 01 h: one half of the box serial in bytes 4..7.
constexpr size_t kAtBoxSerial = 4;
constexpr size_t kBoxSerialHalf = 4;
// C0 0B: the option word; C0 0A: battery level (0..255 of 7000 mV) in byte 7.
constexpr size_t kAtOptionWord = 3;
constexpr size_t kAtOptionWordWrite = 4; // in C0 0C
constexpr size_t kAtBattery = 7;
constexpr unsigned kBatteryFullMilliVolts = 7000;
// 90 01 / 90 02: byte 2 block, byte 3 position mark, bytes 4..7 the word.
constexpr size_t kAtBlock = 2;
constexpr size_t kAtWordMark = 3;
constexpr size_t kAtBlockWord = 4;
// B0 03 01: state bytes, see section 4.
constexpr size_t kAtStateFlags = 4;
constexpr size_t kAtStateMode = 6;
// 70 03 i: entry values at bytes 2..3 and 4..5.
constexpr size_t kAtBlemishFirst = 2;
constexpr size_t kAtBlemishSecond = 4;

// ---- 3. Sensor memory blocks ---------------------------------------------
constexpr size_t kBlockSize = 128;
constexpr size_t kBlockWordSize = 4;
constexpr size_t kBlockWords = kBlockSize / kBlockWordSize; // one frame each
constexpr uint8_t kSensorBlocks = 3;
// Word 0 of a transfer is marked so the device restarts its word index.
constexpr uint8_t kMarkFirstRead = 0x5A;
constexpr uint8_t kMarkFirstWrite = 0xA5;
constexpr uint8_t kMarkNext = 0x01;
// Block 0: the sensor's serial (8 bytes, least significant first) and the
// 32-bit little-endian counter pair whose difference adds exposures.
constexpr size_t kSerialOffset = 80;
constexpr size_t kSerialSize = 8;
constexpr size_t kCounterBaseOffset = 92;
constexpr size_t kCounterValueOffset = 96;

using CBlock = std::array<uint8_t, kBlockSize>;

inline CFrame BlockReadFrame(uint8_t nBlock, size_t nWord) {
    return Frame(kWordMemoryRead, nBlock, nWord == 0 ? kMarkFirstRead : kMarkNext);
}
inline CFrame BlockWriteFrame(uint8_t nBlock, size_t nWord, const uint8_t* pWord) {
    return Frame(kWordMemoryWrite, nBlock, nWord == 0 ? kMarkFirstWrite : kMarkNext, pWord[0],
                 pWord[1], pWord[2], pWord[3]);
}

// ---- 4. State bits of the B0 03 01 reply ---------------------------------
// Byte 4 (flags) and byte 6 (mode); ReadState's decision order is in
// CSensorCommands::ReadState.
constexpr uint8_t kFlagImageReady = 0x01;
constexpr uint8_t kFlagHold = 0x02;       // with kModeActive: neither ready nor armed
constexpr uint8_t kFlagStopWanted = 0x04; // with kModeActive: the sensor wants a disarm
constexpr uint8_t kModeArmed = 0xC0;      // either bit
constexpr uint8_t kModeArmedShown = 0x40; // what an armed sensor reports
constexpr uint8_t kModeActive = 0x10;

struct SSensorState {
    bool m_bImageReady = false;
    bool m_bHold = false;
    bool m_bStopWanted = false;
    bool m_bArmed = false;
    bool m_bActive = false;
};

inline SSensorState StateOf(const CFrame& reply) {
    const uint8_t nFlags = reply[kAtStateFlags];
    const uint8_t nMode = reply[kAtStateMode];
    SSensorState state;
    state.m_bImageReady = (nFlags & kFlagImageReady) != 0;
    state.m_bHold = (nFlags & kFlagHold) != 0;
    state.m_bStopWanted = (nFlags & kFlagStopWanted) != 0;
    state.m_bArmed = (nMode & kModeArmed) != 0;
    state.m_bActive = (nMode & kModeActive) != 0;
    return state;
}

// ---- 5. Blemish table -----------------------------------------------------
constexpr int kBlemishEntriesMax = 256;
// An entry whose four value bytes are all 0x00, or all 0xFF, ends the table.
constexpr uint8_t kEndMarkerZero = 0x00;
constexpr uint8_t kEndMarkerFull = 0xFF;

struct SBlemishEntry {
    uint16_t m_wFirst = 0;
    uint16_t m_wSecond = 0;
};

inline bool IsEndMarker(const CFrame& reply) {
    const uint8_t m = reply[kAtBlemishFirst];
    return (m == kEndMarkerZero || m == kEndMarkerFull) && reply[kAtBlemishFirst + 1] == m &&
           reply[kAtBlemishSecond] == m && reply[kAtBlemishSecond + 1] == m;
}
inline SBlemishEntry BlemishEntryOf(const CFrame& reply) {
    return SBlemishEntry{U16At(reply, kAtBlemishFirst), U16At(reply, kAtBlemishSecond)};
}
// An entry as 70 04 carries it and as the reply to 70 03 i returns it.
inline CFrame BlemishEntryFrame(uint16_t wWord, const SBlemishEntry& entry) {
    CFrame frame = Frame(wWord);
    PutU16At(frame, kAtBlemishFirst, entry.m_wFirst);
    PutU16At(frame, kAtBlemishSecond, entry.m_wSecond);
    return frame;
}

// ---- 6. Serial envelope ---------------------------------------------------
// 5 header bytes (start, kind, length 8 as two bytes, header sum), the
// frame, the frame's sum.
constexpr size_t kEnvelopeHeaderSize = 5;
constexpr size_t kEnvelopeSize = kEnvelopeHeaderSize + 8 + 1;
constexpr uint8_t kEnvelopeStart = 0xA5;
constexpr uint8_t kEnvelopeKindMask = 0x03; // only the low two bits of byte 1 count
constexpr uint8_t kEnvelopeKindFrame = 0x01;
constexpr uint8_t kEnvelopeKindStream = 0x02; // image packets
constexpr uint8_t kEnvelopeLength = 8;        // bytes 2 and 3, little-endian

// ---- 7. Image streams -----------------------------------------------------
// After D0 01 m (m = image mode in byte 2) the wireless sensor streams
// packets: 5 header bytes (start, kind 2 in the low two bits, length L as
// two bytes, header sum), L payload bytes, the payload's sum. L = 0 ends the
// stream. The box instead serves a bitmap file on its bulk pipe.
constexpr size_t kAtImageMode = 2; // of the request frame
constexpr uint8_t kImageModePlain0 = 0;
constexpr uint8_t kImageModePlain1 = 1;
constexpr uint8_t kImageModeReference = 17; // kept as the reference of mode 2
constexpr uint8_t kImageModeCompressed = 2; // decoded against the reference
constexpr uint8_t kImageModeDefault = 3;    // ReadImage without DATA

constexpr size_t kPacketHeaderSize = 5;
constexpr size_t kAtPacketLength = 2; // little-endian
constexpr size_t kAtPacketSum = 4;

// The first packet starts with the image header.
constexpr size_t kImageHeaderSize = 50;
constexpr size_t kAtImageWidth = 10;  // 16-bit; doubled in mode 2
constexpr size_t kAtImageHeight = 12; // 16-bit
constexpr size_t kAtWidthDivisor = 16;
constexpr size_t kAtHeightDivisor = 17;

// Box bitmap stream: the first read, and the total the box sends for an
// image of width x height: ((w h + 1082) rounded down to 256) + 256, plus
// 512 for polled boxes when that is not a multiple of 1024.
constexpr size_t kBoxFirstRead = 1024;
constexpr size_t kBoxReadPiece = 65536;
constexpr size_t kAtBoxWidth = 18; // in the stream's file header
constexpr size_t kAtBoxHeight = 22;
inline uint64_t BoxStreamSize(uint64_t nPixels, bool bPolled) {
    uint64_t n = ((nPixels + 1082) & ~uint64_t(255)) + 256;
    if (bPolled && n % 1024 != 0)
        n += 512;
    return n;
}

// The image buffer: 40-byte info header, 1024-byte grey palette, pixels.
constexpr size_t kImageBufferSize = 2051334;
constexpr size_t kInfoSize = 40;
constexpr size_t kGreyPaletteSize = 1024;
constexpr size_t kPixelsAt = kInfoSize + kGreyPaletteSize;
constexpr size_t kFileHeaderSize = 14;
// Info header fields (offsets within the 40 bytes).
constexpr size_t kInfoAtWidth = 4;
constexpr size_t kInfoAtHeight = 8;
constexpr size_t kInfoAtPlanes = 12;
constexpr size_t kInfoAtBitCount = 14;
constexpr size_t kInfoAtImageSize = 20;
constexpr size_t kInfoAtXPerMetre = 24;
constexpr size_t kInfoAtYPerMetre = 28;
constexpr size_t kInfoAtColoursUsed = 32;

// Pixels per metre by image height.
inline uint32_t PixelsPerMetre(uint32_t nHeight) {
    switch (nHeight) {
    case 171:
    case 205:
        return 5682;
    case 342:
    case 410:
        return 11364;
    case 684:
    case 820:
        return 22728;
    case 1368:
    case 1640:
        return 45455;
    default:
        return 0;
    }
}

// ---- 8. Direct sensors ----------------------------------------------------
// Second-generation sensors with their own USB controller: an 8-byte request
// packet out, an optional data phase, a 2-byte reply in; status packets on
// an interrupt endpoint of their own.
namespace direct {

constexpr uint16_t kVendorId = 0x1CE6;
constexpr uint16_t kProductId = 0x0001;

// Endpoints by address.
constexpr uint8_t kEpRequest = 0x06; // packets and outgoing data
constexpr uint8_t kEpReply = 0x88;   // replies and incoming data
constexpr uint8_t kEpStatus = 0x81;  // status packets
constexpr uint8_t kEpImage = 0x82;   // raw image data

// Request packet: sequence, code, data length (big-endian), value (big-endian).
constexpr size_t kPacketSize = 1 + 1 + 2 + 4;
constexpr size_t kAtSequence = 0;
constexpr size_t kAtCode = 1;
constexpr size_t kAtLength = 2;
constexpr size_t kAtValue = 4;
// A length with this bit set has no data phase.
constexpr uint16_t kLengthNoData = 0x8000;

using CPacket = std::array<uint8_t, kPacketSize>;

inline CPacket Packet(uint8_t nSequence, uint8_t nCode, uint16_t nLength, uint32_t nValue) {
    return CPacket{nSequence,
                   nCode,
                   static_cast<uint8_t>(nLength >> 8),
                   static_cast<uint8_t>(nLength),
                   static_cast<uint8_t>(nValue >> 24),
                   static_cast<uint8_t>(nValue >> 16),
                   static_cast<uint8_t>(nValue >> 8),
                   static_cast<uint8_t>(nValue)};
}

struct SPacketFields {
    uint8_t m_nSequence = 0;
    uint8_t m_nCode = 0;
    uint16_t m_nLength = 0;
    uint32_t m_nValue = 0;
};
// Fields of a received packet; false when it is shorter than a packet.
inline bool PacketFieldsOf(const uint8_t* pData, size_t nSize, SPacketFields& fields) {
    CByteReader reader(pData, nSize);
    fields.m_nSequence = reader.U8(kAtSequence);
    fields.m_nCode = reader.U8(kAtCode);
    fields.m_nLength = reader.U16Be(kAtLength);
    fields.m_nValue =
        static_cast<uint32_t>(reader.U16Be(kAtValue)) << 16 | reader.U16Be(kAtValue + 2);
    return reader.Ok();
}

// Reply: the packet's sequence number and a status.
constexpr size_t kReplySize = 2;
constexpr size_t kAtReplySequence = 0;
constexpr size_t kAtReplyStatus = 1;
constexpr uint8_t kReplyPresetSequence = 0x00; // what a reply holds before any read
constexpr uint8_t kReplyPresetStatus = 0x42;
constexpr uint8_t kStatusDone = 0;
constexpr uint8_t kStatusWorking = 1; // ask again with kReqPoll
constexpr uint8_t kStatusNoEndpoint = 2;
constexpr uint8_t kStatusUnsupported = 3;
constexpr uint8_t kStatusFailed = 255;

// Request codes.
constexpr uint8_t kReqConnect = 0x00;
constexpr uint8_t kReqArm = 0x01;
constexpr uint8_t kReqDisconnect = 0x02;
constexpr uint8_t kReqAbort = 0x03;              // value 1: abort an exposure
constexpr uint8_t kReqOscillogramCapture = 0x1C; // value 257 starts, 0 stops
constexpr uint8_t kReqExposure = 0x82;           // 2 bytes, big-endian
constexpr uint8_t kReqVersion = 0x83;            // 10-character text
constexpr uint8_t kReqCpld = 0x84;               // 1 byte, see kCpldSizeOne
constexpr uint8_t kReqIdentity = 0x86;           // text of the length 0x88 gives
constexpr uint8_t kReqSerial = 0x87;             // 32-bit big-endian
constexpr uint8_t kReqSizes = 0x88;              // two 16-bit big-endian words
constexpr uint8_t kReqRearm = 0x89;              // value: the exposure
constexpr uint8_t kReqPoll = 0x8A;               // status of the running request
constexpr uint8_t kReqPage = 0x8D;               // memory page, value = page number
constexpr uint8_t kReqEnergy = 0x8E;             // 4 bytes, big-endian
constexpr uint8_t kReqVoltages = 0x8F;           // four 16-bit big-endian millivolts
constexpr uint8_t kReqOscillogramCount = 0x90;   // 2 bytes, big-endian
constexpr uint8_t kReqOscillogram = 0x91;        // 1024 samples

constexpr uint16_t kVersionSize = 10;
constexpr uint16_t kCpldSize = 1;
constexpr uint16_t kSerialSize = 4;
constexpr uint16_t kSizesSize = 2 + 2;
constexpr size_t kAtIdentityLength = 2; // second word of the 0x88 data
constexpr uint16_t kVoltagesSize = 4 * 2;
// CPLD version byte: bit 7 set is a size-1 sensor (slot 0), clear a size-2 one (slot 1).
constexpr uint8_t kCpldSizeOne = 0x80;
constexpr int SlotOfCpld(uint8_t nCpld) {
    return (nCpld & kCpldSizeOne) ? 0 : 1;
}
// The identity text ends at its first ";".
constexpr char kIdentityEnd = ';';

// Status packet: up to 64 bytes.
constexpr size_t kStatusPacketSize = 64;
constexpr size_t kAtStatusFlags = 0;
constexpr size_t kAtStateCode = 1;
constexpr size_t kAtPhotodiode = 4;
constexpr size_t kAtSamples = 6;
constexpr size_t kSamplesPerPacket = kStatusPacketSize - kAtSamples; // 58
// The shortest packet that carries flags, state code and photodiode value.
constexpr size_t kStatusPacketMin = kAtPhotodiode + 1;

} // namespace direct

} // namespace proto
} // namespace torvex
