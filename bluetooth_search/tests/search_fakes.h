#pragma once
// Recording fakes of the search's ports: a Bluetooth stack with scripted
// radios and devices, an in-memory registry and a set of openable ports.
// Every call lands in one journal, so tests compare whole call sequences.
#include "bth_world.h"
#include "tessel_search.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace bluefind::test {

using Journal = std::vector<std::string>;

std::string Narrow(const std::wstring& text);

// The Bluetooth stack over the stand-in's scripted world (bth_world.h), so
// host and Wine tests share one model of the platform. Each call's journal
// lines join the shared journal; ForEachRadio adds "radios".
class CFakeStack final : public IBluetoothStack {
public:
    explicit CFakeStack(Journal& journal) : m_journal(journal) {}

    void Load(const std::string& strScript);
    bthsim::SSimDevice& Device(uint64_t nAddress);

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

    uint32_t m_nNoRadioError = 259;
    // Runs when a serial-port service is enabled: the platform installs the
    // port then (tests add its registry entries here).
    std::function<void(uint64_t)> m_onSerialEnabled;

private:
    uint32_t Flush(uint32_t nResult);
    bthsim::CBthWorld m_world;
    Journal& m_journal;
};

class CFakeRegistry final : public IRegistry {
public:
    explicit CFakeRegistry(Journal& journal) : m_journal(journal) {}
    struct SValue {
        bool m_bText = true;
        std::wstring m_strText;
        uint32_t m_nDword = 0;
    };
    uint32_t OpenKey(const std::wstring& strPath, std::unique_ptr<IRegistryKey>& key) override;

    void SetText(const std::wstring& strKey, const std::wstring& strName, const std::wstring& v);
    void SetDword(const std::wstring& strKey, const std::wstring& strName, uint32_t v);
    // The modem list and one device key per sensor, as the platform installs them.
    void AddModem(uint64_t nAddress, const std::wstring& strPortName);

    std::map<std::wstring, std::map<std::wstring, SValue>> m_keys;
    bool m_bReadLogged = false; // journal every value read, not only opens

private:
    friend class CFakeKey;
    Journal& m_journal;
    uint32_t m_nModems = 0;
};

class CFakePorts final : public IPortProbe {
public:
    explicit CFakePorts(Journal& journal) : m_journal(journal) {}
    uint32_t TryOpen(const std::wstring& strPort) override;
    std::set<std::wstring> m_free;  // open fine
    std::set<std::wstring> m_inUse; // error 5; any other name error 2

private:
    Journal& m_journal;
};

class CFakeSleeper final : public ISleeper {
public:
    explicit CFakeSleeper(Journal& journal) : m_journal(journal) {}
    void SleepMs(uint32_t nMs) override;

private:
    Journal& m_journal;
};

// A search over the fakes, sharing one journal.
struct SSearchWorld {
    Journal m_journal;
    CFakeStack m_stack{m_journal};
    CFakeRegistry m_registry{m_journal};
    CFakePorts m_ports{m_journal};
    CFakeSleeper m_sleeper{m_journal};
    CTesselSearch m_search{m_stack, m_registry, m_ports, m_sleeper};
};

} // namespace bluefind::test
