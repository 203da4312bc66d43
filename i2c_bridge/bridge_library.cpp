#include "bridge_library.h"

#include <utility>

namespace vidlink {

int CBridgeLibrary::OpenInterface(const char* pszName) {
    // The replaced context is released, not dropped: one detection run per
    // open would otherwise leak a vendor interface each time.
    m_pContext.reset();
    const std::string strName = pszName ? pszName : "";
    auto pContext = std::make_unique<SBridgeContext>();
    pContext->m_pDriver = m_finder.FindDriver(strName);
    if (pContext->m_pDriver && m_eGeneration == EGeneration::Second)
        ReadOpenProperties(*pContext);
    // The check: the device must be found a second time.
    if (!m_finder.FindDriver(strName))
        return 0;
    m_pContext = std::move(pContext);
    return 1;
}

void CBridgeLibrary::ReadOpenProperties(SBridgeContext& context) {
    uint32_t nValue = 0;
    context.m_hrLast = context.m_pDriver->GetProperty(kPropKept103B, &context.m_nKept103B);
    context.m_hrLast = context.m_pDriver->GetProperty(kPropRemoteCode, &context.m_nRemoteCode);
    context.m_hrLast =
        context.m_pDriver->GetProperty(kPropRemoteAddress, &context.m_nRemoteAddress);
    context.m_hrLast = context.m_pDriver->GetProperty(kPropChipId, &nValue);
    context.m_nChipId = static_cast<uint8_t>(nValue);
    context.m_bNewLayout = IsNewLayoutChip(context.m_nChipId);
}

void CBridgeLibrary::CloseInterface() {
    m_pContext.reset();
}

HResult CBridgeLibrary::Usable() const {
    if (!m_pContext)
        return kStatusNoContext;
    if (!m_pContext->m_pDriver)
        return kStatusNoInterface;
    return 0;
}

HResult CBridgeLibrary::Set(uint32_t nId, void* pData) {
    return m_pContext->m_hrLast = m_pContext->m_pDriver->SetProperty(nId, pData);
}

HResult CBridgeLibrary::Get(uint32_t nId, void* pData) {
    return m_pContext->m_hrLast = m_pContext->m_pDriver->GetProperty(nId, pData);
}

HResult CBridgeLibrary::Transfer(uint32_t nControlProp, uint32_t nDataProp, uint32_t nWord,
                                 void* pData, bool bRead) {
    HResult hr = Set(nControlProp, &nWord);
    if (!Failed(hr))
        hr = bRead ? Get(nDataProp, pData) : Set(nDataProp, pData);
    if (Failed(hr)) {
        // A stale control word must never apply to a later call.
        uint32_t nClear = 0;
        Set(nControlProp, &nClear);
    }
    return hr;
}

HResult CBridgeLibrary::RegRead(uint8_t nReg, uint32_t nCount, void* pData) {
    return Transfer(kPropRegControl, kPropRegData, RegControlWord(nReg, nCount), pData, true);
}

HResult CBridgeLibrary::RegWrite(uint8_t nReg, uint32_t nCount, void* pData) {
    return Transfer(kPropRegControl, kPropRegData, RegControlWord(nReg, nCount), pData, false);
}

HResult CBridgeLibrary::DetectI2C(uint32_t nAddr) {
    if (HResult hr = Usable())
        return hr;
    return Set(kPropDetectAddress, &nAddr);
}

HResult CBridgeLibrary::DetectI2CEx(uint32_t nAddr, uint32_t* pResult) {
    if (pResult)
        *pResult = 0;
    if (HResult hr = Usable())
        return hr;
    HResult hr = Set(kPropDetectAddress, &nAddr);
    if (Failed(hr))
        return hr;
    uint32_t nFound = 0;
    hr = Get(kPropDetectFound, &nFound);
    if (Failed(hr))
        return hr;
    if (nFound == 0)
        return kStatusNoDevice;
    uint32_t nResult = 0;
    hr = Get(kPropDetectResult, &nResult);
    if (pResult)
        *pResult = nResult;
    return hr;
}

bool CBridgeLibrary::IsRemoteRead(uint32_t nAddr) const {
    return m_eGeneration == EGeneration::Second && m_pContext->m_nRemoteAddress != 0 &&
           m_pContext->m_nRemoteAddress == nAddr;
}

HResult CBridgeLibrary::GetI2C_I(uint32_t nAddr, uint32_t nSub, uint32_t nCount, uint32_t* pData) {
    if (HResult hr = Usable())
        return hr;
    if (nSub == 0 && IsRemoteRead(nAddr))
        return ReadRemote(pData);
    return Transfer(kPropI2CControl, kPropI2CData, I2CControlWord(nAddr, nSub, nCount), pData,
                    true);
}

HResult CBridgeLibrary::SetI2C_I(uint32_t nAddr, uint32_t nSub, uint32_t nCount, uint32_t* pData) {
    if (HResult hr = Usable())
        return hr;
    return Transfer(kPropI2CControl, kPropI2CData, I2CControlWord(nAddr, nSub, nCount), pData,
                    false);
}

HResult CBridgeLibrary::GetI2C_NI(uint32_t nAddr, uint32_t nCount, uint32_t* pData) {
    if (HResult hr = Usable())
        return hr;
    if (IsRemoteRead(nAddr))
        return ReadRemote(pData);
    return Transfer(kPropI2CControl, kPropI2CData, I2CControlWordNoSub(nAddr, nCount), pData, true);
}

HResult CBridgeLibrary::SetI2C_NI(uint32_t nAddr, uint32_t nCount, uint32_t* pData) {
    if (HResult hr = Usable())
        return hr;
    return Transfer(kPropI2CControl, kPropI2CData, I2CControlWordNoSub(nAddr, nCount), pData,
                    false);
}

// The second generation answers reads of the remote-control address from the
// chip's infrared receiver instead of the bus.
HResult CBridgeLibrary::ReadRemote(uint32_t* pData) {
    SBridgeContext& context = *m_pContext;
    if (context.m_bNewLayout)
        return kStatusRemoteNewLayout;
    uint32_t v = 0;
    const HResult hr = RegRead(kRegRemoteData, 4, &v);
    const uint32_t nToggle = v & 0x80;
    uint32_t nOut;
    if (context.m_nRemoteCode != 0 && context.m_nRemoteCode != ((v >> 8) & 0xFF)) {
        nOut = 255; // another remote's code; the toggle is not taken
    } else {
        if (nToggle == context.m_nLastToggle) {
            nOut = (v & 0x7F) == 0 ? 255 : 254; // no new key press
        } else {
            nOut = (v >> 16) & 0xFF;
            if (nOut == 254)
                nOut = 255;
        }
        context.m_nLastToggle = nToggle;
    }
    if (pData)
        *pData = nOut;
    uint32_t nStatus = 0;
    RegRead(kRegRemoteStatus, 1, &nStatus);
    return hr;
}

HResult CBridgeLibrary::GetReg(uint32_t nReg, uint32_t nCount, uint32_t* pData) {
    if (HResult hr = Usable())
        return hr;
    return Transfer(kPropRegControl, kPropRegData, RegControlWord(nReg, nCount), pData, true);
}

HResult CBridgeLibrary::SetReg(uint32_t nReg, uint32_t nCount, uint32_t* pData) {
    if (HResult hr = Usable())
        return hr;
    return Transfer(kPropRegControl, kPropRegData, RegControlWord(nReg, nCount), pData, false);
}

uint8_t CBridgeLibrary::PortDirectionReg() const {
    return m_pContext->m_bNewLayout ? kRegPortDirectionNew : kRegPortDirection;
}

uint8_t CBridgeLibrary::PortValueReg() const {
    return m_pContext->m_bNewLayout ? kRegPortValueNew : kRegPortValue;
}

HResult CBridgeLibrary::GetPIO(uint32_t* pData) {
    if (HResult hr = Usable())
        return hr;
    // A whole variable for the one-byte read: the driver may move more.
    uint32_t nScratch = 0;
    RegRead(PortDirectionReg(), 1, &nScratch);
    const uint8_t nMask = m_pContext->m_nPortMask;
    if ((nMask & static_cast<uint8_t>(nScratch)) != nMask)
        return kStatusMismatch;
    return RegRead(PortValueReg(), 1, pData);
}

HResult CBridgeLibrary::SetPIO(uint32_t* pData) {
    if (HResult hr = Usable())
        return hr;
    const uint8_t nMask = m_pContext->m_nPortMask;
    const uint8_t nFirst = pData ? static_cast<uint8_t>(*pData & 0xFF) : 0;
    if ((nMask & nFirst) != nMask)
        return kStatusMismatch;
    return RegWrite(PortDirectionReg(), 1, pData);
}

bool CBridgeLibrary::WaitAc97Idle() {
    for (int i = 0; i < kAc97MaxPolls; ++i) {
        uint32_t nStatus = 0;
        if (Failed(RegRead(kRegAc97Status, 1, &nStatus)))
            return false;
        if (!(nStatus & kAc97Busy))
            return true;
    }
    return false;
}

HResult CBridgeLibrary::GetAC97(uint32_t nReg, uint32_t* pData) {
    if (HResult hr = Usable())
        return hr;
    uint32_t nCommand = (nReg | kAc97Read) & 0xFF;
    if (m_eGeneration == EGeneration::Second && !WaitAc97Idle())
        return kStatusMismatch;
    HResult hr = RegWrite(kRegAc97Command, 1, &nCommand);
    if (Failed(hr))
        return hr;
    if (m_eGeneration == EGeneration::First && !WaitAc97Idle())
        return kStatusMismatch;
    return RegRead(kRegAc97Data, 2, pData);
}

HResult CBridgeLibrary::SetAC97(uint32_t nReg, uint32_t* pData) {
    if (HResult hr = Usable())
        return hr;
    uint32_t nCommand = nReg & 0xFF;
    if (m_eGeneration == EGeneration::Second && !WaitAc97Idle())
        return kStatusMismatch;
    HResult hr = RegWrite(kRegAc97Data, 2, pData);
    if (!Failed(hr))
        hr = RegWrite(kRegAc97Command, 1, &nCommand);
    if (Failed(hr))
        return hr;
    if (m_eGeneration == EGeneration::First && !WaitAc97Idle())
        return kStatusMismatch;
    return 0;
}

HResult CBridgeLibrary::GetProp(uint32_t nId, uint32_t* pData) {
    if (m_eGeneration == EGeneration::Second)
        return kStatusNotSupported;
    if (HResult hr = Usable())
        return hr;
    return Get(nId, pData);
}

HResult CBridgeLibrary::SetProp(uint32_t nId, uint32_t* pData) {
    if (m_eGeneration == EGeneration::Second)
        return kStatusNotSupported;
    if (HResult hr = Usable())
        return hr;
    return Set(nId, pData);
}

} // namespace vidlink
