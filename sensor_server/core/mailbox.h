#pragma once
// The command mailbox: an INI file beside the server, section "TORVEX".
#include <string>

namespace torvex {

// One value per call, no caching: every read sees the other side's last write.
// Implemented by the private-profile functions on Windows and by memory
// stores in tests. Values are 8-bit text.
class IMailboxStore {
public:
    virtual ~IMailboxStore() = default;
    // The value, or strDefault when the key is absent; at most nMaxChars characters.
    virtual std::string Read(const std::string& strSection, const std::string& strKey,
                             const std::string& strDefault, size_t nMaxChars) = 0;
    virtual void Write(const std::string& strSection, const std::string& strKey,
                       const std::string& strValue) = 0;
    virtual void RemoveSection(const std::string& strSection) = 0;
};

constexpr const char* kSectionTorvex = "TORVEX";
constexpr const char* kSectionBlemish = "BLEMISH";
// Strings are read with a buffer of 2000 characters, one kept for the end.
constexpr size_t kMailboxMaxChars = 2000 - 1;

class CMailbox {
public:
    explicit CMailbox(IMailboxStore& store) : m_store(store) {}

    void WriteString(const std::string& strKey, const std::string& strText);
    // Into another section (the blemish table's entries).
    void WriteSectionString(const std::string& strSection, const std::string& strKey,
                            const std::string& strText);
    void WriteInt(const std::string& strSection, const std::string& strKey, int nValue);
    // Removes the section with all its keys.
    void RemoveSection(const std::string& strSection);
    std::string ReadString(const std::string& strKey, const std::string& strDefault);
    int ReadInt(const std::string& strKey, int nDefault);

private:
    IMailboxStore& m_store;
};

// The executable's path with everything after its last "." replaced by "INI".
std::string MailboxPathFromModule(const std::string& strModulePath);

} // namespace torvex
