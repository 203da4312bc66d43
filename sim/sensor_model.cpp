#include "sensor_model.h"

#include "byte_reader.h"

#include <algorithm>
#include <cstring>

namespace torvex::sim {

using namespace proto;

namespace {

CFrame Rejected() {
    return Frame(kWordRejected);
}

} // namespace

CSensorModel::CSensorModel(const SSensorSetup& setup)
    : m_setup(setup), m_blemish(setup.m_blemish), m_wExposures(setup.m_wExposures),
      m_wOptionWord(setup.m_wOptionWord) {
    for (size_t i = 0; i < kSerialSize; ++i)
        m_blocks[0][kSerialOffset + i] = static_cast<uint8_t>(setup.m_nSerial >> (8 * i));
    PutU32Le(m_blocks[0].data() + kCounterBaseOffset, setup.m_nCounterBase);
    PutU32Le(m_blocks[0].data() + kCounterValueOffset, setup.m_nCounterValue);
    for (size_t i = 0; i < kBlockSize; ++i) {
        m_blocks[1][i] = static_cast<uint8_t>(i);
        m_blocks[2][i] = static_cast<uint8_t>(0xFF - i);
    }
}

bool CSensorModel::Answer(const CFrame& f, CFrame& reply) {
    m_received.push_back(f);
    reply = f;
    // Checksummed classes refuse a wrong sum; only queries say so.
    if (HasChecksum(f[0]) && f[kChecksumAt] != SumOf(f.data(), kChecksumAt)) {
        reply = Rejected();
        return f[0] == kClassQuery;
    }
    switch (f[0]) {
    case kClassAcquisition:
        return AnswerAcquisition(f);
    case kClassQuery:
        return AnswerQuery(f, reply);
    case kClassBoxSerial:
        return AnswerBoxSerial(f, reply);
    case kClassMemory:
        return AnswerBlocks(f, reply);
    case kClassBlemish:
        return AnswerBlemish(f, reply);
    case kClassControl:
        return AnswerControl(f, reply);
    case kClassAux:
        return CommandWord(f) == kWordAux && AuxAnswered(f[2]);
    default:
        return false;
    }
}

bool CSensorModel::AnswerAcquisition(const CFrame& f) {
    switch (CommandWord(f)) {
    case kWordArm:
    case kWordArmMode2:
        m_bArmed = true;
        break;
    case kWordDisarm:
        m_bArmed = false;
        break;
    case kWordAcquisitionValue:
        m_nAcquisitionValue = f[2];
        break;
    default:
        break;
    }
    return false;
}

bool CSensorModel::AnswerQuery(const CFrame& f, CFrame& reply) {
    const uint16_t wWord = CommandWord(f);
    const uint8_t nSelect = f[2];
    if (wWord == kWordSensor && nSelect == kSelectIdentity) {
        reply = Frame(kWordSensor, static_cast<uint8_t>(m_setup.m_cType));
        std::copy(m_setup.m_idBytes.begin(), m_setup.m_idBytes.end(), reply.begin() + kAtSensorId);
    } else if (wWord == kWordSensor && nSelect == kSelectCounter) {
        reply = Frame(kWordSensor);
        PutU16At(reply, kAtCounter, m_wExposures);
    } else if (wWord == kWordBox && nSelect == kSelectIdentity) {
        reply = Frame(kWordBox);
        std::copy(m_setup.m_boxId.begin(), m_setup.m_boxId.end(), reply.begin() + kAtBoxId);
    } else if (wWord == kWordBox && nSelect == kSelectFirmware) {
        reply = Frame(kWordBox);
        PutU16At(reply, kAtFirmware, m_setup.m_wBoxFirmware);
        reply[kAtFirmwareTag] = m_setup.m_nFirmwareTag;
    } else if (wWord == kWordState && nSelect == kSelectState) {
        reply = Frame(kWordState, kSelectState);
        if (m_nStateIndex < m_setup.m_states.size()) {
            reply[kAtStateFlags] = m_setup.m_states[m_nStateIndex][0];
            reply[kAtStateMode] = m_setup.m_states[m_nStateIndex][1];
            ++m_nStateIndex;
        } else {
            reply[kAtStateFlags] = m_setup.m_bImageReady ? kFlagImageReady : 0;
            reply[kAtStateMode] = m_bArmed ? kModeArmedShown : 0;
        }
    } else {
        reply = Rejected();
    }
    return true;
}

bool CSensorModel::AnswerBoxSerial(const CFrame& f, CFrame& reply) {
    if (CommandWord(f) != kWordBoxSerial)
        return false;
    const auto& half = f[2] == 0 ? m_setup.m_boxSerialA : m_setup.m_boxSerialB;
    reply = Frame(kWordBoxSerial, f[2]);
    std::copy(half.begin(), half.end(), reply.begin() + kAtBoxSerial);
    return true;
}

bool CSensorModel::AnswerBlocks(const CFrame& f, CFrame& reply) {
    const uint16_t wWord = CommandWord(f);
    if (wWord == kWordMemoryUnlock) {
        m_bUnlocked = std::memcmp(f.data() + 2, kSimConfirmationKey, 6) == 0;
        return false;
    }
    const uint8_t nBlock = f[kAtBlock];
    if (nBlock >= kSensorBlocks) {
        reply = Rejected();
        return wWord == kWordMemoryRead;
    }
    if (wWord == kWordMemoryRead) {
        m_nWordIndex = f[kAtWordMark] == kMarkFirstRead ? 0 : m_nWordIndex + 1;
        const size_t at = kBlockWordSize * (m_nWordIndex % kBlockWords);
        reply = f;
        std::memcpy(reply.data() + kAtBlockWord, m_blocks[nBlock].data() + at, kBlockWordSize);
        return true;
    }
    if (wWord == kWordMemoryWrite) {
        m_nWordIndex = f[kAtWordMark] == kMarkFirstWrite ? 0 : m_nWordIndex + 1;
        const size_t at = kBlockWordSize * (m_nWordIndex % kBlockWords);
        std::memcpy(m_blocks[nBlock].data() + at, f.data() + kAtBlockWord, kBlockWordSize);
        return false;
    }
    return false;
}

bool CSensorModel::AnswerBlemish(const CFrame& f, CFrame& reply) {
    switch (CommandWord(f)) {
    case kWordReinit:
        if (m_bUnlocked) {
            m_wExposures = 0;
            m_blemish.clear();
            std::memcpy(m_setup.m_idBytes.data(), f.data() + 2, kSensorIdSize);
        }
        m_bUnlocked = false;
        return false;
    case kWordBlemishRead:
        if (f[2] < m_blemish.size()) {
            const auto& e = m_blemish[f[2]];
            reply = BlemishEntryFrame(kWordBlemishRead, SBlemishEntry{e.first, e.second});
        } else {
            const uint8_t m = m_setup.m_nEndMarker;
            reply = Frame(kWordBlemishRead, m, m, m, m);
        }
        return true;
    case kWordBlemishWrite:
        if (m_blemish.size() < static_cast<size_t>(kBlemishEntriesMax)) {
            const SBlemishEntry e = BlemishEntryOf(f);
            m_blemish.emplace_back(e.m_wFirst, e.m_wSecond);
        }
        return false;
    default:
        return false;
    }
}

bool CSensorModel::AnswerControl(const CFrame& f, CFrame& reply) {
    switch (CommandWord(f)) {
    case kWordBattery:
        reply = Frame(kWordBattery, f[2], f[3]);
        reply[kAtBattery] = m_setup.m_nBattery;
        return true;
    case kWordOptionsRead:
        reply = Frame(kWordOptionsRead, f[2]);
        PutU16At(reply, kAtOptionWord, m_wOptionWord);
        return true;
    case kWordOptionsWrite:
        m_wOptionWord = U16At(f, kAtOptionWordWrite);
        return false;
    default:
        return false;
    }
}

} // namespace torvex::sim
