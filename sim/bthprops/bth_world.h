#pragma once
// The platform's Bluetooth side as a script describes it: radios, devices
// (names, paired or not, in range or not), pairing results and installed
// services. Portable; bthprops_win32.cpp serves it through the exports of a
// stand-in control-panel module. Every operation is journalled as one line.
//
// Script, one item per line ('#' starts a comment):
//   radios <n>                              default 1; 0: no radio
//   device <12 hex digits> [flags] [key=value ...] name=<rest of the line>
// flags: paired (authenticated and remembered), authenticated, remembered, connected,
//        away (out of range: no inquiry finds it)
// keys:  services=<short ids, e.g. 1101,1105>  installed service classes
//        pin=<text>          passkey it accepts (default 8629)
//        auth=<code>         result of every pairing attempt (default: by pin)
//        blank=<n>           reports with an empty name before the name (-1: never)
//        radio=<i>           the radio that knows it (default 0)
#include "bluetooth_stack.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace bthsim {

using bluefind::SDeviceInfo;
using bluefind::SGuid;
using bluefind::SSearchParams;

struct SSimDevice {
    uint64_t m_nAddress = 0;
    std::wstring m_strName;
    bool m_bAuthenticated = false;
    bool m_bRemembered = false;
    bool m_bConnected = false;
    bool m_bInRange = true;
    int m_nRadio = 0;
    int m_nBlankReports = 0;
    bool m_bForcedAuth = false;
    uint32_t m_nAuthResult = 0;
    std::wstring m_strPin = L"8629";
    std::vector<SGuid> m_services;
};

class CBthWorld {
public:
    // false with a message naming the line when the script is malformed.
    bool Load(const std::string& strScript, std::string& strError);
    // The current state as a script that Load reads back: pairings and
    // services outlive the module, as the platform's do.
    std::string Save() const;

    int Radios() const { return m_nRadios; }
    // Devices a search returns, as indexes: with an inquiry those in range,
    // without one those remembered; each only when one of its classes
    // (authenticated, remembered, unknown, connected) is asked for.
    // nRadio -1 searches every radio.
    std::vector<size_t> Search(int nRadio, const SSearchParams& params);
    // What the device reports now; an empty name while blank reports remain.
    SDeviceInfo Report(size_t nIndex);

    uint32_t GetInfo(uint64_t nAddress, SDeviceInfo& info);
    uint32_t Authenticate(uint64_t nAddress, const std::wstring& strPasskey);
    // At most nMax installed services; 234 (more data) when the device has more.
    uint32_t Services(uint64_t nAddress, size_t nMax, std::vector<SGuid>& services);
    uint32_t SetService(uint64_t nAddress, const SGuid& service, bool bEnable);
    uint32_t Remove(uint64_t nAddress);

    // true once after a pairing, a service change or a removal.
    bool TakeChanged() { return std::exchange(m_bChanged, false); }

    void Note(const std::string& strLine) { m_journal.push_back(strLine); }
    std::vector<std::string> TakeJournal();
    const std::vector<SSimDevice>& Devices() const { return m_devices; }
    // For tests that change a device behind the library's back; null when unknown.
    SSimDevice* Device(uint64_t nAddress) { return Find(nAddress); }

private:
    SSimDevice* Find(uint64_t nAddress);
    int m_nRadios = 1;
    std::vector<SSimDevice> m_devices;
    std::vector<std::string> m_journal;
    bool m_bChanged = false;
};

std::string GuidText(const SGuid& g); // "{00001101-0000-1000-8000-00805F9B34FB}"
std::string AddressHex(uint64_t nAddress);

} // namespace bthsim
