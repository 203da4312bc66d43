#include "sensor_commands.h"

#include "byte_reader.h"
#include "status_codes.h"

#include <cstdio>

namespace torvex {

namespace {

constexpr size_t kSerialOffset = 80; // 8 bytes, least significant first
constexpr size_t kCounterBaseOffset = 92;
constexpr size_t kCounterValueOffset = 96;

// The confirmation key that unlocks the sensor's memory. Built byte by byte
// so that it does not stand in the program file as one string.
std::array<uint8_t, 6> ConfirmationKey() {
    const uint8_t scrambled[6] = {0x0C, 0x1B, 0x08, 0x14, 0x13, 0x11};
    std::array<uint8_t, 6> key{};
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<uint8_t>(scrambled[i] ^ 0x5A);
    return key;
}

uint8_t SensorTypeOf(uint8_t c) {
    switch (c) {
    case 'A':
        return 1;
    case 'B':
        return 2;
    case 'C':
        return 42;
    default:
        return 255;
    }
}

bool AllEqualTo(const uint8_t* p, size_t n, uint8_t v) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] != v)
            return false;
    return true;
}

bool Blank(const uint8_t* p, size_t n) {
    return AllEqualTo(p, n, 0x00) || AllEqualTo(p, n, 0xFF);
}

} // namespace

CSensorCommands::CSensorCommands(CTransport& transport, CMailbox& mailbox, CAnswerWriter& answers,
                                 SViewState& view)
    : m_transport(transport), m_mailbox(mailbox), m_answers(answers), m_view(view) {}

int CSensorCommands::TimedExchange(CFrame& frame, uint32_t nLimitMs) {
    IClock& clock = m_transport.Clock();
    const uint64_t nStart = clock.NowMs();
    const int nCode = m_transport.ExchangeFrame(frame);
    if (nCode == kOk && clock.NowMs() - nStart > nLimitMs)
        return kTimeout;
    return nCode;
}

bool CSensorCommands::IsEndMarker(const CFrame& r) const {
    return r[2] == r[3] && r[3] == r[4] && r[4] == r[5] && (r[2] == 0x00 || r[2] == 0xFF);
}

SAnswer CSensorCommands::StartAcquisition(uint8_t nMode) {
    if (m_view.m_bArmed)
        return AnswerCode(kAlreadyArmed);
    CFrame frame = MakeFrame(0xA0, nMode);
    const int nCode = TimedExchange(frame);
    if (nCode == kOk)
        m_view.m_bArmed = true;
    return AnswerCode(nCode);
}

SAnswer CSensorCommands::StopAcquisition() {
    m_view.m_bArmed = false;
    CFrame frame = MakeFrame(0xA0, 0x30);
    return AnswerCode(TimedExchange(frame));
}

SAnswer CSensorCommands::SetAcquisitionValue(uint8_t nValue) {
    if (nValue < 1 || nValue > 60)
        return AnswerCode(kBadValue);
    if (m_view.m_bArmed)
        return AnswerCode(kAlreadyArmed);
    CFrame frame = MakeFrame(0xA0, 0x20, nValue);
    return AnswerCode(TimedExchange(frame));
}

SAnswer CSensorCommands::SetControlMode(uint8_t nMode) {
    if (nMode > 1)
        return AnswerCode(kBadValue);
    CFrame frame = MakeFrame(0xC0, 0x03, nMode);
    return AnswerCode(TimedExchange(frame));
}

SAnswer CSensorCommands::SetOptionBits(int nFirst, int nSecond) {
    CFrame frame = MakeFrame(0xC0, 0x0B, 0x08);
    const int nCode = TimedExchange(frame);
    if (nCode != kOk)
        return AnswerCode(nCode);
    const uint16_t wOld = static_cast<uint16_t>(frame[3] | (frame[4] << 8));
    uint16_t w = wOld;
    w = static_cast<uint16_t>(nFirst ? (w | 0x0002) : (w & ~0x0002));
    w = static_cast<uint16_t>(nSecond ? (w | 0x0004) : (w & ~0x0004));
    if (w != wOld) {
        CFrame set = MakeFrame(0xC0, 0x0C, 0xA0, 0x08, static_cast<uint8_t>(w),
                               static_cast<uint8_t>(w >> 8));
        (void)m_transport.ExchangeFrame(set); // not reported
    }
    return AnswerCode(kOk);
}

SAnswer CSensorCommands::ReadSensor() {
    if (!m_view.m_bArmed) {
        const int nCode = m_transport.PulseArm();
        if (nCode != kOk)
            return AnswerCode(nCode);
    }
    CFrame id = MakeFrame(0xB0, 0x01, 0x01);
    int nCode = TimedExchange(id);
    if (nCode != kOk)
        return AnswerCode(nCode);
    const uint8_t nType = SensorTypeOf(id[2]);
    uint8_t serial[8] = {0, 0, 0, id[3], id[4], id[5], id[6], id[7]};

    CFrame count = MakeFrame(0xB0, 0x01, 0x02);
    nCode = TimedExchange(count);
    if (nCode != kOk)
        return AnswerCode(nCode);
    uint32_t nExposures = static_cast<uint32_t>(count[2] | (count[3] << 8));

    IClock& clock = m_transport.Clock();
    clock.SleepMs(500);
    CBlock block{};
    const uint64_t nStart = clock.NowMs();
    nCode = m_transport.ReadBlock(0, block);
    if (nCode == kOk && clock.NowMs() - nStart > kTimingRuleMs)
        nCode = kTimeout;
    if (nCode != kOk)
        return AnswerCode(nCode);
    CByteReader reader(block.data(), block.size());
    nExposures += reader.U32Le(kCounterValueOffset) - reader.U32Le(kCounterBaseOffset);
    if (reader.U32Le(kSerialOffset) != 0 || reader.U32Le(kSerialOffset + 4) != 0)
        for (size_t i = 0; i < 8; ++i)
            serial[i] = reader.U8(kSerialOffset + 7 - i);

    char text[64];
    std::snprintf(text, sizeof text, "%d;%s;%lu", nType, HexText(serial, 8).c_str(),
                  static_cast<unsigned long>(nExposures));
    return AnswerText(kOk, text);
}

SAnswer CSensorCommands::ReadBox() {
    CFrame first = MakeFrame(0xB0, 0x02, 0x01);
    int nCode = TimedExchange(first);
    if (nCode != kOk)
        return AnswerCode(nCode);
    uint8_t serial[8];
    for (size_t i = 0; i < 8; ++i)
        serial[i] = i < 2 ? 0 : first[i];

    CFrame firmware = MakeFrame(0xB0, 0x02, 0x02);
    uint16_t wFirmware = 0;
    if (TimedExchange(firmware) == kOk) // a failure here is not reported
        wFirmware = static_cast<uint16_t>(firmware[2] | (firmware[3] << 8));

    CFrame a = MakeFrame(0x60, 0x01, 0x00);
    nCode = m_transport.ExchangeFrame(a);
    if (nCode != kOk)
        return AnswerCode(nCode);
    CFrame b = MakeFrame(0x60, 0x01, 0x01);
    nCode = m_transport.ExchangeFrame(b);
    if (nCode != kOk)
        return AnswerCode(nCode);

    if (m_transport.Link().m_nKind == kLinkSerial) {
        const bool bB = !((b[4] == 0 && b[5] == 0) || (b[4] == 0xFF && b[5] == 0xFF));
        if (!Blank(a.data() + 4, 4) || bB) {
            const uint8_t s[8] = {0, 0, a[4], a[5], a[6], a[7], b[4], b[5]};
            std::copy(s, s + 8, serial);
        }
    } else if (!Blank(a.data() + 4, 4) || !Blank(b.data() + 4, 4)) {
        const uint8_t s[8] = {a[4], a[5], a[6], a[7], b[4], b[5], b[6], b[7]};
        std::copy(s, s + 8, serial);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s;%04X", HexText(serial, 8).c_str(), wFirmware);
    return AnswerText(kOk, text);
}

void CSensorCommands::StopAcquisitionAnswered() {
    m_answers.WriteResultEmpty();
    m_answers.WriteFinal(StopAcquisition());
}

SAnswer CSensorCommands::ReadState() {
    CFrame r = MakeFrame(0xB0, 0x03, 0x01);
    int nCode = TimedExchange(r, kTimingRuleStateMs);
    if (nCode != kOk)
        return AnswerCode(nCode);
    int nReady = 0;
    int nArmed = 0;
    if (r[4] & 0x01) {
        nReady = 1;
    } else if (r[6] & 0xC0) {
        nArmed = 1;
    } else if (r[6] & 0x10) {
        if (r[4] & 0x02) {
            // nothing more
        } else if (r[4] & 0x04) {
            StopAcquisitionAnswered();
        } else {
            nArmed = 1;
        }
    } else {
        m_transport.Clock().SleepMs(50);
        CFrame s = MakeFrame(0xB0, 0x03, 0x01);
        nCode = TimedExchange(s, kTimingRuleStateMs);
        if (nCode != kOk)
            return AnswerCode(nCode);
        if (s[4] & 0x01)
            nReady = 1;
        else if (!(s[6] & 0x10))
            StopAcquisitionAnswered();
        else if (s[4] & 0x02) {
            // both stay 0
        } else
            nArmed = 1;
    }
    m_view.m_bArmed = nArmed == 1;
    return AnswerText(kOk, std::to_string(nReady) + ";" + std::to_string(nArmed));
}

SAnswer CSensorCommands::ReadBattery() {
    if (m_transport.Link().m_nKind != kLinkSerial)
        return AnswerCode(kOk);
    CFrame frame = MakeFrame(0xC0, 0x0A, 0x2A, 0x2A);
    const int nCode = TimedExchange(frame);
    if (nCode != kOk)
        return AnswerCode(nCode);
    const unsigned nMilliVolts = (frame[7] * 7000u + 127u) / 255u;
    return AnswerText(kOk, std::to_string(nMilliVolts));
}

SAnswer CSensorCommands::WriteBlemish(uint16_t a, uint16_t b) {
    CFrame frame = MakeFrame(0x70, 0x04, static_cast<uint8_t>(a), static_cast<uint8_t>(a >> 8),
                             static_cast<uint8_t>(b), static_cast<uint8_t>(b >> 8));
    return AnswerCode(TimedExchange(frame));
}

SAnswer CSensorCommands::SetBlemishMode(int nFirst, int nSecond) {
    CFrame frame = MakeFrame(0x70, 0x05, nFirst ? 1 : 0, nSecond ? 1 : 0);
    return AnswerCode(TimedExchange(frame));
}

SAnswer CSensorCommands::ReadBlemish() {
    m_mailbox.WriteInt(kSectionBlemish, std::string(), 0);
    for (int i = 0; i < kBlemishEntriesMax; ++i) {
        CFrame frame = MakeFrame(0x70, 0x03, static_cast<uint8_t>(i));
        const int nCode = TimedExchange(frame);
        if (nCode != kOk)
            return AnswerCode(nCode);
        if (IsEndMarker(frame)) {
            m_mailbox.WriteInt(kSectionBlemish, "NUMBER", i);
            break;
        }
        char text[32];
        std::snprintf(text, sizeof text, "%hu;%hu",
                      static_cast<unsigned short>(frame[2] | (frame[3] << 8)),
                      static_cast<unsigned short>(frame[4] | (frame[5] << 8)));
        m_mailbox.WriteSectionString(kSectionBlemish, std::to_string(i + 1), text);
    }
    return AnswerCode(kOk);
}

SAnswer CSensorCommands::SendFrame(const CFrame& frameIn) {
    CFrame frame = frameIn;
    const int nCode = TimedExchange(frame);
    if (nCode != kOk)
        return AnswerCode(nCode);
    std::string text;
    for (size_t i = 0; i < 8; ++i)
        text += (i ? ";" : "") + std::to_string(frame[i]);
    return AnswerText(kOk, text);
}

int CSensorCommands::RunPreArmMaintenance() {
    CFrame count = MakeFrame(0xB0, 0x01, 0x02);
    int nCode = m_transport.ExchangeFrame(count);
    if (nCode != kOk)
        return nCode;
    if (static_cast<uint32_t>(count[2] | (count[3] << 8)) < kMaintenanceExposures)
        return kOk;

    CBlock copies[3] = {};
    for (uint8_t n = 0; n < 3; ++n) {
        nCode = m_transport.ReadBlock(n, copies[n]);
        if (nCode != kOk)
            return nCode;
    }
    CFrame q = MakeFrame(0xB0, 0x01, 0x01);
    nCode = m_transport.ExchangeFrame(q);
    if (nCode != kOk)
        return nCode;

    uint16_t first[kBlemishEntriesMax] = {};
    uint16_t second[kBlemishEntriesMax] = {};
    for (int i = 0; i < kBlemishEntriesMax; ++i) {
        CFrame entry = MakeFrame(0x70, 0x03, static_cast<uint8_t>(i));
        nCode = m_transport.ExchangeFrame(entry);
        if (nCode != kOk)
            return nCode;
        if (IsEndMarker(entry))
            break;
        first[i] = static_cast<uint16_t>(entry[2] | (entry[3] << 8));
        second[i] = static_cast<uint16_t>(entry[4] | (entry[5] << 8));
    }

    const std::array<uint8_t, 6> key = ConfirmationKey();
    CFrame confirm = MakeFrame(0x90, 0x03, key[0], key[1], key[2], key[3], key[4], key[5]);
    nCode = m_transport.ExchangeFrame(confirm);
    if (nCode != kOk)
        return nCode;
    CFrame reinit = MakeFrame(0x70, 0x01, q[3], q[4], q[5], q[6], q[7]);
    nCode = m_transport.ExchangeFrame(reinit);
    if (nCode != kOk)
        return nCode;

    CBlock unused{};
    nCode = m_transport.ReadBlock(0, unused);
    if (nCode != kOk)
        return nCode;
    PutU32Le(copies[0].data() + kCounterBaseOffset, 0);
    PutU32Le(copies[0].data() + kCounterValueOffset, 0);
    for (uint8_t n = 0; n < 3; ++n) {
        nCode = m_transport.WriteBlock(n, copies[n]);
        if (nCode != kOk)
            return nCode;
    }
    for (int i = 0; i < kBlemishEntriesMax; ++i) {
        if (first[i] == 0 && second[i] == 0)
            break;
        CFrame put = MakeFrame(0x70, 0x04, static_cast<uint8_t>(first[i]),
                               static_cast<uint8_t>(first[i] >> 8), static_cast<uint8_t>(second[i]),
                               static_cast<uint8_t>(second[i] >> 8));
        nCode = m_transport.ExchangeFrame(put);
        if (nCode != kOk)
            return nCode;
    }
    return kOk;
}

} // namespace torvex
