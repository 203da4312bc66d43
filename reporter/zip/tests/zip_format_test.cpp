#include "zip_format.h"

#include <gtest/gtest.h>

#include <string>

using namespace ostrel::zip;

TEST(ZipFormat, CivilTimeRoundTripsAcrossEras) {
    struct {
        int64_t llSeconds;
        SCivilTime civil;
    } const kCases[] = {
        {0, {1970, 1, 1, 0, 0, 0}},
        {-1, {1969, 12, 31, 23, 59, 59}},
        {951782400, {2000, 2, 29, 0, 0, 0}}, // leap day of a century leap year
        {1709164800, {2024, 2, 29, 0, 0, 0}},
        {4107542399, {2100, 2, 28, 23, 59, 59}}, // 2100 is not a leap year
        {4107542400, {2100, 3, 1, 0, 0, 0}},
        {-11644473600, {1601, 1, 1, 0, 0, 0}}, // start of the Windows file-time epoch
    };
    for (const auto& c : kCases) {
        const SCivilTime t = CivilFromUnix(c.llSeconds);
        EXPECT_EQ(t.nYear, c.civil.nYear) << c.llSeconds;
        EXPECT_EQ(t.nMonth, c.civil.nMonth) << c.llSeconds;
        EXPECT_EQ(t.nDay, c.civil.nDay) << c.llSeconds;
        EXPECT_EQ(t.nHour * 3600 + t.nMinute * 60 + t.nSecond,
                  c.civil.nHour * 3600 + c.civil.nMinute * 60 + c.civil.nSecond)
            << c.llSeconds;
        EXPECT_EQ(UnixFromCivil(c.civil), c.llSeconds);
    }
}

TEST(ZipFormat, DosTimeFieldsAndClamping) {
    struct {
        SCivilTime civil;
        uint16_t wTime, wDate;
    } const kCases[] = {
        {{2015, 6, 1, 13, 45, 37}, 13 * 2048 + 45 * 32 + 18, (2015 - 1980) * 512 + 6 * 32 + 1},
        {{1980, 1, 1, 0, 0, 1}, 0, 1 * 32 + 1},       // odd seconds round down
        {{2107, 12, 31, 23, 59, 59}, 0xBF7D, 0xFF9F}, // last value the fields hold
        {{1979, 12, 31, 23, 59, 59}, 0, 1 * 32 + 1},  // before 1980: clamped, not wrapped
        {{1601, 1, 1, 0, 0, 0}, 0, 1 * 32 + 1},
        {{2200, 1, 1, 0, 0, 0}, 0xBF7D, 0xFF9F},
    };
    for (const auto& c : kCases) {
        const SDosTime d = DosTimeFromCivil(c.civil);
        EXPECT_EQ(d.wTime, c.wTime) << c.civil.nYear;
        EXPECT_EQ(d.wDate, c.wDate) << c.civil.nYear;
    }
}

TEST(ZipFormat, StoredOnlyForCompressedExtensions) {
    struct {
        const char* name;
        bool bStored;
    } const kCases[] = {
        {"DATA.ZIP", true},   {"a.zip", true},   {"old.Z", true},       {"x.z", true},
        {"b.zoo", true},      {"c.ARC", true},   {"d.lzh", true},       {"e.arj", true},
        {"log.gz", true},     {"set.TGZ", true}, {"Report.txt", false}, {"README", false},
        {"a.zip.txt", false}, {"a.zipx", false}, {"a.tar", false},      {"dir.zip/x", false},
        {".gz", true},        {"gz", false},     {"a.", false},         {"image.jpg", false},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(IsStoredName(c.name), c.bStored) << c.name;
}

TEST(ZipFormat, EntryNamesUseSlashesAndUtf8) {
    EXPECT_EQ(EncodeEntryName(L"Oscillos\\S1\\trace.dat", false), "Oscillos/S1/trace.dat");
    EXPECT_EQ(EncodeEntryName(L"Thumbnails", true), "Thumbnails/");
    EXPECT_EQ(EncodeEntryName(L"Thumbnails/", true), "Thumbnails/");
    EXPECT_EQ(EncodeEntryName(L"P1\\A\\", true), "P1/A/");
    EXPECT_EQ(EncodeEntryName(L"\u00E9t\u00E9.txt", false), "\xC3\xA9t\xC3\xA9.txt");
}

TEST(ZipFormat, ExternalAttributes) {
    struct {
        uint32_t dwWindows;
        bool bExecutable;
        uint32_t dwExpected;
    } const kCases[] = {
        {0x20, false, 0x81800020},   // archive: regular file, owner read-write
        {0x21, false, 0x81000021},   // read-only drops owner write
        {0x27, false, 0x81000027},   // hidden and system kept
        {0x10, false, 0x41800010},   // a directory source
        {0x80, false, 0x81800000},   // "normal" is outside the kept bits
        {0x2820, false, 0x81800020}, // so are compressed and not-indexed
        {0x20, true, 0x81C00020},    {0x01, true, 0x81400001},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(FileExternalAttributes(c.dwWindows, c.bExecutable), c.dwExpected)
            << std::hex << c.dwWindows;
}

namespace {

std::string ProgramImage(uint32_t dwHeaderAt, const char* signature, size_t cb) {
    std::string s(cb, '\x11');
    s[0] = 'M';
    s[1] = 'Z';
    for (int i = 0; i < 4; ++i)
        s[0x3C + i] = static_cast<char>(dwHeaderAt >> (8 * i));
    if (dwHeaderAt + 2 <= cb) {
        s[dwHeaderAt] = signature[0];
        s[dwHeaderAt + 1] = signature[1];
    }
    return s;
}

bool Sniff(const std::string& data, size_t cbChunk) {
    CExecutableSniffer sniffer;
    for (size_t i = 0; i < data.size(); i += cbChunk)
        sniffer.Feed(reinterpret_cast<const uint8_t*>(data.data()) + i,
                     std::min(cbChunk, data.size() - i));
    return sniffer.IsExecutable();
}

} // namespace

TEST(ZipFormat, ExecutableSnifferFindsProgramHeadersWhereverTheyLie) {
    std::string weird(0x100, '\0'); // the pattern 0xAD 0x54 with an offset at 36
    weird[0] = '\xAD';
    weird[1] = 'T';
    weird[36] = 0x40;
    weird[0x40] = 'P';
    weird[0x41] = 'E';
    struct {
        const char* what;
        std::string data;
        bool bExecutable;
    } const kCases[] = {
        {"PE program", ProgramImage(0x80, "PE", 0x200), true},
        {"NE program", ProgramImage(0x80, "NE", 0x200), true},
        {"LE driver", ProgramImage(0x80, "LE", 0x200), true},
        {"DOS program, offset 0", ProgramImage(0, "MZ", 0x200), true},
        {"header past the first block", ProgramImage(20000, "PE", 40000), true},
        {"header offset past the end", ProgramImage(0x300, "PE", 0x200), false},
        {"header cut after one byte", ProgramImage(0x1FF, "PE", 0x200), false},
        {"unknown signature", ProgramImage(0x80, "XX", 0x200), false},
        {"MZ text, too short", "MZ and nothing else", false},
        {"text", std::string(0x200, 'a'), false},
        {"other magic", weird, false},
        {"empty", "", false},
    };
    for (const auto& c : kCases) {
        for (size_t cbChunk : {size_t{1}, size_t{7}, size_t{16384}})
            EXPECT_EQ(Sniff(c.data, cbChunk), c.bExecutable) << c.what << ", chunk " << cbChunk;
    }
}
