#include "search_platform_win32.h"

#include "last_error.h"
#include "unique_handle.h"

#include <windows.h>

#include <vector>

namespace bluefind {

namespace {

class CWin32RegistryKey final : public IRegistryKey {
public:
    explicit CWin32RegistryKey(HKEY hKey) : m_key(hKey) {}

    uint32_t ReadDword(const std::wstring& strName, uint32_t& nValue) override {
        DWORD dwType = 0, dwValue = 0, cbData = sizeof dwValue;
        const LONG nResult = ::RegQueryValueExW(m_key.get(), strName.c_str(), nullptr, &dwType,
                                                reinterpret_cast<BYTE*>(&dwValue), &cbData);
        if (nResult == ERROR_MORE_DATA)
            return ERROR_INVALID_DATA;
        if (nResult != ERROR_SUCCESS)
            return static_cast<uint32_t>(nResult);
        if (dwType != REG_DWORD || cbData != sizeof dwValue)
            return ERROR_INVALID_DATA;
        nValue = dwValue;
        return ERROR_SUCCESS;
    }

    uint32_t ReadText(const std::wstring& strName, size_t nMaxBytes,
                      std::wstring& strText) override {
        strText.clear();
        // One spare character: a value that fills the buffer without its own
        // terminator still ends inside it.
        std::vector<wchar_t> buffer(nMaxBytes / sizeof(wchar_t) + 1, L'\0');
        DWORD dwType = 0, cbData = static_cast<DWORD>(nMaxBytes);
        const LONG nResult = ::RegQueryValueExW(m_key.get(), strName.c_str(), nullptr, &dwType,
                                                reinterpret_cast<BYTE*>(buffer.data()), &cbData);
        if (nResult != ERROR_SUCCESS)
            return static_cast<uint32_t>(nResult);
        if (dwType != REG_SZ && dwType != REG_EXPAND_SZ)
            return ERROR_INVALID_DATA;
        const size_t nChars = std::min<size_t>(cbData / sizeof(wchar_t), buffer.size() - 1);
        size_t n = 0;
        while (n < nChars && buffer[n] != L'\0')
            ++n;
        strText.assign(buffer.data(), n);
        return ERROR_SUCCESS;
    }

private:
    ostrel::CRegKey m_key;
};

} // namespace

uint32_t CWin32Registry::OpenKey(const std::wstring& strPath, std::unique_ptr<IRegistryKey>& key) {
    key.reset();
    HKEY hKey = nullptr;
    const LONG nResult =
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, strPath.c_str(), 0, KEY_QUERY_VALUE, &hKey);
    if (nResult != ERROR_SUCCESS)
        return static_cast<uint32_t>(nResult);
    key = std::make_unique<CWin32RegistryKey>(hKey);
    return ERROR_SUCCESS;
}

uint32_t CWin32PortProbe::TryOpen(const std::wstring& strPort) {
    ostrel::CFileHandle port(::CreateFileW(strPort.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
    return port ? ERROR_SUCCESS : static_cast<uint32_t>(ostrel::LastErrorCode());
}

void CWin32Sleeper::SleepMs(uint32_t nMs) {
    ::Sleep(nMs);
}

} // namespace bluefind
