#pragma once
// The mailbox through the private-profile functions: one call per value.
#include "mailbox.h"

namespace torvex {

class CProfileStore final : public IMailboxStore {
public:
    explicit CProfileStore(std::string strPath) : m_strPath(std::move(strPath)) {}
    std::string Read(const std::string& strSection, const std::string& strKey,
                     const std::string& strDefault, size_t nMaxChars) override;
    void Write(const std::string& strSection, const std::string& strKey,
               const std::string& strValue) override;
    void RemoveSection(const std::string& strSection) override;
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};

// The mailbox path of the running program, from its own module file name.
std::string RunningMailboxPath();

} // namespace torvex
