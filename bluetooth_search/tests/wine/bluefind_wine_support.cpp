#include "bluefind_wine_support.h"

#include <fstream>

namespace bluefind::wine {

const wchar_t kPortFolder[] = L"C:\\bluefind_ports";

namespace {

const wchar_t kModemKey[] = L"SYSTEM\\CurrentControlSet\\Services\\BTHMODEM";
const wchar_t kInstanceBase[] =
    L"SYSTEM\\CurrentControlSet\\Enum\\BTHENUM\\{00001101-0000-1000-8000-00805f9b34fb}_LOCALMFG&"
    L"000f";
constexpr int kPortChars = 50;
constexpr int kGuardChars = 10;

void SetValue(const std::wstring& strKey, const wchar_t* pName, DWORD dwType, const void* pData,
              DWORD cbData) {
    HKEY hKey = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &hKey, nullptr) != ERROR_SUCCESS)
        return;
    ::RegSetValueExW(hKey, pName, 0, dwType, static_cast<const BYTE*>(pData), cbData);
    ::RegCloseKey(hKey);
}

} // namespace

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines)
        if (l == line)
            return true;
    return false;
}

bool ContainsPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& l : lines)
        if (l.rfind(prefix, 0) == 0)
            return true;
    return false;
}

void CStackFolder::Prepare(const std::wstring& strName, bool bStandIn) {
    m_strFolder = OwnFolder() + strName + L"\\";
    ::CreateDirectoryW(m_strFolder.c_str(), nullptr);
    ::DeleteFileW((m_strFolder + L"bthprops.cpl").c_str());
    Add(L"Bluefind.dll");
    if (bStandIn)
        Add(L"bthprops_stand_in\\bthprops.cpl");
}

bool CStackFolder::Add(const std::wstring& strFile) {
    const std::wstring strBase = strFile.substr(strFile.rfind(L'\\') + 1);
    return ::CopyFileW((OwnFolder() + strFile).c_str(), (m_strFolder + strBase).c_str(), FALSE);
}

void CStackFolder::Script(const std::wstring& strText) {
    m_strScript = m_strFolder + L"bluetooth.txt";
    std::ofstream(Narrow(m_strScript), std::ios::binary) << Narrow(strText);
    ::SetEnvironmentVariableW(L"BTHPROPS_SCRIPT", m_strScript.c_str());
    ClearLog();
}

std::vector<std::string> CStackFolder::Log() const {
    std::vector<std::string> lines;
    std::ifstream in(Narrow(m_strScript + L".log"));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void CStackFolder::ClearLog() const {
    ::DeleteFileW((m_strScript + L".log").c_str());
}

bool CLibrary::Load(const std::wstring& strPath) {
    Unload();
    m_hModule = ::LoadLibraryExW(strPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return m_hModule != nullptr;
}

void CLibrary::Unload() {
    if (m_hModule)
        ::FreeLibrary(m_hModule);
    m_hModule = nullptr;
}

FARPROC CLibrary::ByOrdinal(int nOrdinal) const {
    return ::GetProcAddress(m_hModule, MAKEINTRESOURCEA(nOrdinal));
}

FARPROC CLibrary::ByName(const char* pName) const {
    return ::GetProcAddress(m_hModule, pName);
}

std::wstring CLibrary::StackFolder() const {
    HMODULE hStack = ::GetModuleHandleW(L"bthprops.cpl");
    wchar_t path[MAX_PATH] = {};
    const DWORD n = hStack ? ::GetModuleFileNameW(hStack, path, MAX_PATH) : 0;
    const std::wstring s(path, n);
    return s.substr(0, s.rfind(L'\\') + 1);
}

uint32_t CLibrary::Find(std::wstring& strPort) {
    using FindFn = DWORD(WINAPI*)(wchar_t*);
    auto pFind = reinterpret_cast<FindFn>(reinterpret_cast<void*>(ByName("FindTesselBth")));
    strPort.clear();
    m_strTail.clear();
    if (!pFind)
        return 0xFFFFFFFF;
    wchar_t buffer[kPortChars + kGuardChars] = {};
    for (int i = kPortChars; i < kPortChars + kGuardChars; ++i)
        buffer[i] = L'#';
    const DWORD dwStatus = pFind(buffer);
    int n = 0;
    while (n < kPortChars && buffer[n])
        ++n;
    strPort.assign(buffer, n);
    for (int i = n + 1; i < kPortChars; ++i)
        if (buffer[i])
            m_strTail += buffer[i];
    for (int i = kPortChars; i < kPortChars + kGuardChars; ++i)
        if (buffer[i] != L'#')
            m_strTail += buffer[i] ? buffer[i] : L'0';
    if (n == kPortChars)
        m_strTail += L"<no terminator>";
    return dwStatus;
}

int CLibrary::Connected() {
    using ConnectedFn = BYTE(WINAPI*)();
    auto pConnected =
        reinterpret_cast<ConnectedFn>(reinterpret_cast<void*>(ByName("IsTesselConnected")));
    return pConnected ? pConnected() : -1;
}

uint32_t CLibrary::Delete() {
    using DeleteFn = DWORD(WINAPI*)();
    auto pDelete =
        reinterpret_cast<DeleteFn>(reinterpret_cast<void*>(ByName("DeleteUnusedTesselBth")));
    return pDelete ? pDelete() : 0xFFFFFFFF;
}

void AddModems(const std::vector<SModem>& modems) {
    const std::wstring strEnum = std::wstring(kModemKey) + L"\\Enum";
    DWORD dwCount = 0;
    for (const SModem& m : modems) {
        const std::wstring strInstance =
            std::wstring(kInstanceBase) + L"\\7&1a2b3c4d&0&" + m.m_strAddress + L"_C00000000";
        const std::wstring strValue = strInstance.substr(strInstance.find(L"BTHENUM"));
        const std::wstring strName = std::to_wstring(dwCount++);
        SetValue(strEnum, strName.c_str(), REG_SZ, strValue.c_str(),
                 static_cast<DWORD>((strValue.size() + 1) * sizeof(wchar_t)));
        const size_t nChars = m.m_strPortName.size() + (m.m_bTerminated ? 1 : 0);
        SetValue(strInstance + L"\\Device Parameters", L"PortName", REG_SZ, m.m_strPortName.c_str(),
                 static_cast<DWORD>(nChars * sizeof(wchar_t)));
    }
    if (!modems.empty())
        SetModemCount(dwCount);
}

void SetModemCount(DWORD dwCount) {
    SetValue(std::wstring(kModemKey) + L"\\Enum", L"Count", REG_DWORD, &dwCount, sizeof dwCount);
}

void RemoveModems() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kModemKey);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kModemKey);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kInstanceBase);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kInstanceBase);
}

} // namespace bluefind::wine
