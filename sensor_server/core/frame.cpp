#include "frame.h"

#include <cstdio>

namespace torvex {

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
    if ((frame[0] == 0xA0 || frame[0] == 0xB0) && frame[7] == 0)
        frame[7] = SumOf(frame.data(), 7);
}

EReply ReplyOf(const CFrame& frame) {
    const uint8_t b1 = frame[1];
    switch (frame[0]) {
    case 0x10:
        return (b1 == 1 && (frame[2] == 1 || frame[2] == 4)) ? EReply::Read : EReply::None;
    case 0x60:
    case 0x90:
        return b1 == 1 ? EReply::Read : EReply::None;
    case 0x70:
        return b1 == 3 ? EReply::Read : EReply::None;
    case 0xB0:
        return EReply::Read;
    case 0xC0:
        return (b1 == 0x0A || b1 == 0x0B) ? EReply::Read : EReply::None;
    case 0xA0:
    case 0xD0:
        return EReply::None;
    default:
        return EReply::UnknownClass;
    }
}

CEnvelope BuildEnvelope(const CFrame& frame) {
    CEnvelope env{};
    env[0] = 0xA5;
    env[1] = 0x01;
    env[2] = 0x08;
    env[3] = 0x00;
    env[4] = SumOf(env.data(), 4);
    for (size_t i = 0; i < 8; ++i)
        env[5 + i] = frame[i];
    env[13] = SumOf(env.data() + 5, 8);
    return env;
}

bool OpenEnvelope(const CEnvelope& env, CFrame& frame) {
    for (size_t i = 0; i < 8; ++i)
        frame[i] = env[5 + i];
    return env[0] == 0xA5 && (env[1] & 0x03) == 0x01 && env[2] == 0x08 && env[3] == 0x00 &&
           env[4] == SumOf(env.data(), 4) && env[13] == SumOf(env.data() + 5, 8);
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
