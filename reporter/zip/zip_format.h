#pragma once
// Field rules of the archive container: sizes, names, times, attributes and the
// little-endian layout of the headers. Pure functions, no I/O.
#include <cstddef>
#include <cstdint>
#include <string>

namespace ostrel::zip {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;

constexpr size_t kLocalHeaderSize = 4 + 26;     // signature included, name follows
constexpr size_t kLocalExtraSize = 4 + 1 + 12;  // id, size, flags, three times
constexpr size_t kCentralHeaderSize = 4 + 42;   // signature included, name follows
constexpr size_t kCentralExtraSize = 4 + 1 + 4; // id, size, flags, modification time
constexpr size_t kEndRecordSize = 4 + 18;

constexpr uint16_t kVersionMadeBy = 0x0B17;
constexpr uint16_t kVersionNeeded = 20;
constexpr uint16_t kFlagMaxCompression = 0x0002;
constexpr uint16_t kFlagDataDescriptor = 0x0008; // only in the provisional local header
constexpr uint16_t kFlagUtf8Name = 0x0800;       // general-purpose bit 11: the name is UTF-8
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kExtendedTimestampId = 0x5455;

// Range of the 16- and 32-bit fields. 0xFFFFFFFF in a size field and 0xFFFF in the
// entry count tell readers to look for ZIP64 records, which this writer never
// writes, so an entry's sizes stop one short of it. The whole archive, end
// record included, must end at or below 4 GiB - 1 so that every offset fits.
constexpr size_t kMaxNameBytes = 259;
constexpr size_t kMaxEntries = 0xFFFF;
constexpr uint64_t kMaxEntrySize = 0xFFFFFFFEu;
constexpr uint64_t kMaxArchiveSize = 0xFFFFFFFFu;

constexpr uint32_t kFolderExternalAttributes = 0x41C00010;

// Broken-down calendar time; month and day count from 1.
struct SCivilTime {
    int nYear = 1970;
    int nMonth = 1;
    int nDay = 1;
    int nHour = 0;
    int nMinute = 0;
    int nSecond = 0;
};

// Proleptic Gregorian conversions in UTC, valid for any 64-bit second count
// the file systems hand out.
SCivilTime CivilFromUnix(int64_t llSeconds);
int64_t UnixFromCivil(const SCivilTime& time);

struct SDosTime {
    uint16_t wTime = 0;
    uint16_t wDate = 0;
};

// DOS time and date (two-second resolution). Times before 1980 or after 2107 do
// not fit the fields and are clamped to the first or last value they can hold.
SDosTime DosTimeFromCivil(const SCivilTime& time);

// Entry name bytes: backslashes become slashes, a folder gets one trailing
// slash, the text is encoded in UTF-8.
std::string EncodeEntryName(const std::wstring& name, bool bFolder);

// The UTF-8 flag for a name with any non-ASCII byte, so that readers decode
// it as UTF-8 rather than as an old code page; ASCII names carry no flag.
uint16_t NameEncodingFlags(const std::string& name);

// True when the name ends in one of the already-compressed extensions, which
// are stored rather than deflated. Compared without regard to case.
bool IsStoredName(const std::string& name);

// Windows attributes masked to the bits the format keeps, plus a Unix mode in
// the high half: regular file or directory, owner read, owner write unless
// read-only, owner execute for recognised program files.
uint32_t FileExternalAttributes(uint32_t dwWindowsAttributes, bool bExecutable);

constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeDirectory = 0x10;

// Owner execute is given to program files so that they stay runnable when
// support unpacks an archive on a Unix system; everything else is data. The
// check recognises Windows and DOS program files from their bytes while they
// stream past: "MZ" at the start, and at the offset stored at 0x3C either a
// new-style header signature ("PE", "NE", "LE") or "MZ" again (a plain DOS
// program whose offset field is zero). Costs no extra read or seek.
class CExecutableSniffer {
public:
    void Feed(const uint8_t* pData, size_t cbData);
    bool IsExecutable() const { return m_bExecutable; }

private:
    static constexpr size_t kHeadSize = 0x40; // DOS header, offset field at 0x3C

    uint8_t m_abHead[kHeadSize] = {};
    uint8_t m_abSignature[2] = {};
    unsigned m_nSignatureMask = 0; // bit k set once signature byte k was seen
    uint64_t m_qwSeen = 0;
    uint64_t m_qwSignatureAt = 0;
    bool m_bHeadDone = false;
    bool m_bDecided = false;
    bool m_bExecutable = false;
};

inline void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// The values one entry carries in its local and central headers.
struct SEntryFields {
    uint16_t wFlags = 0;
    uint16_t wMethod = kMethodStored;
    SDosTime dosTime;
    uint32_t dwCrc = 0;
    uint32_t dwCompressedSize = 0;
    uint32_t dwUncompressedSize = 0;
    uint32_t dwExternalAttributes = 0;
    uint32_t dwLocalHeaderOffset = 0;
    // Seconds since 1970, low 32 bits, for the extended-timestamp fields.
    uint32_t dwModifyTime = 0;
    uint32_t dwAccessTime = 0;
    uint32_t dwCreateTime = 0;
    std::string strName;
};

// Serialisers append to out and return the number of bytes appended.
size_t AppendLocalHeader(std::string& out, const SEntryFields& entry);
size_t AppendCentralHeader(std::string& out, const SEntryFields& entry);
size_t AppendEndRecord(std::string& out, uint16_t wEntries, uint32_t dwCentralSize,
                       uint32_t dwCentralOffset);

inline size_t LocalEntryOverhead(size_t cbName) {
    return kLocalHeaderSize + cbName + kLocalExtraSize;
}
inline size_t CentralEntrySize(size_t cbName) {
    return kCentralHeaderSize + cbName + kCentralExtraSize;
}

} // namespace ostrel::zip
