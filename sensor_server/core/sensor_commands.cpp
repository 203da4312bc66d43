#include "sensor_commands.h"

#include "byte_reader.h"
#include "protocol.h"
#include "status_codes.h"

#include <algorithm>
#include <cstdio>

namespace torvex {

using namespace proto;

namespace {

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

SAnswer CSensorCommands::StartAcquisition(uint8_t nMode) {
    if (m_view.m_bArmed)
        return AnswerCode(kAlreadyArmed);
    CFrame frame = Frame(nMode == 1 ? kWordArm : kWordArmMode2);
    const int nCode = TimedExchange(frame);
    if (nCode == kOk)
        m_view.m_bArmed = true;
    return AnswerCode(nCode);
}

SAnswer CSensorCommands::StopAcquisition() {
    m_view.m_bArmed = false;
    CFrame frame = Frame(kWordDisarm);
    return AnswerCode(TimedExchange(frame));
}

SAnswer CSensorCommands::SetAcquisitionValue(uint8_t nValue) {
    if (nValue < 1 || nValue > 60)
        return AnswerCode(kBadValue);
    if (m_view.m_bArmed)
        return AnswerCode(kAlreadyArmed);
    CFrame frame = Frame(kWordAcquisitionValue, nValue);
    return AnswerCode(TimedExchange(frame));
}

SAnswer CSensorCommands::SetControlMode(uint8_t nMode) {
    if (nMode > 1)
        return AnswerCode(kBadValue);
    CFrame frame = Frame(kWordControlMode, nMode);
    return AnswerCode(TimedExchange(frame));
}

SAnswer CSensorCommands::SetOptionBits(int nFirst, int nSecond) {
    CFrame frame = Frame(kWordOptionsRead, kOptionsRegister);
    const int nCode = TimedExchange(frame);
    if (nCode != kOk)
        return AnswerCode(nCode);
    const uint16_t wOld = U16At(frame, kAtOptionWord);
    uint16_t w = wOld;
    w = static_cast<uint16_t>(nFirst ? (w | kOptionFirst) : (w & ~kOptionFirst));
    w = static_cast<uint16_t>(nSecond ? (w | kOptionSecond) : (w & ~kOptionSecond));
    if (w != wOld) {
        CFrame set = Frame(kWordOptionsWrite, kOptionsWriteTag, kOptionsRegister);
        PutU16At(set, kAtOptionWordWrite, w);
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
    CFrame id = Frame(kWordSensor, kSelectIdentity);
    int nCode = TimedExchange(id);
    if (nCode != kOk)
        return AnswerCode(nCode);
    const uint8_t nType = SensorTypeOf(id[kAtSensorType]);
    // Default serial: the identity bytes behind leading zeros.
    uint8_t serial[kSerialSize] = {};
    std::copy(id.begin() + kAtSensorId, id.begin() + kAtSensorId + kSensorIdSize,
              serial + kSerialSize - kSensorIdSize);

    CFrame count = Frame(kWordSensor, kSelectCounter);
    nCode = TimedExchange(count);
    if (nCode != kOk)
        return AnswerCode(nCode);
    uint32_t nExposures = U16At(count, kAtCounter);

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
        for (size_t i = 0; i < kSerialSize; ++i)
            serial[i] = reader.U8(kSerialOffset + kSerialSize - 1 - i);

    char text[64];
    std::snprintf(text, sizeof text, "%d;%s;%lu", nType, HexText(serial, kSerialSize).c_str(),
                  static_cast<unsigned long>(nExposures));
    return AnswerText(kOk, text);
}

SAnswer CSensorCommands::ReadBox() {
    CFrame first = Frame(kWordBox, kSelectIdentity);
    int nCode = TimedExchange(first);
    if (nCode != kOk)
        return AnswerCode(nCode);
    // Default serial: the box identity behind two zero bytes.
    uint8_t serial[kSerialSize] = {};
    std::copy(first.begin() + kAtBoxId, first.begin() + kAtBoxId + kBoxIdSize,
              serial + kSerialSize - kBoxIdSize);

    CFrame firmware = Frame(kWordBox, kSelectFirmware);
    uint16_t wFirmware = 0;
    if (TimedExchange(firmware) == kOk) // a failure here is not reported
        wFirmware = U16At(firmware, kAtFirmware);

    CFrame a = Frame(kWordBoxSerial, 0);
    nCode = m_transport.ExchangeFrame(a);
    if (nCode != kOk)
        return AnswerCode(nCode);
    CFrame b = Frame(kWordBoxSerial, 1);
    nCode = m_transport.ExchangeFrame(b);
    if (nCode != kOk)
        return AnswerCode(nCode);

    const uint8_t* pA = a.data() + kAtBoxSerial;
    const uint8_t* pB = b.data() + kAtBoxSerial;
    if (m_transport.Link().m_nKind == kLinkSerial) {
        // The wireless sensor fills only two bytes of the second half.
        if (!Blank(pA, kBoxSerialHalf) || !Blank(pB, 2)) {
            const uint8_t s[kSerialSize] = {0, 0, pA[0], pA[1], pA[2], pA[3], pB[0], pB[1]};
            std::copy(s, s + kSerialSize, serial);
        }
    } else if (!Blank(pA, kBoxSerialHalf) || !Blank(pB, kBoxSerialHalf)) {
        std::copy(pA, pA + kBoxSerialHalf, serial);
        std::copy(pB, pB + kBoxSerialHalf, serial + kBoxSerialHalf);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s;%04X", HexText(serial, kSerialSize).c_str(), wFirmware);
    return AnswerText(kOk, text);
}

void CSensorCommands::StopAcquisitionAnswered() {
    m_answers.WriteResultEmpty();
    m_answers.WriteFinal(StopAcquisition());
}

namespace {

enum class EStateVerdict { Ready, Armed, Neither, Disarm, AskAgain };

// The first state reply decides unless the sensor is neither armed nor active.
EStateVerdict FirstVerdict(const SSensorState& state) {
    if (state.m_bImageReady)
        return EStateVerdict::Ready;
    if (state.m_bArmed)
        return EStateVerdict::Armed;
    if (!state.m_bActive)
        return EStateVerdict::AskAgain;
    if (state.m_bHold)
        return EStateVerdict::Neither;
    return state.m_bStopWanted ? EStateVerdict::Disarm : EStateVerdict::Armed;
}

// The second reply: a sensor still inactive is disarmed.
EStateVerdict SecondVerdict(const SSensorState& state) {
    if (state.m_bImageReady)
        return EStateVerdict::Ready;
    if (!state.m_bActive)
        return EStateVerdict::Disarm;
    return state.m_bHold ? EStateVerdict::Neither : EStateVerdict::Armed;
}

} // namespace

SAnswer CSensorCommands::ReadState() {
    CFrame r = Frame(kWordState, kSelectState);
    int nCode = TimedExchange(r, kTimingRuleStateMs);
    if (nCode != kOk)
        return AnswerCode(nCode);
    EStateVerdict eVerdict = FirstVerdict(StateOf(r));
    if (eVerdict == EStateVerdict::AskAgain) {
        m_transport.Clock().SleepMs(50);
        CFrame s = Frame(kWordState, kSelectState);
        nCode = TimedExchange(s, kTimingRuleStateMs);
        if (nCode != kOk)
            return AnswerCode(nCode);
        eVerdict = SecondVerdict(StateOf(s));
    }
    if (eVerdict == EStateVerdict::Disarm)
        StopAcquisitionAnswered();
    const int nReady = eVerdict == EStateVerdict::Ready ? 1 : 0;
    const int nArmed = eVerdict == EStateVerdict::Armed ? 1 : 0;
    m_view.m_bArmed = nArmed == 1;
    return AnswerText(kOk, std::to_string(nReady) + ";" + std::to_string(nArmed));
}

SAnswer CSensorCommands::ReadBattery() {
    if (m_transport.Link().m_nKind != kLinkSerial)
        return AnswerCode(kOk);
    CFrame frame = Frame(kWordBattery, kBatteryAsk, kBatteryAsk);
    const int nCode = TimedExchange(frame);
    if (nCode != kOk)
        return AnswerCode(nCode);
    const unsigned nMilliVolts = (frame[kAtBattery] * kBatteryFullMilliVolts + 127u) / 255u;
    return AnswerText(kOk, std::to_string(nMilliVolts));
}

SAnswer CSensorCommands::WriteBlemish(uint16_t a, uint16_t b) {
    CFrame frame = BlemishEntryFrame(kWordBlemishWrite, SBlemishEntry{a, b});
    return AnswerCode(TimedExchange(frame));
}

SAnswer CSensorCommands::SetBlemishMode(int nFirst, int nSecond) {
    CFrame frame = Frame(kWordBlemishMode, nFirst ? 1 : 0, nSecond ? 1 : 0);
    return AnswerCode(TimedExchange(frame));
}

SAnswer CSensorCommands::ReadBlemish() {
    m_mailbox.RemoveSection(kSectionBlemish);
    for (int i = 0; i < kBlemishEntriesMax; ++i) {
        CFrame frame = Frame(kWordBlemishRead, static_cast<uint8_t>(i));
        const int nCode = TimedExchange(frame);
        if (nCode != kOk)
            return AnswerCode(nCode);
        if (IsEndMarker(frame)) {
            m_mailbox.WriteInt(kSectionBlemish, "NUMBER", i);
            break;
        }
        const SBlemishEntry entry = BlemishEntryOf(frame);
        char text[32];
        std::snprintf(text, sizeof text, "%hu;%hu", static_cast<unsigned short>(entry.m_wFirst),
                      static_cast<unsigned short>(entry.m_wSecond));
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
    CFrame count = Frame(kWordSensor, kSelectCounter);
    int nCode = m_transport.ExchangeFrame(count);
    if (nCode != kOk)
        return nCode;
    if (U16At(count, kAtCounter) < kMaintenanceExposures)
        return kOk;

    CBlock copies[kSensorBlocks] = {};
    for (uint8_t n = 0; n < kSensorBlocks; ++n) {
        nCode = m_transport.ReadBlock(n, copies[n]);
        if (nCode != kOk)
            return nCode;
    }
    CFrame q = Frame(kWordSensor, kSelectIdentity);
    nCode = m_transport.ExchangeFrame(q);
    if (nCode != kOk)
        return nCode;

    SBlemishEntry table[kBlemishEntriesMax] = {};
    for (int i = 0; i < kBlemishEntriesMax; ++i) {
        CFrame entry = Frame(kWordBlemishRead, static_cast<uint8_t>(i));
        nCode = m_transport.ExchangeFrame(entry);
        if (nCode != kOk)
            return nCode;
        if (IsEndMarker(entry))
            break;
        table[i] = BlemishEntryOf(entry);
    }

    const std::array<uint8_t, 6> key = ConfirmationKey();
    CFrame confirm = Frame(kWordMemoryUnlock, key[0], key[1], key[2], key[3], key[4], key[5]);
    nCode = m_transport.ExchangeFrame(confirm);
    if (nCode != kOk)
        return nCode;
    // The sensor keeps its identity bytes across the re-initialisation.
    const uint8_t* pId = q.data() + kAtSensorId;
    CFrame reinit = Frame(kWordReinit, pId[0], pId[1], pId[2], pId[3], pId[4]);
    nCode = m_transport.ExchangeFrame(reinit);
    if (nCode != kOk)
        return nCode;

    CBlock unused{};
    nCode = m_transport.ReadBlock(0, unused);
    if (nCode != kOk)
        return nCode;
    PutU32Le(copies[0].data() + kCounterBaseOffset, 0);
    PutU32Le(copies[0].data() + kCounterValueOffset, 0);
    for (uint8_t n = 0; n < kSensorBlocks; ++n) {
        nCode = m_transport.WriteBlock(n, copies[n]);
        if (nCode != kOk)
            return nCode;
    }
    for (int i = 0; i < kBlemishEntriesMax; ++i) {
        if (table[i].m_wFirst == 0 && table[i].m_wSecond == 0)
            break;
        CFrame put = BlemishEntryFrame(kWordBlemishWrite, table[i]);
        nCode = m_transport.ExchangeFrame(put);
        if (nCode != kOk)
            return nCode;
    }
    return kOk;
}

} // namespace torvex
