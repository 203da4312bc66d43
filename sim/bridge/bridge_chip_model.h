#pragma once
// The bridge chip behind the vendor property interface: registers, the I2C
// master with the camera on its bus, the port, the AC97 codec and the
// infrared receiver. It answers the driver properties the libraries use and
// records every call.
#include "bridge_driver.h"
#include "camera_mcu_model.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace bridgesim {

using vidlink::EGeneration;
using vidlink::HResult;

constexpr HResult kHrBusFailure = static_cast<HResult>(0x8007001F);    // no device answered
constexpr HResult kHrNoControlWord = static_cast<HResult>(0x8000FFFF); // data before control
constexpr HResult kHrBadCount = static_cast<HResult>(0x80070057);
constexpr HResult kHrUnknownProperty = static_cast<HResult>(0x80070490);

struct SBridgeSetup {
    EGeneration m_eGeneration = EGeneration::First;
    uint8_t m_nChipId = 0x20; // new layout: see vidlink::IsNewLayoutChip
    uint32_t m_nRemoteAddress = 0;
    uint32_t m_nRemoteCode = 0;
    uint32_t m_nKept103B = 0;
    std::vector<uint32_t> m_remoteReadings; // register 0x45, one per read; the last repeats
    bool m_bAc97AlwaysBusy = false;
    int m_nAc97BusyReads = 1; // status reads showing busy after each codec command
    bool m_bCamera = true;    // the camera at its address on the bus
    SCameraSetup m_camera;
};

class CBridgeChip final : public vidlink::IBridgeDriver {
public:
    explicit CBridgeChip(const SBridgeSetup& setup);

    HResult SetProperty(uint32_t nId, void* pData) override;
    HResult GetProperty(uint32_t nId, void* pData) override;

    // "S1007=014A7304", "G1008=00000008": direction, property, the caller's
    // variable after the call.
    const std::vector<std::string>& Log() const { return m_log; }
    void ClearLog() { m_log.clear(); }
    const CCameraMcu* Camera() const { return m_pCamera.get(); }
    uint16_t Ac97Register(uint8_t nReg) const { return m_ac97[nReg & 0x7F]; }

private:
    HResult Set(uint32_t nId, uint32_t* pData);
    HResult Get(uint32_t nId, uint32_t* pData);
    HResult Record(char cDirection, uint32_t nId, const void* pData, HResult hr);
    HResult RegTransfer(uint32_t* pData, bool bRead);
    HResult BusTransfer(uint32_t* pData, bool bRead);
    uint8_t ReadReg(uint8_t nReg);
    void WriteReg(uint8_t nReg, uint8_t nValue);
    bool HasDevice(uint32_t nAddr) const;
    uint8_t PortValueReg() const;

    SBridgeSetup m_setup;
    std::unique_ptr<CCameraMcu> m_pCamera;
    uint8_t m_regs[256] = {};
    uint16_t m_ac97[128] = {};
    int m_nAc97BusyLeft = 0;
    size_t m_nRemoteIndex = 0;
    uint32_t m_nRegWord = 0;
    uint32_t m_nI2CWord = 0;
    uint32_t m_nDetectAddress = 0;
    std::vector<std::string> m_log;
};

} // namespace bridgesim
