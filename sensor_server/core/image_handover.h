#pragma once
// What the view does with an image record handed over by copy-data message
// (identifier -10): the raw and oscillogram files, the 8-bit bitmap of the
// last image, and the view's last image path, Nrj and pixel count.
#include "server_state.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace torvex {

// The temporary folder of the user and its files.
class IHandoverFiles {
public:
    virtual ~IHandoverFiles() = default;
    // The temporary folder, ending in a backslash.
    virtual std::string TempFolder() = 0;
    // The last image's path: prefix "ACQ", unique number 1, extension "BMP".
    virtual std::string LastImagePath() = 0;
    // Creates or replaces the file; false when it could not be written whole.
    virtual bool WriteFile(const std::string& strPath, const std::vector<uint8_t>& bytes) = 0;
};

constexpr const char* kRawFileName = "LASTACQ2.RAW";
constexpr const char* kOscillogramFileName = "LASTACQ2.OSC";

class CImageHandOver {
public:
    CImageHandOver(IHandoverFiles& files, SViewState& view) : m_files(files), m_view(view) {}

    // Handles a copy-data message. Only identifier -10 with a record of
    // exactly one of the two geometries is used; anything else is ignored.
    // True when the files were made (their write failures are not told).
    bool OnCopyData(uint32_t nIdentifier, const uint8_t* pData, size_t nSize);

private:
    IHandoverFiles& m_files;
    SViewState& m_view;
};

} // namespace torvex
