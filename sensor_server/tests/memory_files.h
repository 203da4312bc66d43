#pragma once
// Files in memory for the image commands, with a way to make writes fail.
#include "image_files.h"
#include "image_shell.h"

#include "compress_codec.h"

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

// Beeps, preview drawings and decoder calls, recorded; the decoder is the
// stand-in library's when present.
class CFakeImageShell final : public IImageShell {
public:
    void ErrorBeep() override { ++m_nBeeps; }
    void DrawPreview(const SPreview& at, const uint8_t*, const uint8_t*, int nWidth, int nRows,
                     size_t) override {
        m_drawnRows.push_back(nRows);
        m_nPreviewX = at.m_nX;
        m_nPreviewWidth = nWidth;
    }
    void EndPreview(const SPreview&, int, int nHeight) override { m_nEndedHeight = nHeight; }
    bool Decompress(uint8_t* pPixels, const uint8_t* pHeader, const uint8_t* pReference,
                    const uint8_t* pReceived, int nHeight) override {
        ++m_nDecodes;
        if (!m_bLibrary)
            return false;
        sim::DecodeExport5(pPixels, pHeader, pReference, pReceived, pPixels, 0, nHeight);
        return true;
    }
    bool m_bLibrary = true;
    int m_nBeeps = 0;
    int m_nDecodes = 0;
    std::vector<int> m_drawnRows;
    int m_nPreviewX = 0, m_nPreviewWidth = 0, m_nEndedHeight = 0;
};

} // namespace torvex::test
