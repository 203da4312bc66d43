#include "camera_mcu_model.h"

#include "camera_probe_protocol.h"

#include <cstdio>

namespace bridgesim {

namespace cam = ostrel::camera;

void CCameraMcu::Write(bool bSub, uint8_t nSub, const uint8_t* pData, size_t nCount) {
    const bool bKey =
        bSub && nSub == cam::kMailbox && nCount == 4 &&
        (pData[0] | pData[1] << 8 | pData[2] << 16 | uint32_t(pData[3]) << 24) == cam::kKey;
    if (bKey) {
        m_bArmed = true;
        m_bPending = false;
        m_message.clear();
        return;
    }
    if (!m_bArmed)
        return; // no key, no command
    if (bSub)
        m_message.push_back(nSub);
    m_message.insert(m_message.end(), pData, pData + nCount);
    if (!m_message.empty() && m_message.size() >= m_message[0])
        Take();
}

void CCameraMcu::Take() {
    std::string strText;
    for (uint8_t b : m_message) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", b);
        strText += hex;
    }
    m_messages.push_back(strText);
    const uint8_t nCommand = m_message.size() > 1 ? m_message[1] : 0;
    const uint8_t nArg = m_message.size() > 2 ? m_message[2] : 0;
    m_reply.clear();
    if (nCommand == cam::kCmdIdentity) {
        m_reply = {uint8_t(cam::kIdentityLength),
                   m_setup.m_nDivisor,
                   0x00,
                   0x00,
                   m_setup.m_nFwMajor,
                   m_setup.m_nFwMinor,
                   0x00,
                   0x00};
    } else if (nCommand == cam::kCmdQuery && nArg == cam::kQueryStandard) {
        m_reply = {uint8_t(cam::kStandardLength), uint8_t(m_setup.m_bPal ? 1 : 0)};
    } else if (nCommand == cam::kCmdQuery && nArg == cam::kQuerySerial) {
        m_reply = {uint8_t(cam::kSerialLength)};
        for (size_t i = 0; i < 8; ++i)
            m_reply.push_back(i < m_setup.m_strSerial.size()
                                  ? static_cast<uint8_t>(m_setup.m_strSerial[i])
                                  : uint8_t(' '));
    } else {
        m_reply = {0x02, 0x00}; // plain acknowledgement
    }
    auto wrong = m_setup.m_wrongLength.find(nCommand);
    if (wrong != m_setup.m_wrongLength.end())
        m_reply[0] = wrong->second;
    m_nCursor = 0;
    m_bArmed = false;
    m_bPending = true;
    m_nBusyLeft = m_setup.m_nBusyReads;
    m_message.clear();
}

void CCameraMcu::Read(bool bSub, uint8_t nSub, uint8_t* pData, size_t nCount) {
    if (bSub && nSub == cam::kMailbox)
        m_nCursor = 0;
    for (size_t i = 0; i < nCount; ++i) {
        pData[i] = m_nCursor < m_reply.size() ? m_reply[m_nCursor] : 0x00;
        ++m_nCursor;
    }
}

uint8_t CCameraMcu::ReadPort() {
    if (!m_bPending)
        return m_setup.m_nIdlePort;
    if (m_nBusyLeft > 0) {
        --m_nBusyLeft;
        return m_setup.m_nBusyPort;
    }
    return m_setup.m_nReadyPort;
}

} // namespace bridgesim
