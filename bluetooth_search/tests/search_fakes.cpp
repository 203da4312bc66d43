#include "search_fakes.h"

#include <gtest/gtest.h>

namespace bluefind::test {

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += static_cast<char>(c < 128 ? c : '?');
    return out;
}

void CFakeStack::Load(const std::string& strScript) {
    std::string strError;
    m_world = bthsim::CBthWorld();
    if (!m_world.Load(strScript, strError))
        ADD_FAILURE() << "script: " << strError;
}

bthsim::SSimDevice& CFakeStack::Device(uint64_t nAddress) {
    bthsim::SSimDevice* d = m_world.Device(nAddress);
    if (!d) {
        ADD_FAILURE() << "no device " << Narrow(AddressText(nAddress));
        static bthsim::SSimDevice s_none;
        return s_none;
    }
    return *d;
}

uint32_t CFakeStack::Flush(uint32_t nResult) {
    for (std::string& line : m_world.TakeJournal())
        m_journal.push_back(std::move(line));
    return nResult;
}

namespace {

constexpr RadioId kFirstRadio = 100;

int RadioIndex(RadioId radio) {
    return static_cast<int>(radio - kFirstRadio);
}

} // namespace

uint32_t CFakeStack::ForEachRadio(const std::function<bool(RadioId)>& visit) {
    m_journal.push_back("radios");
    if (m_world.Radios() == 0)
        return m_nNoRadioError;
    for (int r = 0; r < m_world.Radios(); ++r)
        if (!visit(kFirstRadio + r))
            break;
    return 0;
}

void CFakeStack::ForEachDevice(RadioId radio, const SSearchParams& params,
                               const std::function<bool(const SDeviceInfo&)>& visit) {
    const std::vector<size_t> found = m_world.Search(RadioIndex(radio), params);
    Flush(0);
    for (size_t index : found)
        if (!visit(m_world.Report(index)))
            return;
}

uint32_t CFakeStack::GetDeviceInfo(RadioId, SDeviceInfo& info) {
    SDeviceInfo fresh;
    const uint32_t nResult = m_world.GetInfo(info.m_nAddress, fresh);
    if (nResult == 0)
        info = fresh;
    return Flush(nResult);
}

uint32_t CFakeStack::AuthenticateDevice(RadioId, const SDeviceInfo& info,
                                        const std::wstring& strPasskey) {
    return Flush(m_world.Authenticate(info.m_nAddress, strPasskey));
}

uint32_t CFakeStack::EnumerateInstalledServices(RadioId, const SDeviceInfo& info, size_t nMax,
                                                std::vector<SGuid>& services) {
    return Flush(m_world.Services(info.m_nAddress, nMax, services));
}

uint32_t CFakeStack::SetServiceState(RadioId, const SDeviceInfo& info, const SGuid& service,
                                     bool bEnable) {
    const uint32_t nResult = m_world.SetService(info.m_nAddress, service, bEnable);
    if (nResult == 0 && bEnable && service == kSerialPortService && m_onSerialEnabled)
        m_onSerialEnabled(info.m_nAddress);
    return Flush(nResult);
}

uint32_t CFakeStack::RemoveDevice(uint64_t nAddress) {
    return Flush(m_world.Remove(nAddress));
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
