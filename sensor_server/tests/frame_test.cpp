#include "frame.h"

#include <gtest/gtest.h>

using namespace torvex;

TEST(Frame, ChecksumOnlyForClassesA0B0WithZeroByte7) {
    struct Case {
        CFrame in;
        uint8_t expected7;
    } cases[] = {
        {MakeFrame(0xB0, 0x01, 0x01), 0xB2},
        {MakeFrame(0xA0, 0x30), 0xD0},
        {MakeFrame(0xA0, 0xF0, 0x20), 0xB0},                   // sum wraps modulo 256
        {MakeFrame(0xB0, 0x01, 0x01, 0, 0, 0, 0, 0x55), 0x55}, // already set: unchanged
        {MakeFrame(0x70, 0x03, 0x05), 0x00},
        {MakeFrame(0xC0, 0x0A, 0x2A, 0x2A), 0x00},
    };
    for (auto& c : cases) {
        CFrame f = c.in;
        FillChecksum(f);
        EXPECT_EQ(f[7], c.expected7) << std::hex << int(c.in[0]) << " " << int(c.in[1]);
    }
}

TEST(Frame, ReplyTable) {
    struct Case {
        CFrame f;
        EReply expected;
    } cases[] = {
        {MakeFrame(0x10, 1, 1), EReply::Read},      {MakeFrame(0x10, 1, 4), EReply::Read},
        {MakeFrame(0x10, 1, 2), EReply::None},      {MakeFrame(0x10, 2, 1), EReply::None},
        {MakeFrame(0x60, 1), EReply::Read},         {MakeFrame(0x60, 2), EReply::None},
        {MakeFrame(0x90, 1), EReply::Read},         {MakeFrame(0x90, 2), EReply::None},
        {MakeFrame(0x70, 3), EReply::Read},         {MakeFrame(0x70, 4), EReply::None},
        {MakeFrame(0xB0, 7), EReply::Read},         {MakeFrame(0xC0, 0x0A), EReply::Read},
        {MakeFrame(0xC0, 0x0B), EReply::Read},      {MakeFrame(0xC0, 0x0C), EReply::None},
        {MakeFrame(0xA0, 1), EReply::None},         {MakeFrame(0xD0, 1), EReply::None},
        {MakeFrame(0x20, 1), EReply::UnknownClass}, {MakeFrame(0xF0, 1), EReply::UnknownClass},
    };
    for (auto& c : cases)
        EXPECT_EQ(ReplyOf(c.f), c.expected) << std::hex << int(c.f[0]) << " " << int(c.f[1]);
}

TEST(Frame, EnvelopeRoundTripAndChecks) {
    const CFrame frame = MakeFrame(0xB0, 0x01, 0x01, 0, 0, 0, 0, 0xB2);
    CEnvelope env = BuildEnvelope(frame);
    EXPECT_EQ(env[0], 0xA5);
    EXPECT_EQ(env[4], 0xAE);
    EXPECT_EQ(env[13], 0x64); // B0+01+01+B2
    CFrame out{};
    EXPECT_TRUE(OpenEnvelope(env, out));
    EXPECT_EQ(out, frame);

    // Byte 1 needs only its low two bits to be 01.
    CEnvelope loose = env;
    loose[1] = 0x05;
    loose[4] = SumOf(loose.data(), 4);
    EXPECT_TRUE(OpenEnvelope(loose, out));

    struct Damage {
        size_t at;
        uint8_t value;
        bool fixHeaderSum;
    } damages[] = {{0, 0xA4, true}, {1, 0x02, true},  {2, 0x09, true},
                   {3, 0x01, true}, {4, 0xAF, false}, {13, 0x00, false}};
    for (auto& d : damages) {
        CEnvelope bad = env;
        bad[d.at] = d.value;
        if (d.fixHeaderSum)
            bad[4] = SumOf(bad.data(), 4);
        CFrame copied{};
        EXPECT_FALSE(OpenEnvelope(bad, copied)) << "byte " << d.at;
        EXPECT_EQ(copied, frame) << "the frame is copied out even when the checks fail";
    }
}

TEST(Frame, HexTextSkipsLeadingZeroBytesOnly) {
    const uint8_t zeros[8] = {};
    const uint8_t some[8] = {0, 0, 0, 0x12, 0x00, 0x0A, 0xFF, 0x00};
    const uint8_t full[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(HexText(zeros, 8), "");
    EXPECT_EQ(HexText(some, 8), "12000AFF00");
    EXPECT_EQ(HexText(full, 8), "0102030405060708");
}
