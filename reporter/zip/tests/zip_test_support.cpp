#include "zip_test_support.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace ostrel::ziptest {

uint16_t Le16(const std::string& s, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) |
                                 (static_cast<uint8_t>(s[at + 1]) << 8));
}

uint32_t Le32(const std::string& s, size_t at) {
    return Le16(s, at) | (static_cast<uint32_t>(Le16(s, at + 2)) << 16);
}

uint32_t Crc32(const std::string& data) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

namespace {

bool Inflate(const std::string& in, size_t cbExpected, std::string* pOut) {
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK)
        return false;
    pOut->assign(cbExpected + 1, '\0'); // one spare byte shows data past the size
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = reinterpret_cast<Bytef*>(&(*pOut)[0]);
    zs.avail_out = static_cast<uInt>(pOut->size());
    const int rc = inflate(&zs, Z_FINISH);
    const bool ok = rc == Z_STREAM_END && zs.avail_in == 0 && zs.total_out == cbExpected;
    inflateEnd(&zs);
    pOut->resize(cbExpected);
    return ok;
}

uint32_t Next(uint32_t& s) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
}

} // namespace

SReadArchive ReadArchive(const std::string& f) {
    SReadArchive a;
    auto fail = [&](const std::string& why) {
        a.strError = why;
        return a;
    };
    if (f.size() < 22)
        return fail("shorter than an end record");
    const size_t end = f.size() - 22;
    if (Le32(f, end) != 0x06054B50)
        return fail("no end record in the last 22 bytes");
    if (Le16(f, end + 4) || Le16(f, end + 6) || Le16(f, end + 20))
        return fail("disk numbers or comment length not zero");
    a.wDiskEntries = Le16(f, end + 8);
    a.wTotalEntries = Le16(f, end + 10);
    a.dwCentralSize = Le32(f, end + 12);
    a.dwCentralOffset = Le32(f, end + 16);
    if (a.wDiskEntries != a.wTotalEntries)
        return fail("entry counts differ");
    if (uint64_t{a.dwCentralOffset} + a.dwCentralSize != end)
        return fail("central directory does not end at the end record");

    size_t pos = a.dwCentralOffset;
    size_t nextLocal = 0;
    for (unsigned i = 0; i < a.wTotalEntries; ++i) {
        if (pos + 46 > end || Le32(f, pos) != 0x02014B50)
            return fail("bad central header " + std::to_string(i));
        SReadEntry e;
        e.wMadeBy = Le16(f, pos + 4);
        e.wNeeded = Le16(f, pos + 6);
        e.wFlags = Le16(f, pos + 8);
        e.wMethod = Le16(f, pos + 10);
        e.wTime = Le16(f, pos + 12);
        e.wDate = Le16(f, pos + 14);
        e.dwCrc = Le32(f, pos + 16);
        e.dwCompressed = Le32(f, pos + 20);
        e.dwUncompressed = Le32(f, pos + 24);
        const size_t n = Le16(f, pos + 28), x = Le16(f, pos + 30);
        e.wComment = Le16(f, pos + 32);
        e.wDisk = Le16(f, pos + 34);
        e.wInternal = Le16(f, pos + 36);
        e.dwExternal = Le32(f, pos + 38);
        e.dwOffset = Le32(f, pos + 42);
        if (pos + 46 + n + x + e.wComment > end)
            return fail("central header runs past the directory");
        e.strName = f.substr(pos + 46, n);
        e.strCentralExtra = f.substr(pos + 46 + n, x);
        pos += 46 + n + x + e.wComment;

        const size_t lh = e.dwOffset;
        if (lh != nextLocal)
            return fail("entry " + std::to_string(i) + " does not follow the previous one");
        if (lh + 30 > a.dwCentralOffset || Le32(f, lh) != 0x04034B50)
            return fail("bad local header " + std::to_string(i));
        e.wLocalNeeded = Le16(f, lh + 4);
        e.wLocalFlags = Le16(f, lh + 6);
        e.wLocalMethod = Le16(f, lh + 8);
        e.wLocalTime = Le16(f, lh + 10);
        e.wLocalDate = Le16(f, lh + 12);
        e.dwLocalCrc = Le32(f, lh + 14);
        e.dwLocalCompressed = Le32(f, lh + 18);
        e.dwLocalUncompressed = Le32(f, lh + 22);
        const size_t ln = Le16(f, lh + 26), lx = Le16(f, lh + 28);
        const size_t data = lh + 30 + ln + lx;
        if (data + e.dwCompressed > a.dwCentralOffset)
            return fail("entry data runs into the central directory");
        e.strLocalName = f.substr(lh + 30, ln);
        e.strLocalExtra = f.substr(lh + 30 + ln, lx);
        if (e.strLocalName != e.strName || e.wLocalFlags != e.wFlags ||
            e.wLocalMethod != e.wMethod || e.wLocalTime != e.wTime || e.wLocalDate != e.wDate ||
            e.dwLocalCrc != e.dwCrc || e.dwLocalCompressed != e.dwCompressed ||
            e.dwLocalUncompressed != e.dwUncompressed || e.wLocalNeeded != e.wNeeded)
            return fail("local and central headers differ for " + e.strName);
        const std::string raw = f.substr(data, e.dwCompressed);
        if (e.wMethod == 0) {
            if (e.dwCompressed != e.dwUncompressed)
                return fail("stored sizes differ for " + e.strName);
            e.strData = raw;
        } else if (e.wMethod == 8) {
            if (!Inflate(raw, e.dwUncompressed, &e.strData))
                return fail("data does not inflate to its size for " + e.strName);
        } else {
            return fail("unknown method for " + e.strName);
        }
        if (Crc32(e.strData) != e.dwCrc)
            return fail("CRC mismatch for " + e.strName);
        nextLocal = data + e.dwCompressed;
        a.entries.push_back(std::move(e));
    }
    if (pos != end)
        return fail("central directory size does not match its headers");
    if (nextLocal != a.dwCentralOffset)
        return fail("bytes between the last entry and the central directory");
    a.bOk = true;
    return a;
}

std::string MakeText(size_t cb, uint32_t seed) {
    static const char* const kWords[] = {"sensor",      "ready", "frame",  "timeout",  "USB",
                                         "calibration", "dark",  "bright", "acquired", "retry"};
    std::string s;
    s.reserve(cb + 80);
    uint32_t r = seed | 1;
    unsigned line = 0;
    while (s.size() < cb) {
        char stamp[48];
        std::snprintf(stamp, sizeof stamp, "2015-03-12 14:%02u:%02u.%03u ", line / 60 % 60,
                      line % 60, Next(r) % 1000);
        s += stamp;
        for (int w = 0; w < 6; ++w) {
            s += kWords[Next(r) % 10];
            s += ' ';
        }
        s += std::to_string(Next(r) % 100000);
        s += "\r\n";
        ++line;
    }
    s.resize(cb);
    return s;
}

std::string MakeNoise(size_t cb, uint32_t seed) {
    std::string s(cb, '\0');
    uint32_t r = seed | 1;
    for (char& c : s)
        c = static_cast<char>(Next(r));
    return s;
}

bool CMemoryOutput::Write(const void* pData, size_t cbData) {
    SState& s = *m_pState;
    size_t cbTake = cbData;
    const bool bFail = s.qwAccepted + cbData > s.qwFailAfter;
    if (bFail)
        cbTake =
            static_cast<size_t>(s.qwFailAfter > s.qwAccepted ? s.qwFailAfter - s.qwAccepted : 0);
    const char* p = static_cast<const char*>(pData);
    if (s.strFile.size() < s.qwPos + cbTake)
        s.strFile.resize(static_cast<size_t>(s.qwPos + cbTake));
    std::memcpy(&s.strFile[static_cast<size_t>(s.qwPos)], p, cbTake);
    s.writes.emplace_back(s.qwPos, std::string(p, cbTake));
    s.qwPos += cbTake;
    s.qwAccepted += cbTake;
    return !bFail;
}

bool CMemoryOutput::Seek(uint64_t qwOffset) {
    if (m_pState->bFailSeek || qwOffset > m_pState->strFile.size())
        return false;
    m_pState->qwPos = qwOffset;
    return true;
}

bool CMemoryOutput::Truncate() {
    m_pState->strFile.resize(static_cast<size_t>(m_pState->qwPos));
    return true;
}

bool CMemoryOutput::Close() {
    m_pState->bClosed = true;
    return !m_pState->bCloseFails;
}

CMemoryFileSystem::SFile& CMemoryFileSystem::Add(const std::wstring& path, const std::string& data,
                                                 int64_t llWriteTime, uint32_t dwAttributes) {
    SFile& f = files[path];
    f.strData = data;
    f.info.dwAttributes = dwAttributes;
    f.info.llWriteTime = llWriteTime;
    f.info.llAccessTime = llWriteTime + 60;
    f.info.llCreateTime = llWriteTime - 3600;
    return f;
}

std::unique_ptr<zip::IZipOutput> CMemoryFileSystem::CreateOutput(const std::wstring&) {
    if (bRefuseCreate)
        return nullptr;
    *pOutput = CMemoryOutput::SState{};
    return std::make_unique<CMemoryOutput>(pOutput);
}

namespace {

class CMemorySource final : public zip::IZipSource {
public:
    explicit CMemorySource(CMemoryFileSystem::SFile& file) : m_file(file) {}
    bool Read(void* pBuffer, size_t cbBuffer, size_t* pcbRead) override {
        if (m_qwPos >= m_file.qwFailReadAfter)
            return false;
        const uint64_t qwSize = m_file.qwReportedSize != UINT64_MAX && m_file.strData.empty()
                                    ? m_file.qwReportedSize
                                    : m_file.strData.size();
        uint64_t cb = std::min<uint64_t>(
            {cbBuffer, m_file.cbMaxRead, qwSize - m_qwPos, m_file.qwFailReadAfter - m_qwPos});
        if (!m_file.strData.empty())
            std::memcpy(pBuffer, m_file.strData.data() + m_qwPos, static_cast<size_t>(cb));
        else
            std::memset(pBuffer, 0, static_cast<size_t>(cb)); // generated zeros
        m_qwPos += cb;
        m_file.qwBytesRead += cb;
        *pcbRead = static_cast<size_t>(cb);
        return true;
    }

private:
    CMemoryFileSystem::SFile& m_file;
    uint64_t m_qwPos = 0;
};

} // namespace

std::unique_ptr<zip::IZipSource> CMemoryFileSystem::OpenSource(const std::wstring& path,
                                                               zip::SZipSourceInfo* pInfo) {
    auto it = files.find(path);
    if (it == files.end() || it->second.bRefuseOpen)
        return nullptr;
    *pInfo = it->second.info;
    pInfo->qwSize = it->second.qwReportedSize != UINT64_MAX ? it->second.qwReportedSize
                                                            : it->second.strData.size();
    return std::make_unique<CMemorySource>(it->second);
}

} // namespace ostrel::ziptest
