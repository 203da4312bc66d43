#pragma once
// The Bluetooth stack through the platform's control-panel module
// (bthprops.cpl, linked at load time).
#include "bluetooth_stack.h"

namespace bluefind {

class CWin32BluetoothStack final : public IBluetoothStack {
public:
    uint32_t ForEachRadio(const std::function<bool(RadioId)>& visit) override;
    void ForEachDevice(RadioId radio, const SSearchParams& params,
                       const std::function<bool(const SDeviceInfo&)>& visit) override;
    uint32_t GetDeviceInfo(RadioId radio, SDeviceInfo& info) override;
    uint32_t AuthenticateDevice(RadioId radio, const SDeviceInfo& info,
                                const std::wstring& strPasskey) override;
    uint32_t EnumerateInstalledServices(RadioId radio, const SDeviceInfo& info, size_t nMax,
                                        std::vector<SGuid>& services) override;
    uint32_t SetServiceState(RadioId radio, const SDeviceInfo& info, const SGuid& service,
                             bool bEnable) override;
    uint32_t RemoveDevice(uint64_t nAddress) override;
};

} // namespace bluefind
