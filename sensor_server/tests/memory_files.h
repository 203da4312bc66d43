#pragma once
// Files in memory for the image commands, with a way to make writes fail.
#include "image_files.h"

#include <map>
#include <string>
#include <vector>

namespace torvex::test {

class CMemoryFiles final : public IImageFiles {
public:
    int ReadAll(const std::string& strPath, std::vector<uint8_t>& bytes) override {
        auto it = m_files.find(strPath);
        if (it == m_files.end())
            return 2;
        bytes = it->second;
        return 0;
    }
    int WriteAll(const std::string& strPath, const uint8_t* pData, size_t nSize) override {
        if (m_nWriteError != 0)
            return m_nWriteError;
        m_files[strPath].assign(pData, pData + nSize);
        return 0;
    }
    int TempFileName(const std::string& strPrefix, unsigned nUnique,
                     std::string& strPath) override {
        strPath = "T:\\temp\\" + strPrefix + std::to_string(nUnique) + ".tmp";
        return 0;
    }
    std::map<std::string, std::vector<uint8_t>> m_files;
    int m_nWriteError = 0;
};

} // namespace torvex::test
