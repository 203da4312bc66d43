#pragma once
// The platform's Bluetooth API as the sensor search needs it. Portable: the
// Win32 adapter reaches the control-panel module's functions, the host tests
// a recording fake.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bluefind {

// 128-bit service class identifier, fields as the platform's GUID.
struct SGuid {
    uint32_t m_nData1 = 0;
    uint16_t m_nData2 = 0;
    uint16_t m_nData3 = 0;
    uint8_t m_aData4[8] = {};
    bool operator==(const SGuid& o) const;
    bool operator!=(const SGuid& o) const { return !(*this == o); }
};

// The standard serial-port service class {00001101-0000-1000-8000-00805F9B34FB}.
extern const SGuid kSerialPortService;

struct SSearchParams {
    bool m_bReturnAuthenticated = false;
    bool m_bReturnRemembered = false;
    bool m_bReturnUnknown = false;
    bool m_bReturnConnected = false;
    bool m_bIssueInquiry = false;
    uint8_t m_nTimeoutMultiplier = 0; // inquiry length in units of 1.28 s
};

// What the platform reports of one device. The low 48 bits of the address
// are its six bytes; zero never names a device.
struct SDeviceInfo {
    uint64_t m_nAddress = 0;
    std::wstring m_strName; // may be empty while the name is not known yet
    bool m_bConnected = false;
    bool m_bRemembered = false;
    bool m_bAuthenticated = false;
};

// Opaque radio handle, valid during the visit that received it.
using RadioId = uintptr_t;

class IBluetoothStack {
public:
    virtual ~IBluetoothStack() = default;

    // Visits the machine's radios in enumeration order until visit returns
    // false. Returns 0 when at least one radio was visited; when there is no
    // radio, nothing is visited and the result is the platform's (non-zero)
    // error. Each radio handle is closed after its visit.
    [[nodiscard]] virtual uint32_t ForEachRadio(const std::function<bool(RadioId)>& visit) = 0;

    // Visits the devices that the search returns on radio until visit
    // returns false. A search that finds nothing (or fails) visits nothing.
    // With an inquiry this blocks for the inquiry's length.
    virtual void ForEachDevice(RadioId radio, const SSearchParams& params,
                               const std::function<bool(const SDeviceInfo&)>& visit) = 0;

    // Re-reads the device named by info.m_nAddress. On success (0) info holds
    // the fresh values; on failure info is unchanged.
    [[nodiscard]] virtual uint32_t GetDeviceInfo(RadioId radio, SDeviceInfo& info) = 0;

    // Pairs the device with the passkey, without a parent window. 0 = paired.
    [[nodiscard]] virtual uint32_t AuthenticateDevice(RadioId radio, const SDeviceInfo& info,
                                                      const std::wstring& strPasskey) = 0;

    // At most nMax installed service classes of the device. On failure
    // services is empty.
    [[nodiscard]] virtual uint32_t EnumerateInstalledServices(RadioId radio,
                                                              const SDeviceInfo& info, size_t nMax,
                                                              std::vector<SGuid>& services) = 0;

    [[nodiscard]] virtual uint32_t SetServiceState(RadioId radio, const SDeviceInfo& info,
                                                   const SGuid& service, bool bEnable) = 0;

    // Removes the device from the platform's known devices (ends its pairing).
    [[nodiscard]] virtual uint32_t RemoveDevice(uint64_t nAddress) = 0;
};

} // namespace bluefind
