#include "tessel_search.h"

#include <algorithm>
#include <cstdio>

namespace bluefind {

const SGuid kSerialPortService{
    0x00001101, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};
const wchar_t kPasskey[] = L"8629";
const wchar_t kModemEnumKey[] = L"SYSTEM\\CurrentControlSet\\Services\\BTHMODEM\\Enum";
const wchar_t kDeviceEnumKey[] = L"SYSTEM\\CurrentControlSet\\Enum\\";

bool SGuid::operator==(const SGuid& o) const {
    return m_nData1 == o.m_nData1 && m_nData2 == o.m_nData2 && m_nData3 == o.m_nData3 &&
           std::equal(std::begin(m_aData4), std::end(m_aData4), std::begin(o.m_aData4));
}

std::wstring AddressText(uint64_t nAddress) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (int shift = 40; shift >= 0; shift -= 8) {
        const unsigned byte = static_cast<unsigned>(nAddress >> shift) & 0xFF;
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

bool IsSensorName(const std::wstring& strName) {
    return strName.find(L"TESSEL") != std::wstring::npos;
}

CTesselSearch::CTesselSearch(IBluetoothStack& stack, IRegistry& registry, IPortProbe& ports,
                             ISleeper& sleeper)
    : m_stack(stack), m_registry(registry), m_ports(ports), m_sleeper(sleeper) {}

bool CTesselSearch::IsRemoved(uint64_t nAddress) const {
    return std::find(m_removed.begin(), m_removed.end(), nAddress) != m_removed.end();
}

// The name may come later than the device (name resolution runs behind the
// enumeration); a device that never gives one is skipped rather than waited
// for without end.
bool CTesselSearch::ReadName(RadioId radio, SDeviceInfo& info) {
    for (int i = 0; i < kNameReads; ++i) {
        if (i > 0)
            m_sleeper.SleepMs(kNameRetryMs);
        if (m_stack.GetDeviceInfo(radio, info) == kSuccess && !info.m_strName.empty())
            return true;
    }
    return false;
}

// Pairs the sensor when needed and makes sure its serial-port service is
// installed. false when the pairing failed: such a sensor has no port.
bool CTesselSearch::PrepareSensor(RadioId radio, SDeviceInfo& info, uint32_t& nStatus) {
    bool bPaired = false;
    if (!info.m_bAuthenticated) {
        nStatus = m_stack.AuthenticateDevice(radio, info, kPasskey);
        if (nStatus != kSuccess)
            return false;
        bPaired = true;
        info.m_bAuthenticated = true;
    } else {
        nStatus = kSuccess;
    }
    std::vector<SGuid> services;
    (void)m_stack.EnumerateInstalledServices(radio, info, kMaxServices, services);
    if (std::find(services.begin(), services.end(), kSerialPortService) != services.end())
        return true;
    (void)m_stack.SetServiceState(radio, info, kSerialPortService, true);
    // A fresh pairing needs time before the new serial port exists.
    if (bPaired)
        m_sleeper.SleepMs(kPairingSettleMs);
    return true;
}

void CTesselSearch::DisableServices(RadioId radio, const SDeviceInfo& info) {
    std::vector<SGuid> services;
    (void)m_stack.EnumerateInstalledServices(radio, info, kMaxServices, services);
    for (const SGuid& service : services)
        (void)m_stack.SetServiceState(radio, info, service, false);
}

uint32_t CTesselSearch::SearchTesselDevices(std::vector<uint64_t>& list, bool bInquire,
                                            bool bEnable) {
    list.clear();
    SSearchParams params;
    params.m_bReturnAuthenticated = true;
    params.m_bReturnRemembered = true;
    params.m_bReturnUnknown = true;
    params.m_bReturnConnected = true;
    params.m_bIssueInquiry = bInquire;
    params.m_nTimeoutMultiplier = bInquire ? 10 : 0;
    uint32_t nStatus = kSuccess;
    const uint32_t nRadios = m_stack.ForEachRadio([&](RadioId radio) {
        m_stack.ForEachDevice(radio, params, [&](const SDeviceInfo& found) {
            if (IsRemoved(found.m_nAddress))
                return true;
            SDeviceInfo info = found;
            if (!ReadName(radio, info) || !IsSensorName(info.m_strName))
                return true;
            if (bEnable) {
                if (!PrepareSensor(radio, info, nStatus))
                    return true;
            } else {
                DisableServices(radio, info);
            }
            // A device known to two radios is listed once.
            if (list.size() < kMaxAddresses &&
                std::find(list.begin(), list.end(), info.m_nAddress) == list.end())
                list.push_back(info.m_nAddress);
            return true;
        });
        return true;
    });
    return nRadios != kSuccess ? nRadios : nStatus;
}

uint32_t CTesselSearch::PortOfAddress(IRegistryKey& modems, uint32_t nCount, uint64_t nAddress,
                                      std::wstring& strPort) {
    const std::wstring strAddress = AddressText(nAddress);
    uint32_t nStatus = kSuccess;
    for (uint32_t n = nCount; n-- > 0 && strPort.empty();) {
        std::wstring strInstance;
        nStatus = modems.ReadText(std::to_wstring(n), kMaxRegistryTextBytes, strInstance);
        if (nStatus != kSuccess || strInstance.find(strAddress) == std::wstring::npos)
            continue;
        std::unique_ptr<IRegistryKey> device;
        nStatus = m_registry.OpenKey(kDeviceEnumKey + strInstance + L"\\Device Parameters", device);
        if (nStatus != kSuccess)
            continue;
        std::wstring strName;
        nStatus = device->ReadText(L"PortName", kMaxRegistryTextBytes, strName);
        if (nStatus != kSuccess)
            continue;
        std::wstring strCandidate =
            !strName.empty() && strName[0] == L'\\' ? strName : std::wstring(L"\\\\.\\") + strName;
        // A name the caller's buffer cannot hold would reach it cut: not found.
        if (strCandidate.size() > kMaxPortChars)
            continue;
        if (m_ports.TryOpen(strCandidate) != kSuccess)
            continue; // missing, or in use by another program
        strPort = std::move(strCandidate);
    }
    return nStatus;
}

uint32_t CTesselSearch::FindTesselBth(std::wstring& strPort) {
    strPort.clear();
    std::vector<uint64_t> list;
    bool bInquired = false;
    uint32_t nStatus = SearchTesselDevices(list, false, true);
    if (list.empty()) {
        bInquired = true;
        nStatus = SearchTesselDevices(list, true, true);
        if (list.empty())
            return nStatus;
    }

    std::unique_ptr<IRegistryKey> modems;
    nStatus = m_registry.OpenKey(kModemEnumKey, modems);
    if (nStatus != kSuccess)
        return nStatus;
    uint32_t nCount = 0;
    nStatus = modems->ReadDword(L"Count", nCount);
    if (nStatus != kSuccess)
        return nStatus;
    // No serial-port device at all: an error, not a success with no port.
    if (nCount == 0)
        return kNotFound;
    nCount = std::min(nCount, kMaxModemValues);

    for (size_t i = 0; strPort.empty();) {
        if (i == list.size()) {
            if (bInquired)
                break;
            // The remembered sensors have no usable port: look for new ones.
            bInquired = true;
            std::vector<uint64_t> fresh;
            (void)SearchTesselDevices(fresh, true, true);
            fresh.erase(std::remove_if(fresh.begin(), fresh.end(),
                                       [&list](uint64_t a) {
                                           return std::find(list.begin(), list.end(), a) !=
                                                  list.end();
                                       }),
                        fresh.end());
            list = std::move(fresh);
            // A sensor paired by this inquiry gets its serial port only now:
            // its modem value lies past the Count read before.
            uint32_t nNewCount = nCount;
            if (modems->ReadDword(L"Count", nNewCount) == kSuccess)
                nCount = std::min(nNewCount, kMaxModemValues);
            i = 0;
            continue;
        }
        nStatus = PortOfAddress(*modems, nCount, list[i], strPort);
        ++i;
    }
    return strPort.empty() ? nStatus : kSuccess;
}

bool CTesselSearch::IsTesselConnected() {
    SSearchParams params;
    params.m_bReturnAuthenticated = true;
    params.m_bIssueInquiry = true;
    params.m_nTimeoutMultiplier = 1;
    bool bFound = false;
    (void)m_stack.ForEachRadio([&](RadioId radio) {
        m_stack.ForEachDevice(radio, params, [&](const SDeviceInfo& found) {
            SDeviceInfo info = found;
            bFound = ReadName(radio, info) && IsSensorName(info.m_strName);
            return !bFound;
        });
        return !bFound;
    });
    return bFound;
}

uint32_t CTesselSearch::DeleteUnusedTesselBth() {
    std::vector<uint64_t> list;
    const uint32_t nStatus = SearchTesselDevices(list, false, false);
    if (nStatus != kSuccess || list.empty())
        return nStatus;
    for (uint64_t nAddress : list) {
        if (m_removed.size() < kMaxAddresses)
            m_removed.push_back(nAddress);
        (void)m_stack.RemoveDevice(nAddress);
    }
    return nStatus;
}

} // namespace bluefind
