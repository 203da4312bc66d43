#include "zip_format.h"

#include "utf16.h"

#include <algorithm>
#include <cstring>

namespace ostrel::zip {
namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Days since 1970-01-01 of a proleptic Gregorian date, by 400-year eras.
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = FloorDiv(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

SCivilTime CivilFromUnix(int64_t llSeconds) {
    const int64_t days = FloorDiv(llSeconds, 86400);
    const int64_t secs = llSeconds - days * 86400;
    const int64_t z = days + 719468;
    const int64_t era = FloorDiv(z, 146097);
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    SCivilTime t;
    t.nDay = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.nMonth = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.nYear = static_cast<int>(yoe + era * 400 + (t.nMonth <= 2));
    t.nHour = static_cast<int>(secs / 3600);
    t.nMinute = static_cast<int>(secs / 60 % 60);
    t.nSecond = static_cast<int>(secs % 60);
    return t;
}

int64_t UnixFromCivil(const SCivilTime& t) {
    return DaysFromCivil(t.nYear, t.nMonth, t.nDay) * 86400 + t.nHour * 3600 + t.nMinute * 60 +
           t.nSecond;
}

SDosTime DosTimeFromCivil(const SCivilTime& t) {
    SCivilTime c = t;
    if (c.nYear < 1980)
        c = SCivilTime{1980, 1, 1, 0, 0, 0};
    else if (c.nYear > 2107)
        c = SCivilTime{2107, 12, 31, 23, 59, 58};
    SDosTime dos;
    dos.wTime = static_cast<uint16_t>(c.nHour * 2048 + c.nMinute * 32 + c.nSecond / 2);
    dos.wDate = static_cast<uint16_t>((c.nYear - 1980) * 512 + c.nMonth * 32 + c.nDay);
    return dos;
}

std::string EncodeEntryName(const std::wstring& name, bool bFolder) {
    std::wstring text = name;
    std::replace(text.begin(), text.end(), L'\\', L'/');
    if (bFolder && (text.empty() || text.back() != L'/'))
        text.push_back(L'/');
    return WideToUtf8(text);
}

uint16_t NameEncodingFlags(const std::string& name) {
    for (unsigned char c : name)
        if (c >= 0x80)
            return kFlagUtf8Name;
    return 0;
}

bool IsStoredName(const std::string& name) {
    static const char* const kStored[] = {".z",   ".zip", ".zoo", ".arc",
                                          ".lzh", ".arj", ".gz",  ".tgz"};
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    const size_t len = name.size() - dot;
    for (const char* ext : kStored) {
        if (std::strlen(ext) != len)
            continue;
        bool same = true;
        for (size_t i = 0; i < len && same; ++i)
            same = Lower(name[dot + i]) == ext[i];
        if (same)
            return true;
    }
    return false;
}

uint32_t FileExternalAttributes(uint32_t dwWindowsAttributes, bool bExecutable) {
    uint32_t mode = (dwWindowsAttributes & kAttributeDirectory) ? 0x4000 : 0x8000;
    mode |= 0x0100;
    if (!(dwWindowsAttributes & kAttributeReadOnly))
        mode |= 0x0080;
    if (bExecutable)
        mode |= 0x0040;
    return (mode << 16) | (dwWindowsAttributes & 0x37);
}

void CExecutableSniffer::Feed(const uint8_t* pData, size_t cbData) {
    const uint64_t start = m_qwSeen;
    m_qwSeen += cbData;
    if (m_bDecided)
        return;
    if (!m_bHeadDone) {
        const size_t take = static_cast<size_t>(std::min<uint64_t>(cbData, kHeadSize - start));
        std::memcpy(m_abHead + start, pData, take);
        if (start + take < kHeadSize)
            return;
        m_bHeadDone = true;
        if (m_abHead[0] != 'M' || m_abHead[1] != 'Z') {
            m_bDecided = true;
            return;
        }
        m_qwSignatureAt = static_cast<uint64_t>(m_abHead[0x3C]) | (m_abHead[0x3D] << 8) |
                          (m_abHead[0x3E] << 16) | (static_cast<uint64_t>(m_abHead[0x3F]) << 24);
        for (unsigned k = 0; k < 2; ++k) {
            if (m_qwSignatureAt + k < kHeadSize) {
                m_abSignature[k] = m_abHead[m_qwSignatureAt + k];
                m_nSignatureMask |= 1u << k;
            }
        }
    }
    for (unsigned k = 0; k < 2; ++k) {
        const uint64_t pos = m_qwSignatureAt + k;
        if (pos >= start && pos < start + cbData) {
            m_abSignature[k] = pData[pos - start];
            m_nSignatureMask |= 1u << k;
        }
    }
    if (m_nSignatureMask != 3)
        return;
    m_bDecided = true;
    const char sig[3] = {static_cast<char>(m_abSignature[0]), static_cast<char>(m_abSignature[1]),
                         0};
    m_bExecutable = !std::strcmp(sig, "PE") || !std::strcmp(sig, "NE") || !std::strcmp(sig, "LE") ||
                    !std::strcmp(sig, "MZ");
}

size_t AppendLocalHeader(std::string& out, const SEntryFields& e) {
    uint8_t h[kLocalHeaderSize];
    PutLe32(h + 0, kLocalSignature);
    PutLe16(h + 4, kVersionNeeded);
    PutLe16(h + 6, e.wFlags | NameEncodingFlags(e.strName));
    PutLe16(h + 8, e.wMethod);
    PutLe16(h + 10, e.dosTime.wTime);
    PutLe16(h + 12, e.dosTime.wDate);
    PutLe32(h + 14, e.dwCrc);
    PutLe32(h + 18, e.dwCompressedSize);
    PutLe32(h + 22, e.dwUncompressedSize);
    PutLe16(h + 26, static_cast<uint16_t>(e.strName.size()));
    PutLe16(h + 28, static_cast<uint16_t>(kLocalExtraSize));
    uint8_t x[kLocalExtraSize];
    PutLe16(x + 0, kExtendedTimestampId);
    PutLe16(x + 2, static_cast<uint16_t>(kLocalExtraSize - 4));
    x[4] = 0x07;
    PutLe32(x + 5, e.dwModifyTime);
    PutLe32(x + 9, e.dwAccessTime);
    PutLe32(x + 13, e.dwCreateTime);
    out.append(reinterpret_cast<const char*>(h), sizeof h);
    out.append(e.strName);
    out.append(reinterpret_cast<const char*>(x), sizeof x);
    return LocalEntryOverhead(e.strName.size());
}

size_t AppendCentralHeader(std::string& out, const SEntryFields& e) {
    uint8_t h[kCentralHeaderSize];
    PutLe32(h + 0, kCentralSignature);
    PutLe16(h + 4, kVersionMadeBy);
    PutLe16(h + 6, kVersionNeeded);
    PutLe16(h + 8, e.wFlags | NameEncodingFlags(e.strName));
    PutLe16(h + 10, e.wMethod);
    PutLe16(h + 12, e.dosTime.wTime);
    PutLe16(h + 14, e.dosTime.wDate);
    PutLe32(h + 16, e.dwCrc);
    PutLe32(h + 20, e.dwCompressedSize);
    PutLe32(h + 24, e.dwUncompressedSize);
    PutLe16(h + 28, static_cast<uint16_t>(e.strName.size()));
    PutLe16(h + 30, static_cast<uint16_t>(kCentralExtraSize));
    PutLe16(h + 32, 0); // comment length
    PutLe16(h + 34, 0); // disk number start
    PutLe16(h + 36, 0); // internal attributes
    PutLe32(h + 38, e.dwExternalAttributes);
    PutLe32(h + 42, e.dwLocalHeaderOffset);
    uint8_t x[kCentralExtraSize];
    PutLe16(x + 0, kExtendedTimestampId);
    PutLe16(x + 2, static_cast<uint16_t>(kCentralExtraSize - 4));
    x[4] = 0x07; // flags name all three times although only one follows, as readers expect
    PutLe32(x + 5, e.dwModifyTime);
    out.append(reinterpret_cast<const char*>(h), sizeof h);
    out.append(e.strName);
    out.append(reinterpret_cast<const char*>(x), sizeof x);
    return CentralEntrySize(e.strName.size());
}

size_t AppendEndRecord(std::string& out, uint16_t wEntries, uint32_t dwCentralSize,
                       uint32_t dwCentralOffset) {
    uint8_t h[kEndRecordSize];
    PutLe32(h + 0, kEndSignature);
    PutLe16(h + 4, 0);
    PutLe16(h + 6, 0);
    PutLe16(h + 8, wEntries);
    PutLe16(h + 10, wEntries);
    PutLe32(h + 12, dwCentralSize);
    PutLe32(h + 16, dwCentralOffset);
    PutLe16(h + 20, 0);
    out.append(reinterpret_cast<const char*>(h), sizeof h);
    return kEndRecordSize;
}

} // namespace ostrel::zip
