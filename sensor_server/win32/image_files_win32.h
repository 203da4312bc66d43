#pragma once
// Whole-file reads and writes with 8-bit paths, and the temporary file name
// of GetTempFileName.
#include "image_files.h"

namespace torvex {

class CWin32ImageFiles final : public IImageFiles {
public:
    int ReadAll(const std::string& strPath, std::vector<uint8_t>& bytes) override;
    int WriteAll(const std::string& strPath, const uint8_t* pData, size_t nSize) override;
    int TempFileName(const std::string& strPrefix, unsigned nUnique, std::string& strPath) override;
};

} // namespace torvex
