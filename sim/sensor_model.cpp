#include "sensor_model.h"

#include "byte_reader.h"

#include <cstring>

namespace torvex::sim {

CSensorModel::CSensorModel(const SSensorSetup& setup)
    : m_setup(setup), m_blemish(setup.m_blemish), m_wExposures(setup.m_wExposures),
      m_wOptionWord(setup.m_wOptionWord) {
    for (size_t i = 0; i < 8; ++i)
        m_blocks[0][80 + i] = static_cast<uint8_t>(setup.m_nSerial >> (8 * i));
    PutU32Le(m_blocks[0].data() + 92, setup.m_nCounterBase);
    PutU32Le(m_blocks[0].data() + 96, setup.m_nCounterValue);
    for (size_t i = 0; i < 128; ++i) {
        m_blocks[1][i] = static_cast<uint8_t>(i);
        m_blocks[2][i] = static_cast<uint8_t>(0xFF - i);
    }
}

bool CSensorModel::AnswerBlocks(const CFrame& f, CFrame& reply) {
    if (f[1] == 0x03) {
        m_bUnlocked = std::memcmp(f.data() + 2, kSimConfirmationKey, 6) == 0;
        return false;
    }
    const uint8_t nBlock = f[2];
    if (nBlock > 2) {
        reply = MakeFrame(0xF0, 0x01);
        return f[1] == 0x01;
    }
    if (f[1] == 0x01) {
        m_nWordIndex = f[3] == 0x5A ? 0 : m_nWordIndex + 1;
        const size_t at = 4 * (m_nWordIndex % 32);
        const auto& b = m_blocks[nBlock];
        reply = MakeFrame(0x90, 0x01, nBlock, f[3], b[at], b[at + 1], b[at + 2], b[at + 3]);
        return true;
    }
    if (f[1] == 0x02) {
        m_nWordIndex = f[3] == 0xA5 ? 0 : m_nWordIndex + 1;
        const size_t at = 4 * (m_nWordIndex % 32);
        std::memcpy(m_blocks[nBlock].data() + at, f.data() + 4, 4);
        return false;
    }
    return false;
}

bool CSensorModel::Answer(const CFrame& f, CFrame& reply) {
    m_received.push_back(f);
    reply = f;
    // A and B classes carry a checksum; a wrong one is refused.
    if ((f[0] == 0xA0 || f[0] == 0xB0) && f[7] != SumOf(f.data(), 7)) {
        reply = MakeFrame(0xF0, 0x01);
        return f[0] == 0xB0;
    }
    switch (f[0]) {
    case 0xA0:
        if (f[1] == 0x01 || f[1] == 0x02)
            m_bArmed = true;
        else if (f[1] == 0x30)
            m_bArmed = false;
        else if (f[1] == 0x20)
            m_nAcquisitionValue = f[2];
        return false;
    case 0xB0:
        if (f[1] == 0x01 && f[2] == 0x01) {
            const auto& id = m_setup.m_idBytes;
            reply = MakeFrame(0xB0, 0x01, static_cast<uint8_t>(m_setup.m_cType), id[0], id[1],
                              id[2], id[3], id[4]);
        } else if (f[1] == 0x01 && f[2] == 0x02) {
            reply = MakeFrame(0xB0, 0x01, static_cast<uint8_t>(m_wExposures),
                              static_cast<uint8_t>(m_wExposures >> 8));
        } else if (f[1] == 0x02 && f[2] == 0x01) {
            const auto& id = m_setup.m_boxId;
            reply = MakeFrame(0xB0, 0x02, id[0], id[1], id[2], id[3], id[4], id[5]);
        } else if (f[1] == 0x02 && f[2] == 0x02) {
            reply = MakeFrame(0xB0, 0x02, static_cast<uint8_t>(m_setup.m_wBoxFirmware),
                              static_cast<uint8_t>(m_setup.m_wBoxFirmware >> 8), 0, 0, 0,
                              m_setup.m_nFirmwareTag);
        } else if (f[1] == 0x03 && f[2] == 0x01) {
            reply = MakeFrame(0xB0, 0x03, 0x01, 0, m_setup.m_bImageReady ? 0x01 : 0x00, 0,
                              m_bArmed ? 0x40 : 0x00);
        } else {
            reply = MakeFrame(0xF0, 0x01);
        }
        return true;
    case 0x60: {
        if (f[1] != 0x01)
            return false;
        const auto& s = f[2] == 0 ? m_setup.m_boxSerialA : m_setup.m_boxSerialB;
        reply = MakeFrame(0x60, 0x01, f[2], 0, s[0], s[1], s[2], s[3]);
        return true;
    }
    case 0x90:
        return AnswerBlocks(f, reply);
    case 0x70:
        if (f[1] == 0x01) {
            if (m_bUnlocked) {
                m_wExposures = 0;
                m_blemish.clear();
                std::memcpy(m_setup.m_idBytes.data(), f.data() + 2, 5);
            }
            m_bUnlocked = false;
            return false;
        }
        if (f[1] == 0x03) {
            if (f[2] < m_blemish.size()) {
                const auto& e = m_blemish[f[2]];
                reply = MakeFrame(
                    0x70, 0x03, static_cast<uint8_t>(e.first), static_cast<uint8_t>(e.first >> 8),
                    static_cast<uint8_t>(e.second), static_cast<uint8_t>(e.second >> 8));
            } else {
                const uint8_t m = m_setup.m_nEndMarker;
                reply = MakeFrame(0x70, 0x03, m, m, m, m);
            }
            return true;
        }
        if (f[1] == 0x04 && m_blemish.size() < 256)
            m_blemish.emplace_back(static_cast<uint16_t>(f[2] | (f[3] << 8)),
                                   static_cast<uint16_t>(f[4] | (f[5] << 8)));
        return false;
    case 0xC0:
        if (f[1] == 0x0A) {
            reply = MakeFrame(0xC0, 0x0A, f[2], f[3], 0, 0, 0, m_setup.m_nBattery);
            return true;
        }
        if (f[1] == 0x0B) {
            reply = MakeFrame(0xC0, 0x0B, f[2], static_cast<uint8_t>(m_wOptionWord),
                              static_cast<uint8_t>(m_wOptionWord >> 8));
            return true;
        }
        if (f[1] == 0x0C)
            m_wOptionWord = static_cast<uint16_t>(f[4] | (f[5] << 8));
        return false;
    case 0x10:
        return f[1] == 1 && (f[2] == 1 || f[2] == 4);
    default:
        return false;
    }
}

} // namespace torvex::sim
