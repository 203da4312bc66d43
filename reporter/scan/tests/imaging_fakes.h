#pragma once
// Recording fakes of the imaging-settings ports: a registry, INI files and
// shell folders held in memory.
#include "imaging_settings.h"
#include "shell_fakes.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace ostrel::test {

struct SFakeKey {
    std::vector<std::wstring> m_values;  // value names, in enumeration order
    std::vector<std::wstring> m_subkeys; // subkey names, in enumeration order
};

class CFakeRegistry : public IRegistryReader {
public:
    std::unique_ptr<IRegistryKey> OpenLocalMachineKey(const std::wstring& path) override {
        auto it = m_keys.find(path);
        if (it == m_keys.end())
            return nullptr;
        ++m_nOpen;
        return std::make_unique<CKey>(*this, it->second);
    }

    std::map<std::wstring, SFakeKey> m_keys;
    int m_nOpen = 0;
    int m_nClosed = 0;

private:
    class CKey : public IRegistryKey {
    public:
        CKey(CFakeRegistry& owner, const SFakeKey& key) : m_owner(owner), m_key(key) {}
        ~CKey() override { ++m_owner.m_nClosed; }
        bool EnumValueName(unsigned index, unsigned bufferChars, std::wstring& name) override {
            return Pick(m_key.m_values, index, bufferChars, name);
        }
        bool EnumSubkeyName(unsigned index, unsigned bufferChars, std::wstring& name) override {
            return Pick(m_key.m_subkeys, index, bufferChars, name);
        }

    private:
        // A name that does not fit ends the enumeration, as the registry does.
        static bool Pick(const std::vector<std::wstring>& names, unsigned index,
                         unsigned bufferChars, std::wstring& name) {
            if (index >= names.size() || names[index].size() >= bufferChars)
                return false;
            name = names[index];
            return true;
        }
        CFakeRegistry& m_owner;
        const SFakeKey& m_key;
    };
};

// path -> section -> key -> text
using IniFiles =
    std::map<std::wstring, std::map<std::wstring, std::map<std::wstring, std::wstring>>>;

class CFakeProfile : public IProfileReader {
public:
    std::wstring GetString(const std::wstring& section, const std::wstring& key,
                           const std::wstring& defaultText, unsigned bufferChars,
                           const std::wstring& path) override {
        m_reads.push_back(path);
        const std::wstring* text = Find(section, key, path);
        return (text ? *text : defaultText).substr(0, bufferChars - 1);
    }
    int GetInt(const std::wstring& section, const std::wstring& key, int defaultValue,
               const std::wstring& path) override {
        const std::wstring* text = Find(section, key, path);
        if (!text)
            return defaultValue;
        int value = 0;
        for (wchar_t c : *text) {
            if (c < L'0' || c > L'9')
                break;
            value = value * 10 + (c - L'0');
        }
        return value;
    }

    IniFiles m_files;
    std::vector<std::wstring> m_reads; // file of every string read, in order

private:
    const std::wstring* Find(const std::wstring& section, const std::wstring& key,
                             const std::wstring& path) const {
        auto f = m_files.find(path);
        if (f == m_files.end())
            return nullptr;
        auto s = f->second.find(section);
        if (s == f->second.end())
            return nullptr;
        auto k = s->second.find(key);
        return k == s->second.end() ? nullptr : &k->second;
    }
};

class CFakeProbe : public IFileProbe {
public:
    bool CanOpenForReadShareReadWrite(const std::wstring& path) override {
        return m_readable.count(path) > 0;
    }
    std::set<std::wstring> m_readable;
};

struct SFakeImaging {
    CFakeRegistry m_registry;
    CFakeProfile m_profile;
    CFakeFolders m_shell;
    CFakeProbe m_files;
    SImagingPorts Ports() { return {m_registry, m_profile, m_shell, m_files}; }
};

} // namespace ostrel::test
