#pragma once
// Whole-file access for the image commands: bitmap files that clients name,
// and the temporary bitmap of ReadImage.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace torvex {

class IImageFiles {
public:
    virtual ~IImageFiles() = default;
    // Reads the whole file. 0 with its bytes, else a platform code (nothing
    // is read then).
    virtual int ReadAll(const std::string& strPath, std::vector<uint8_t>& bytes) = 0;
    // Creates the file anew with exactly these bytes. 0 or a platform code; a
    // failed write may leave a partial file behind.
    virtual int WriteAll(const std::string& strPath, const uint8_t* pData, size_t nSize) = 0;
    // The temporary file name the platform forms from a prefix and a fixed
    // unique number in the temporary folder. 0 or a platform code.
    virtual int TempFileName(const std::string& strPrefix, unsigned nUnique,
                             std::string& strPath) = 0;
};

} // namespace torvex
