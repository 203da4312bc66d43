#pragma once
// Probe of the intraoral camera through one of the two bridge libraries:
// command messages written after the camera's key, the ready handshake on the
// bridge's port, and the length-prefixed replies.
#include "camera_probe_protocol.h"

#include <cstdint>
#include <functional>
#include <string>

namespace ostrel {

class CMateriel;

// The five exports of a bridge library the probe uses. Statuses: 0 = success,
// anything else a failure. Data pointers address one 32-bit variable.
class ICameraBridge {
public:
    virtual ~ICameraBridge() = default;
    // 1 when the library holds an open bridge afterwards.
    virtual int OpenInterface(const char* pszDeviceName) = 0;
    virtual int32_t SetI2C_I(uint32_t nAddr, uint32_t nSub, uint32_t nCount, uint32_t* pData) = 0;
    virtual int32_t GetI2C_I(uint32_t nAddr, uint32_t nSub, uint32_t nCount, uint32_t* pData) = 0;
    virtual int32_t GetI2C_NI(uint32_t nAddr, uint32_t nCount, uint32_t* pData) = 0;
    virtual int32_t GetPIO(uint32_t* pData) = 0;
};

// Time of the probe's waits, so tests run them without sleeping.
class IProbeClock {
public:
    virtual ~IProbeClock() = default;
    virtual uint64_t NowMs() = 0; // never goes back
    virtual void SleepMs(uint32_t nMs) = 0;
};

struct SCameraProbePorts {
    ICameraBridge& m_first;  // Vidlink.dll
    ICameraBridge& m_second; // Vidlink_285.dll
    IProbeClock& m_clock;
    // 8-bit text of the system code page to wide text.
    std::function<std::wstring(const std::string&)> m_fnWiden;
};

// Device names each library is opened with.
constexpr const char* kFirstBridgeName = "USB 2820 Video";
constexpr const char* kSecondBridgeName = "Varnik cameras driver";

// The library chosen at the start of a probe; every bus call goes to it.
struct SCameraLink {
    ICameraBridge& m_bridge;
    const char* m_pszDeviceName; // for reopening after a failed key write
    IProbeClock& m_clock;
};

using CameraReply = uint8_t[camera::kReplyBufferSize];

// False, with nothing written, for an odd number of hex digits or a non-hex
// character; false when the key or a data write fails.
bool SendCameraCommand(const std::string& strMessage, SCameraLink& link);
// True once the port signals a reply; false after 2500 ms.
bool WaitCameraReady(SCameraLink& link);
// Fills reply[0..n-1], n = reply[0]; false when the first read fails.
bool ReadCameraReply(CameraReply& reply, SCameraLink& link);

} // namespace ostrel
