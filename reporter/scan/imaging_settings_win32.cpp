#include "imaging_settings.h"

#include "unique_handle.h"

#include <windows.h>

#include <vector>

namespace ostrel {
namespace {

class CWin32RegistryKey : public IRegistryKey {
public:
    explicit CWin32RegistryKey(HKEY hKey) : m_key(hKey) {}

    bool EnumValueName(unsigned index, unsigned bufferChars, std::wstring& name) override {
        std::vector<wchar_t> buffer(bufferChars + 1);
        DWORD dwChars = bufferChars;
        if (::RegEnumValueW(m_key.get(), index, buffer.data(), &dwChars, nullptr, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS)
            return false;
        name.assign(buffer.data(), dwChars);
        return true;
    }

    bool EnumSubkeyName(unsigned index, unsigned bufferChars, std::wstring& name) override {
        std::vector<wchar_t> buffer(bufferChars + 1);
        DWORD dwChars = bufferChars;
        if (::RegEnumKeyExW(m_key.get(), index, buffer.data(), &dwChars, nullptr, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS)
            return false;
        name.assign(buffer.data(), dwChars);
        return true;
    }

private:
    CRegKey m_key;
};

class CWin32Registry : public IRegistryReader {
public:
    std::unique_ptr<IRegistryKey> OpenLocalMachineKey(const std::wstring& path) override {
        HKEY hKey = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return nullptr;
        return std::make_unique<CWin32RegistryKey>(hKey);
    }
};

class CWin32Profile : public IProfileReader {
public:
    std::wstring GetString(const std::wstring& section, const std::wstring& key,
                           const std::wstring& defaultText, unsigned bufferChars,
                           const std::wstring& path) override {
        std::vector<wchar_t> buffer(bufferChars + 1);
        const DWORD dwChars =
            ::GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultText.c_str(),
                                       buffer.data(), bufferChars, path.c_str());
        return std::wstring(buffer.data(), dwChars);
    }

    int GetInt(const std::wstring& section, const std::wstring& key, int defaultValue,
               const std::wstring& path) override {
        return static_cast<int>(
            ::GetPrivateProfileIntW(section.c_str(), key.c_str(), defaultValue, path.c_str()));
    }
};

class CWin32FileProbe : public IFileProbe {
public:
    bool CanOpenForReadShareReadWrite(const std::wstring& path) override {
        CFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(file);
    }
};

} // namespace

const SImagingPorts& SystemImagingPorts() {
    static CWin32Registry s_registry;
    static CWin32Profile s_profile;
    static CWin32FileProbe s_files;
    static const SImagingPorts s_ports{s_registry, s_profile, SystemShellFolders(), s_files};
    return s_ports;
}

} // namespace ostrel
