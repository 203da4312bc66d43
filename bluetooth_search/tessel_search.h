#pragma once
// Finds wireless sensors among the platform's Bluetooth devices, pairs them
// and enables their serial-port service, and names the serial port that
// reaches them. One instance per loaded library: it keeps the removed-device
// list. Not thread-safe; callers use it from one thread at a time.
#include "bluetooth_stack.h"
#include "search_platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace bluefind {

// Platform codes the search produces itself.
enum EBthStatus : uint32_t {
    kSuccess = 0,
    kInvalidData = 13,
    kInvalidParameter = 87,
    kMoreData = 234,
    kNotFound = 1168,
};

constexpr size_t kMaxAddresses = 255;
// The caller's buffer holds 50 wide characters: 49 and the terminator.
constexpr size_t kMaxPortChars = 49;
// Text values of the modem and device keys, terminator included.
constexpr size_t kMaxRegistryTextBytes = 528;
constexpr size_t kMaxServices = 20;
// A device whose name stays empty is given up after this many reads.
constexpr int kNameReads = 5;
constexpr uint32_t kNameRetryMs = 200;
constexpr uint32_t kPairingSettleMs = 5000;
// Bounds the walk over a corrupt "Count".
constexpr uint32_t kMaxModemValues = 4096;

extern const wchar_t kPasskey[];
extern const wchar_t kModemEnumKey[];
extern const wchar_t kDeviceEnumKey[];

// "%02X" of the six address bytes, most significant first.
std::wstring AddressText(uint64_t nAddress);
// The name contains "TESSEL", case-sensitively.
bool IsSensorName(const std::wstring& strName);

class CTesselSearch {
public:
    CTesselSearch(IBluetoothStack& stack, IRegistry& registry, IPortProbe& ports,
                  ISleeper& sleeper);

    // One pass over every radio: lists the sensors not removed earlier, and
    // with bEnable pairs them and enables their serial-port service, without
    // it disables every installed service. A sensor whose pairing fails is not
    // listed. Result: the status of the last pairing attempt (0 when none);
    // with no radio, the platform's error.
    [[nodiscard]] uint32_t SearchTesselDevices(std::vector<uint64_t>& list, bool bInquire,
                                               bool bEnable);

    // The serial port of a sensor ("\\.\COMn"), at most kMaxPortChars
    // characters, or empty. 0 when found; otherwise the search's, or the
    // registry's, status.
    [[nodiscard]] uint32_t FindTesselBth(std::wstring& strPort);

    // true when an authenticated sensor answered an inquiry.
    bool IsTesselConnected();

    // Disables the services of every sensor found, forgets them for later
    // searches of this instance and removes them from the platform.
    [[nodiscard]] uint32_t DeleteUnusedTesselBth();

    const std::vector<uint64_t>& RemovedDevices() const { return m_removed; }

private:
    bool IsRemoved(uint64_t nAddress) const;
    bool ReadName(RadioId radio, SDeviceInfo& info);
    bool PrepareSensor(RadioId radio, SDeviceInfo& info, uint32_t& nStatus);
    void DisableServices(RadioId radio, const SDeviceInfo& info);
    uint32_t PortOfAddress(IRegistryKey& modems, uint32_t nCount, uint64_t nAddress,
                           std::wstring& strPort);

    IBluetoothStack& m_stack;
    IRegistry& m_registry;
    IPortProbe& m_ports;
    ISleeper& m_sleeper;
    std::vector<uint64_t> m_removed;
};

} // namespace bluefind
