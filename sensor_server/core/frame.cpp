#include "frame.h"

#include <cstdio>

namespace torvex {

using namespace proto;

CFrame MakeFrame(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5, uint8_t b6,
                 uint8_t b7) {
    return CFrame{b0, b1, b2, b3, b4, b5, b6, b7};
}

uint8_t SumOf(const uint8_t* pBytes, size_t nCount) {
    unsigned nSum = 0;
    for (size_t i = 0; i < nCount; ++i)
        nSum += pBytes[i];
    return static_cast<uint8_t>(nSum);
}

void FillChecksum(CFrame& frame) {
    if (HasChecksum(frame[0]) && frame[kChecksumAt] == 0)
        frame[kChecksumAt] = SumOf(frame.data(), kChecksumAt);
}

EReply ReplyOf(const CFrame& frame) {
    const uint16_t wWord = CommandWord(frame);
    switch (frame[0]) {
    case kClassAux:
        return (wWord == kWordAux && AuxAnswered(frame[2])) ? EReply::Read : EReply::None;
    case kClassBoxSerial:
        return wWord == kWordBoxSerial ? EReply::Read : EReply::None;
    case kClassMemory:
        return wWord == kWordMemoryRead ? EReply::Read : EReply::None;
    case kClassBlemish:
        return wWord == kWordBlemishRead ? EReply::Read : EReply::None;
    case kClassQuery:
        return EReply::Read;
    case kClassControl:
        return (wWord == kWordBattery || wWord == kWordOptionsRead) ? EReply::Read : EReply::None;
    case kClassAcquisition:
    case kClassImage:
        return EReply::None;
    default:
        return EReply::UnknownClass;
    }
}

CEnvelope BuildEnvelope(const CFrame& frame) {
    CEnvelope env{};
    env[0] = kEnvelopeStart;
    env[1] = kEnvelopeKindFrame;
    env[2] = kEnvelopeLength;
    env[3] = 0x00;
    env[4] = SumOf(env.data(), 4);
    for (size_t i = 0; i < frame.size(); ++i)
        env[kEnvelopeHeaderSize + i] = frame[i];
    env[kEnvelopeSize - 1] = SumOf(env.data() + kEnvelopeHeaderSize, frame.size());
    return env;
}

bool OpenEnvelope(const CEnvelope& env, CFrame& frame) {
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = env[kEnvelopeHeaderSize + i];
    return env[0] == kEnvelopeStart && (env[1] & kEnvelopeKindMask) == kEnvelopeKindFrame &&
           env[2] == kEnvelopeLength && env[3] == 0x00 && env[4] == SumOf(env.data(), 4) &&
           env[kEnvelopeSize - 1] == SumOf(env.data() + kEnvelopeHeaderSize, frame.size());
}

std::string HexText(const uint8_t* pBytes, size_t nCount) {
    std::string text;
    for (size_t i = 0; i < nCount; ++i) {
        if (text.empty() && pBytes[i] == 0)
            continue;
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X", pBytes[i]);
        text += buf;
    }
    return text;
}

} // namespace torvex
