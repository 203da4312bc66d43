#pragma once
// Report-style files in memory: created, appended, read back as UTF-16LE text.
#include "report_file.h"

#include <map>
#include <string>

namespace ostrel::test {

class CMemoryFiles : public IReportFileOps {
public:
    bool CreateTruncate(const std::wstring& path) override {
        m_files[path].clear();
        return true;
    }
    bool AppendExisting(const std::wstring& path, const std::string& bytes) override {
        auto it = m_files.find(path);
        if (it == m_files.end())
            return false;
        it->second += bytes;
        return true;
    }
    // The UTF-16LE content as text.
    std::wstring Text(const std::wstring& path) const {
        auto it = m_files.find(path);
        if (it == m_files.end())
            return L"<missing>";
        std::wstring text;
        for (size_t i = 0; i + 1 < it->second.size(); i += 2)
            text += static_cast<wchar_t>(static_cast<unsigned char>(it->second[i]) |
                                         (static_cast<unsigned char>(it->second[i + 1]) << 8));
        return text;
    }
    std::map<std::wstring, std::string> m_files;
};

} // namespace ostrel::test
