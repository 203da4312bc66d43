#pragma once
// One bridge library: the process-wide context and every export's sequencing
// of driver properties, for either generation. The exports of Vidlink.dll and
// Vidlink_285.dll forward here one to one.
//
// Statuses: kStatusNoContext without a context (never opened, or closed);
// kStatusNoInterface when the context holds no vendor interface; otherwise the
// driver's HRESULT or the values named at each operation. Nothing throws
// except std::bad_alloc from OpenInterface. Not synchronised: callers use the
// library from one thread at a time.
#include "bridge_driver.h"

#include <cstdint>
#include <memory>

namespace vidlink {

struct SBridgeContext {
    std::unique_ptr<IBridgeDriver> m_pDriver; // none: every access returns kStatusNoInterface
    HResult m_hrLast = 0;                     // status of the last driver call
    uint8_t m_nPortMask = 0;                  // no export changes it
    // Second generation, read at open.
    uint8_t m_nChipId = 0;
    bool m_bNewLayout = false;
    uint32_t m_nRemoteAddress = 0; // 0: no remote-control emulation
    uint32_t m_nRemoteCode = 0;    // 0: accept any code
    uint32_t m_nKept103B = 0;
    uint32_t m_nLastToggle = 0; // bit 0x80 of the last remote-control reading
};

class CBridgeLibrary {
public:
    CBridgeLibrary(EGeneration eGeneration, IFilterFinder& finder)
        : m_eGeneration(eGeneration), m_finder(finder) {}

    // 1 when a context exists afterwards, else 0. The context it replaces is
    // released first (its vendor interface too).
    int OpenInterface(const char* pszName);
    void CloseInterface();
    bool HasContext() const { return m_pContext != nullptr; }
    // For tests and the port-mask rule; null without a context.
    SBridgeContext* Context() { return m_pContext.get(); }

    HResult DetectI2C(uint32_t nAddr);
    // *pResult := 0 first; kStatusNoDevice when the probe found nothing.
    HResult DetectI2CEx(uint32_t nAddr, uint32_t* pResult);
    HResult GetI2C_I(uint32_t nAddr, uint32_t nSub, uint32_t nCount, uint32_t* pData);
    HResult SetI2C_I(uint32_t nAddr, uint32_t nSub, uint32_t nCount, uint32_t* pData);
    HResult GetI2C_NI(uint32_t nAddr, uint32_t nCount, uint32_t* pData);
    HResult SetI2C_NI(uint32_t nAddr, uint32_t nCount, uint32_t* pData);
    HResult GetReg(uint32_t nReg, uint32_t nCount, uint32_t* pData);
    HResult SetReg(uint32_t nReg, uint32_t nCount, uint32_t* pData);
    // kStatusMismatch when the port mask does not match.
    HResult GetPIO(uint32_t* pData);
    HResult SetPIO(uint32_t* pData);
    // kStatusMismatch when the codec stays busy for kAc97MaxPolls reads or a
    // status read fails.
    HResult GetAC97(uint32_t nReg, uint32_t* pData);
    HResult SetAC97(uint32_t nReg, uint32_t* pData);
    // Second generation: kStatusNotSupported, nothing done.
    HResult GetProp(uint32_t nId, uint32_t* pData);
    HResult SetProp(uint32_t nId, uint32_t* pData);

private:
    // kStatusNoContext / kStatusNoInterface, or 0 when the driver can be called.
    HResult Usable() const;
    HResult Set(uint32_t nId, void* pData);
    HResult Get(uint32_t nId, void* pData);
    // Control word, then data; a failure clears the control word again.
    HResult Transfer(uint32_t nControlProp, uint32_t nDataProp, uint32_t nWord, void* pData,
                     bool bRead);
    HResult RegRead(uint8_t nReg, uint32_t nCount, void* pData);
    HResult RegWrite(uint8_t nReg, uint32_t nCount, void* pData);
    bool WaitAc97Idle();
    HResult ReadRemote(uint32_t* pData);
    bool IsRemoteRead(uint32_t nAddr) const;
    void ReadOpenProperties(SBridgeContext& context);
    uint8_t PortDirectionReg() const;
    uint8_t PortValueReg() const;

    EGeneration m_eGeneration;
    IFilterFinder& m_finder;
    std::unique_ptr<SBridgeContext> m_pContext;
};

} // namespace vidlink
