#include "camera_probe_win32.h"

#include "vidlink_api.h"

#include <windows.h>

namespace ostrel {

namespace {

// One library generation's five imports.
template <int (*Open)(const char*), int32_t (*SetI)(uint32_t, uint32_t, uint32_t, uint32_t*),
          int32_t (*GetI)(uint32_t, uint32_t, uint32_t, uint32_t*),
          int32_t (*GetNI)(uint32_t, uint32_t, uint32_t*), int32_t (*GetPio)(uint32_t*)>
class CImportedBridge final : public ICameraBridge {
public:
    int OpenInterface(const char* pszName) override { return Open(pszName); }
    int32_t SetI2C_I(uint32_t a, uint32_t s, uint32_t c, uint32_t* d) override {
        return SetI(a, s, c, d);
    }
    int32_t GetI2C_I(uint32_t a, uint32_t s, uint32_t c, uint32_t* d) override {
        return GetI(a, s, c, d);
    }
    int32_t GetI2C_NI(uint32_t a, uint32_t c, uint32_t* d) override { return GetNI(a, c, d); }
    int32_t GetPIO(uint32_t* d) override { return GetPio(d); }
};

using CFirstBridge = CImportedBridge<Vidlink_OpenInterface, Vidlink_SetI2C_I, Vidlink_GetI2C_I,
                                     Vidlink_GetI2C_NI, Vidlink_GetPIO>;
using CSecondBridge = CImportedBridge<Vidlink285_OpenInterface, Vidlink285_SetI2C_I,
                                      Vidlink285_GetI2C_I, Vidlink285_GetI2C_NI, Vidlink285_GetPIO>;

class CTickClock final : public IProbeClock {
public:
    uint64_t NowMs() override { return GetTickCount64(); }
    void SleepMs(uint32_t nMs) override { Sleep(nMs); }
};

} // namespace

ICameraBridge& FirstBridgeWin32() {
    static CFirstBridge bridge;
    return bridge;
}

ICameraBridge& SecondBridgeWin32() {
    static CSecondBridge bridge;
    return bridge;
}

IProbeClock& TickClockWin32() {
    static CTickClock clock;
    return clock;
}

std::wstring WidenAnsi(const std::string& strText) {
    if (strText.empty())
        return {};
    const int nSize = MultiByteToWideChar(CP_ACP, 0, strText.data(),
                                          static_cast<int>(strText.size()), nullptr, 0);
    std::wstring strWide(static_cast<size_t>(nSize > 0 ? nSize : 0), L'\0');
    if (nSize > 0)
        MultiByteToWideChar(CP_ACP, 0, strText.data(), static_cast<int>(strText.size()),
                            strWide.data(), nSize);
    return strWide;
}

const SCameraProbePorts& CameraProbePortsWin32() {
    static const SCameraProbePorts ports{FirstBridgeWin32(), SecondBridgeWin32(), TickClockWin32(),
                                         WidenAnsi};
    return ports;
}

} // namespace ostrel
