#include "profile_store_win32.h"

#include "module_path.h"

#include <windows.h>

#include <vector>

namespace torvex {

std::string CProfileStore::Read(const std::string& strSection, const std::string& strKey,
                                const std::string& strDefault, size_t nMaxChars) {
    std::vector<char> buffer(nMaxChars + 1);
    const DWORD n = ::GetPrivateProfileStringA(
        strSection.c_str(), strKey.c_str(), strDefault.c_str(), buffer.data(),
        static_cast<DWORD>(buffer.size()), m_strPath.c_str());
    return std::string(buffer.data(), n);
}

void CProfileStore::Write(const std::string& strSection, const std::string& strKey,
                          const std::string& strValue) {
    ::WritePrivateProfileStringA(strSection.c_str(), strKey.c_str(), strValue.c_str(),
                                 m_strPath.c_str());
}

void CProfileStore::RemoveSection(const std::string& strSection) {
    ::WritePrivateProfileStringA(strSection.c_str(), nullptr, nullptr, m_strPath.c_str());
}

std::string RunningMailboxPath() {
    // The narrow form: the mailbox is read and written with the A profile functions.
    const std::string strModule = ostrel::GetRunningModulePathAnsi();
    return strModule.empty() ? "TORVEX.INI" : MailboxPathFromModule(strModule);
}

} // namespace torvex
