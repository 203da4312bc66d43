#pragma once
// Text files, an archive and page output in memory, beside the disk of
// collection_fakes.h.
#include "archive_contents.h"
#include "collection_fakes.h"
#include "memory_files.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ostrel::test {

// Text content lives here; the disk says whether the file exists.
class CFakeTextFiles : public ITextFiles {
public:
    explicit CFakeTextFiles(CFakeDisk& disk) : m_disk(disk) {}
    void Put(const std::wstring& path, std::vector<std::wstring> lines) {
        m_disk.AddFile(path);
        m_text[path] = std::move(lines);
    }
    bool ReadLines(const std::wstring& path, std::vector<std::wstring>& lines) override {
        ++m_nReads;
        lines.clear();
        if (!m_disk.CanOpenForReadShareRead(path))
            return false;
        auto it = m_text.find(path);
        if (it != m_text.end())
            lines = it->second;
        return true;
    }
    int m_nReads = 0;

private:
    CFakeDisk& m_disk;
    std::map<std::wstring, std::vector<std::wstring>> m_text;
};

// Entries as the archive steps add them: "F name <- source" or "D name".
class CRecordingArchiveFactory : public IArchiveFactory {
public:
    class CArchive : public IArchive {
    public:
        explicit CArchive(std::vector<std::wstring>& entries) : m_entries(entries) {}
        int AddFile(const std::wstring& name, const std::wstring& source) override {
            m_entries.push_back(L"F " + name + L" <- " + source);
            return 0;
        }
        int AddFolder(const std::wstring& name) override {
            m_entries.push_back(L"D " + name);
            return 0;
        }
        int Close() override {
            m_entries.push_back(L"closed");
            return 0;
        }

    private:
        std::vector<std::wstring>& m_entries;
    };
    std::unique_ptr<IArchive> Create(const std::wstring& path) override {
        m_created.push_back(path);
        if (m_bFail)
            return nullptr;
        return std::make_unique<CArchive>(m_entries);
    }
    bool m_bFail = false;
    std::vector<std::wstring> m_created, m_entries;
};

} // namespace ostrel::test
