#pragma once
// A disk and a scan dialog in memory, recording what the
// collection does with them.
#include "collection.h"
#include "shell_fakes.h"

#include <algorithm>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace ostrel::test {

class CFakeDisk : public ICollectionFiles {
public:
    void AddFolder(const std::wstring& path) { Add(path, true, L""); }
    // A folder that is a reparse point (a junction), found like any folder.
    void AddJunction(const std::wstring& path) {
        Add(path, true, L"");
        m_entries[path].m_bReparse = true;
    }
    // A file, with its version text when it has a version resource.
    void AddFile(const std::wstring& path, const std::wstring& version = L"") {
        Add(path, false, version);
    }
    bool Has(const std::wstring& path) const { return m_entries.count(path) > 0; }
    std::vector<std::wstring> FilesIn(const std::wstring& folder) const {
        std::vector<std::wstring> names;
        for (const auto& path : m_order)
            if (ParentOf(path) == folder && !m_entries.at(path).m_bDirectory)
                names.push_back(path.substr(folder.size() + 1));
        return names;
    }

    std::vector<SFindEntry> FindEntries(const std::wstring& pattern) override {
        m_searches.push_back(pattern);
        const size_t slash = pattern.rfind(L'\\');
        const std::wstring folder = pattern.substr(0, slash);
        const std::wstring wildcard = pattern.substr(slash + 1);
        std::vector<SFindEntry> found;
        auto dir = m_entries.find(folder);
        if (dir == m_entries.end() || !dir->second.m_bDirectory)
            return found;
        if (Match(wildcard, L"."))
            found.push_back({L".", true});
        if (Match(wildcard, L".."))
            found.push_back({L"..", true});
        for (const auto& path : m_order) {
            const std::wstring name = path.substr(path.rfind(L'\\') + 1);
            if (ParentOf(path) == folder && Match(wildcard, name))
                found.push_back({name, m_entries[path].m_bDirectory, m_entries[path].m_bReparse});
        }
        return found;
    }
    bool CopyNoOverwrite(const std::wstring& source, const std::wstring& destination) override {
        m_copyAttempts.push_back(source);
        auto it = m_entries.find(source);
        if (it == m_entries.end() || it->second.m_bDirectory || Has(destination) ||
            !Has(ParentOf(destination)))
            return false;
        Add(destination, false, it->second.m_strVersion);
        m_entries[destination].m_strFrom = source;
        return true;
    }
    bool PathExists(const std::wstring& path) override { return Has(path); }
    bool CanOpenForReadShareRead(const std::wstring& rawPath) override {
        const std::wstring path = Collapse(rawPath);
        auto it = m_entries.find(path);
        return it != m_entries.end() && !it->second.m_bDirectory && !m_locked.count(path);
    }
    EProbeCreate CreateProbe(const std::wstring& rawPath) override {
        m_probes.push_back(rawPath);
        const std::wstring path = Collapse(rawPath);
        if (Has(path))
            return EProbeCreate::Exists;
        if (!Has(ParentOf(path)) || m_readOnly.count(ParentOf(path)))
            return EProbeCreate::Failed;
        AddFile(path);
        return EProbeCreate::Created;
    }
    bool RemoveFile(const std::wstring& rawPath) override {
        m_removed.push_back(rawPath);
        const std::wstring path = Collapse(rawPath);
        if (!Has(path))
            return false;
        m_entries.erase(path);
        m_order.erase(std::find(m_order.begin(), m_order.end(), path));
        return true;
    }
    bool VersionText(const std::wstring& path, std::wstring& text) override {
        text.clear();
        auto it = m_entries.find(path);
        if (it == m_entries.end() || it->second.m_strVersion.empty())
            return false;
        text = it->second.m_strVersion;
        return true;
    }
    std::wstring SourceOf(const std::wstring& copy) const { return m_entries.at(copy).m_strFrom; }

    std::vector<std::wstring> m_searches, m_copyAttempts, m_probes, m_removed;
    std::set<std::wstring> m_locked, m_readOnly;

private:
    // The system reads a doubled backslash inside a path as one.
    static std::wstring Collapse(std::wstring path) {
        for (size_t pos; (pos = path.find(L"\\\\", 1)) != std::wstring::npos;)
            path.erase(pos, 1);
        return path;
    }
    struct SEntry {
        bool m_bDirectory = false;
        bool m_bReparse = false;
        std::wstring m_strVersion;
        std::wstring m_strFrom;
    };
    static std::wstring ParentOf(const std::wstring& path) {
        const size_t slash = path.rfind(L'\\');
        return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    }
    static wchar_t Fold(wchar_t c) { return (c >= L'a' && c <= L'z') ? c - L'a' + L'A' : c; }
    // The file system's wildcards, without regard to case; "*.*" is everything.
    static bool Match(const std::wstring& pattern, const std::wstring& name) {
        if (pattern == L"*.*")
            return true;
        return Glob(pattern.c_str(), name.c_str());
    }
    static bool Glob(const wchar_t* p, const wchar_t* n) {
        if (!*p)
            return !*n;
        if (*p == L'*')
            return Glob(p + 1, n) || (*n && Glob(p, n + 1));
        return *n && (*p == L'?' || Fold(*p) == Fold(*n)) && Glob(p + 1, n + 1);
    }
    void Add(const std::wstring& path, bool directory, const std::wstring& version) {
        if (!m_entries.count(path))
            m_order.push_back(path);
        m_entries[path] = {directory, false, version, L""};
    }
    std::map<std::wstring, SEntry> m_entries;
    std::vector<std::wstring> m_order; // the file system's enumeration order
};

struct SRow {
    std::wstring m_strCommand;
    bool m_bAdvance;
    std::wstring m_strAction, m_strStatus, m_strComment;
    int m_nIcon;
    bool m_bProcess;
    bool operator==(const SRow& o) const {
        return m_strCommand == o.m_strCommand && m_bAdvance == o.m_bAdvance &&
               m_strAction == o.m_strAction && m_strStatus == o.m_strStatus &&
               m_strComment == o.m_strComment && m_nIcon == o.m_nIcon && m_bProcess == o.m_bProcess;
    }
};

inline void PrintTo(const SRow& row, std::ostream* os) {
    auto text = [](const std::wstring& w) { return std::string(w.begin(), w.end()); };
    *os << "{cmd=" << text(row.m_strCommand) << " adv=" << row.m_bAdvance
        << " action=" << text(row.m_strAction) << " status=" << text(row.m_strStatus)
        << " comment=" << text(row.m_strComment) << " icon=" << row.m_nIcon
        << " process=" << row.m_bProcess << "}";
}

// Time stands still except while a command runs.
class CFakeClock : public IWallClock {
public:
    long long NowSeconds() override { return m_nNow; }
    long long m_nNow = 1433166337; // 2015-06-01 13:45:37 UTC
};

class CRecordingSteps : public IScanSteps {
public:
    int ExecuteStep(const SStepRow& row) override {
        m_rows.push_back({row.m_strCommand, row.m_bAdvance, row.m_strAction, row.m_strStatus,
                          row.m_strComment, row.m_nIcon, row.m_bUseProcess});
        if (row.m_strCommand.empty())
            return 0;
        m_commands.push_back(row.m_strCommand);
        if (m_pClock)
            m_pClock->m_nNow += m_nCommandSeconds;
        auto it = m_results.find(row.m_strCommand);
        return it == m_results.end() ? 0 : it->second;
    }
    void ReportLine(const std::wstring& line) override { m_report.push_back(line); }

    std::vector<SRow> m_rows;
    std::vector<std::wstring> m_commands, m_report;
    std::map<std::wstring, int> m_results; // command -> result; 0 otherwise
    CFakeClock* m_pClock = nullptr;        // advanced by each command run
    long long m_nCommandSeconds = 0;
};

} // namespace ostrel::test
