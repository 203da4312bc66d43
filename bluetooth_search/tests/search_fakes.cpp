#include "search_fakes.h"

#include <cstdio>

namespace bluefind::test {

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += static_cast<char>(c < 128 ? c : '?');
    return out;
}

SGuid ShortService(uint16_t nShort) {
    SGuid g = kSerialPortService;
    g.m_nData1 = nShort;
    return g;
}

namespace {

std::string Addr(uint64_t nAddress) {
    return Narrow(AddressText(nAddress));
}

std::string ServiceText(const SGuid& g) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(g.m_nData1));
    return text;
}

} // namespace

SFakeDevice& CFakeStack::Add(uint64_t nAddress, const std::wstring& strName) {
    SFakeDevice d;
    d.m_nAddress = nAddress;
    d.m_strName = strName;
    m_devices.push_back(d);
    return m_devices.back();
}

SFakeDevice* CFakeStack::Find(uint64_t nAddress) {
    for (SFakeDevice& d : m_devices)
        if (d.m_nAddress == nAddress)
            return &d;
    return nullptr;
}

SDeviceInfo CFakeStack::Report(SFakeDevice& d) {
    SDeviceInfo info;
    info.m_nAddress = d.m_nAddress;
    info.m_bAuthenticated = d.m_bAuthenticated;
    info.m_bRemembered = d.m_bRemembered;
    info.m_bConnected = d.m_bConnected && d.m_bInRange;
    if (d.m_nBlankReads == 0)
        info.m_strName = d.m_strName;
    else if (d.m_nBlankReads > 0)
        --d.m_nBlankReads;
    return info;
}

uint32_t CFakeStack::ForEachRadio(const std::function<bool(RadioId)>& visit) {
    m_journal.push_back("radios");
    if (m_nRadios == 0)
        return m_nNoRadioError;
    for (int r = 0; r < m_nRadios; ++r)
        if (!visit(static_cast<RadioId>(100 + r)))
            break;
    return 0;
}

void CFakeStack::ForEachDevice(RadioId radio, const SSearchParams& p,
                               const std::function<bool(const SDeviceInfo&)>& visit) {
    char text[96];
    std::snprintf(text, sizeof text, "find r%d auth=%d rem=%d unk=%d con=%d inq=%d t=%d",
                  static_cast<int>(radio - 100), p.m_bReturnAuthenticated, p.m_bReturnRemembered,
                  p.m_bReturnUnknown, p.m_bReturnConnected, p.m_bIssueInquiry,
                  p.m_nTimeoutMultiplier);
    m_journal.push_back(text);
    for (size_t i = 0; i < m_devices.size(); ++i) {
        SFakeDevice& d = m_devices[i];
        if (d.m_nRadio != static_cast<int>(radio - 100))
            continue;
        const bool bSeen = p.m_bIssueInquiry ? d.m_bInRange : d.m_bRemembered;
        const bool bClass = (p.m_bReturnAuthenticated && d.m_bAuthenticated) ||
                            (p.m_bReturnRemembered && d.m_bRemembered) ||
                            (p.m_bReturnUnknown && !d.m_bRemembered) ||
                            (p.m_bReturnConnected && d.m_bConnected);
        if (bSeen && bClass && !visit(Report(m_devices[i])))
            return;
    }
}

uint32_t CFakeStack::GetDeviceInfo(RadioId, SDeviceInfo& info) {
    m_journal.push_back("info " + Addr(info.m_nAddress));
    SFakeDevice* d = Find(info.m_nAddress);
    if (!d)
        return 1168;
    info = Report(*d);
    return 0;
}

uint32_t CFakeStack::AuthenticateDevice(RadioId, const SDeviceInfo& info,
                                        const std::wstring& strPasskey) {
    m_journal.push_back("pair " + Addr(info.m_nAddress) + " " + Narrow(strPasskey));
    SFakeDevice* d = Find(info.m_nAddress);
    if (!d)
        return 1168;
    if (d->m_nAuthResult != 0)
        return d->m_nAuthResult;
    d->m_bAuthenticated = d->m_bRemembered = true;
    return 0;
}

uint32_t CFakeStack::EnumerateInstalledServices(RadioId, const SDeviceInfo& info, size_t nMax,
                                                std::vector<SGuid>& services) {
    m_journal.push_back("services " + Addr(info.m_nAddress) + " max " + std::to_string(nMax));
    services.clear();
    SFakeDevice* d = Find(info.m_nAddress);
    if (!d)
        return 1168;
    for (size_t i = 0; i < d->m_services.size() && i < nMax; ++i)
        services.push_back(d->m_services[i]);
    return 0;
}

uint32_t CFakeStack::SetServiceState(RadioId, const SDeviceInfo& info, const SGuid& service,
                                     bool bEnable) {
    m_journal.push_back(std::string(bEnable ? "enable " : "disable ") + Addr(info.m_nAddress) +
                        " " + ServiceText(service));
    SFakeDevice* d = Find(info.m_nAddress);
    if (!d)
        return 1168;
    auto it = std::find(d->m_services.begin(), d->m_services.end(), service);
    if (bEnable && it == d->m_services.end())
        d->m_services.push_back(service);
    if (!bEnable && it != d->m_services.end())
        d->m_services.erase(it);
    return 0;
}

uint32_t CFakeStack::RemoveDevice(uint64_t nAddress) {
    m_journal.push_back("remove " + Addr(nAddress));
    SFakeDevice* d = Find(nAddress);
    if (!d)
        return 1168;
    d->m_bAuthenticated = d->m_bRemembered = false;
    d->m_services.clear();
    return 0;
}

class CFakeKey final : public IRegistryKey {
public:
    CFakeKey(CFakeRegistry& registry, std::wstring strPath)
        : m_registry(registry), m_strPath(std::move(strPath)) {}
    uint32_t ReadDword(const std::wstring& strName, uint32_t& nValue) override {
        const CFakeRegistry::SValue* v = Find(strName);
        if (!v)
            return 2;
        if (v->m_bText)
            return 13;
        nValue = v->m_nDword;
        return 0;
    }
    uint32_t ReadText(const std::wstring& strName, size_t nMaxBytes,
                      std::wstring& strText) override {
        strText.clear();
        if (m_registry.m_bReadLogged)
            m_registry.m_journal.push_back("read " + Narrow(strName));
        const CFakeRegistry::SValue* v = Find(strName);
        if (!v)
            return 2;
        if (!v->m_bText)
            return 13;
        if ((v->m_strText.size() + 1) * 2 > nMaxBytes)
            return 234;
        strText = v->m_strText;
        return 0;
    }

private:
    const CFakeRegistry::SValue* Find(const std::wstring& strName) const {
        const auto& values = m_registry.m_keys[m_strPath];
        auto it = values.find(strName);
        return it == values.end() ? nullptr : &it->second;
    }
    CFakeRegistry& m_registry;
    std::wstring m_strPath;
};

uint32_t CFakeRegistry::OpenKey(const std::wstring& strPath, std::unique_ptr<IRegistryKey>& key) {
    m_journal.push_back("open " + Narrow(strPath));
    key.reset();
    if (m_keys.find(strPath) == m_keys.end())
        return 2;
    key = std::make_unique<CFakeKey>(*this, strPath);
    return 0;
}

void CFakeRegistry::SetText(const std::wstring& strKey, const std::wstring& strName,
                            const std::wstring& v) {
    SValue value;
    value.m_strText = v;
    m_keys[strKey][strName] = value;
}

void CFakeRegistry::SetDword(const std::wstring& strKey, const std::wstring& strName, uint32_t v) {
    SValue value;
    value.m_bText = false;
    value.m_nDword = v;
    m_keys[strKey][strName] = value;
}

void CFakeRegistry::AddModem(uint64_t nAddress, const std::wstring& strPortName) {
    const std::wstring strInstance =
        L"BTHENUM\\{00001101-0000-1000-8000-00805f9b34fb}_LOCALMFG&000f\\7&1a2b3c4d&0&" +
        AddressText(nAddress) + L"_C00000000";
    SetText(kModemEnumKey, std::to_wstring(m_nModems++), strInstance);
    SetDword(kModemEnumKey, L"Count", m_nModems);
    SetText(kDeviceEnumKey + strInstance + L"\\Device Parameters", L"PortName", strPortName);
}

uint32_t CFakePorts::TryOpen(const std::wstring& strPort) {
    m_journal.push_back("try " + Narrow(strPort));
    if (m_free.count(strPort))
        return 0;
    return m_inUse.count(strPort) ? 5 : 2;
}

void CFakeSleeper::SleepMs(uint32_t nMs) {
    m_journal.push_back("sleep " + std::to_string(nMs));
}

} // namespace bluefind::test
