#include "mailbox.h"

#include "data_parsers.h"

namespace torvex {

void CMailbox::WriteString(const std::string& strKey, const std::string& strText) {
    m_store.Write(kSectionTorvex, strKey, strText);
}

void CMailbox::WriteSectionString(const std::string& strSection, const std::string& strKey,
                                  const std::string& strText) {
    m_store.Write(strSection, strKey, strText);
}

void CMailbox::WriteInt(const std::string& strSection, const std::string& strKey, int nValue) {
    m_store.Write(strSection, strKey, std::to_string(nValue));
}

void CMailbox::RemoveSection(const std::string& strSection) {
    m_store.RemoveSection(strSection);
}

std::string CMailbox::ReadString(const std::string& strKey, const std::string& strDefault) {
    std::string value = m_store.Read(kSectionTorvex, strKey, strDefault, kMailboxMaxChars);
    if (value.size() > kMailboxMaxChars)
        value.resize(kMailboxMaxChars);
    return value;
}

int CMailbox::ReadInt(const std::string& strKey, int nDefault) {
    return ProfileInt(ReadString(strKey, std::string()), nDefault);
}

std::string MailboxPathFromModule(const std::string& strModulePath) {
    const size_t nDot = strModulePath.rfind('.');
    const size_t nSlash = strModulePath.find_last_of("\\/");
    if (nDot == std::string::npos || (nSlash != std::string::npos && nDot < nSlash))
        return strModulePath + ".INI";
    return strModulePath.substr(0, nDot + 1) + "INI";
}

} // namespace torvex
