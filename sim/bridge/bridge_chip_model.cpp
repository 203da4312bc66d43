#include "bridge_chip_model.h"

#include "camera_probe_protocol.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace bridgesim {

using namespace vidlink;

CBridgeChip::CBridgeChip(const SBridgeSetup& setup) : m_setup(setup) {
    if (setup.m_bCamera)
        m_pCamera = std::make_unique<CCameraMcu>(setup.m_camera);
}

HResult CBridgeChip::SetProperty(uint32_t nId, void* pData) {
    return Record('S', nId, pData, Set(nId, static_cast<uint32_t*>(pData)));
}

HResult CBridgeChip::GetProperty(uint32_t nId, void* pData) {
    return Record('G', nId, pData, Get(nId, static_cast<uint32_t*>(pData)));
}

HResult CBridgeChip::Record(char cDirection, uint32_t nId, const void* pData, HResult hr) {
    char line[32];
    std::snprintf(line, sizeof line, "%c%04X=%08X", cDirection, nId,
                  pData ? *static_cast<const uint32_t*>(pData) : 0u);
    m_log.push_back(line);
    return hr;
}

bool CBridgeChip::HasDevice(uint32_t nAddr) const {
    return m_pCamera && (nAddr & 0xFF) == ostrel::camera::kAddress;
}

uint8_t CBridgeChip::PortValueReg() const {
    return IsNewLayoutChip(m_setup.m_nChipId) ? kRegPortValueNew : kRegPortValue;
}

uint8_t CBridgeChip::ReadReg(uint8_t nReg) {
    if (nReg == PortValueReg())
        return m_pCamera ? m_pCamera->ReadPort() : 0;
    if (nReg == kRegAc97Status) {
        if (m_setup.m_bAc97AlwaysBusy)
            return kAc97Busy;
        if (m_nAc97BusyLeft > 0) {
            --m_nAc97BusyLeft;
            return kAc97Busy;
        }
        return 0;
    }
    return m_regs[nReg];
}

void CBridgeChip::WriteReg(uint8_t nReg, uint8_t nValue) {
    m_regs[nReg] = nValue;
    if (nReg != kRegAc97Command)
        return;
    const uint8_t nCodecReg = nValue & 0x7F;
    if (nValue & kAc97Read) {
        m_regs[kRegAc97Data] = static_cast<uint8_t>(m_ac97[nCodecReg]);
        m_regs[kRegAc97Data + 1] = static_cast<uint8_t>(m_ac97[nCodecReg] >> 8);
    } else {
        m_ac97[nCodecReg] =
            static_cast<uint16_t>(m_regs[kRegAc97Data] | m_regs[kRegAc97Data + 1] << 8);
    }
    m_nAc97BusyLeft = m_setup.m_nAc97BusyReads;
}

// The byte count of a data transfer under a control word, or why there is none.
static HResult DataCount(uint32_t nWord, uint32_t& nCount) {
    if (nWord == 0)
        return kHrNoControlWord;
    nCount = nWord & 0xFF;
    return nCount > 4 ? kHrBadCount : 0;
}

// Moves count bytes between the caller's variable and the registers; bytes
// past the count keep the caller's values.
HResult CBridgeChip::RegTransfer(uint32_t* pData, bool bRead) {
    uint32_t nCount = 0;
    if (HResult hr = DataCount(m_nRegWord, nCount))
        return hr;
    const uint8_t nReg = static_cast<uint8_t>(m_nRegWord >> 8);
    uint8_t bytes[4];
    std::memcpy(bytes, pData, 4);
    if (!bRead) {
        for (uint32_t i = 0; i < nCount; ++i)
            WriteReg(static_cast<uint8_t>(nReg + i), bytes[i]);
        return 0;
    }
    if (nReg == kRegRemoteData && nCount == 4 && !m_setup.m_remoteReadings.empty()) {
        const auto& readings = m_setup.m_remoteReadings;
        const uint32_t v = readings[std::min(m_nRemoteIndex, readings.size() - 1)];
        ++m_nRemoteIndex;
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<uint8_t>(v >> (8 * i));
    } else {
        for (uint32_t i = 0; i < nCount; ++i)
            bytes[i] = ReadReg(static_cast<uint8_t>(nReg + i));
    }
    std::memcpy(pData, bytes, 4);
    return 0;
}

HResult CBridgeChip::BusTransfer(uint32_t* pData, bool bRead) {
    uint32_t nCount = 0;
    if (HResult hr = DataCount(m_nI2CWord, nCount))
        return hr;
    if (!HasDevice(m_nI2CWord >> 16))
        return kHrBusFailure;
    const bool bSub = (m_nI2CWord & kI2CWithSubAddress) != 0;
    const uint8_t nSub = static_cast<uint8_t>(m_nI2CWord >> 8);
    uint8_t bytes[4];
    std::memcpy(bytes, pData, 4);
    if (bRead) {
        m_pCamera->Read(bSub, nSub, bytes, nCount);
        std::memcpy(pData, bytes, 4);
    } else {
        m_pCamera->Write(bSub, nSub, bytes, nCount);
    }
    return 0;
}

HResult CBridgeChip::Set(uint32_t nId, uint32_t* pData) {
    if (!pData)
        return kHrBadCount;
    switch (nId) {
    case kPropRegControl:
        m_nRegWord = *pData;
        return 0;
    case kPropI2CControl:
        m_nI2CWord = *pData;
        return 0;
    case kPropDetectAddress:
        m_nDetectAddress = *pData;
        return 0;
    case kPropRegData:
        return RegTransfer(pData, false);
    case kPropI2CData:
        return BusTransfer(pData, false);
    default:
        return kHrUnknownProperty;
    }
}

HResult CBridgeChip::Get(uint32_t nId, uint32_t* pData) {
    if (!pData)
        return kHrBadCount;
    const bool bSecond = m_setup.m_eGeneration == EGeneration::Second;
    switch (nId) {
    case kPropRegData:
        return RegTransfer(pData, true);
    case kPropI2CData:
        return BusTransfer(pData, true);
    case kPropDetectFound:
        *pData = HasDevice(m_nDetectAddress) ? 1 : 0;
        return 0;
    case kPropDetectResult:
        *pData = HasDevice(m_nDetectAddress) ? (m_nDetectAddress & 0xFF) : 0;
        return 0;
    case kPropChipId:
        if (!bSecond)
            return kHrUnknownProperty;
        *pData = m_setup.m_nChipId;
        return 0;
    case kPropRemoteCode:
        if (!bSecond)
            return kHrUnknownProperty;
        *pData = m_setup.m_nRemoteCode;
        return 0;
    case kPropRemoteAddress:
        if (!bSecond)
            return kHrUnknownProperty;
        *pData = m_setup.m_nRemoteAddress;
        return 0;
    case kPropKept103B:
        if (!bSecond)
            return kHrUnknownProperty;
        *pData = m_setup.m_nKept103B;
        return 0;
    default:
        return kHrUnknownProperty;
    }
}

} // namespace bridgesim
