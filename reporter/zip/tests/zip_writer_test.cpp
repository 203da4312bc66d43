#include "zip_writer.h"

#include "guard.h"
#include "zip_test_support.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

using namespace ostrel;
using namespace ostrel::ziptest;

namespace {

constexpr int64_t kWritten = 1433166337; // 2015-06-01 13:45:37 UTC

std::string Le32Bytes(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

class ZipWriterTest : public ::testing::Test {
protected:
    CMemoryFileSystem m_fs;

    // One worker: every entry is in the file when its add returns, so the
    // tests can follow the bytes entry by entry.
    HZIP Create() {
        SZipWriterOptions o;
        o.nWorkers = 1;
        HZIP h = ZipWriterCreateOn(m_fs, L"out.zip", o);
        EXPECT_NE(h, nullptr);
        return h;
    }
    const std::string& File() const { return m_fs.pOutput->strFile; }
    SReadArchive CloseAndRead(HZIP h) {
        EXPECT_EQ(ZipWriterClose(h), kZipOk);
        EXPECT_TRUE(m_fs.pOutput->bClosed);
        SReadArchive a = ReadArchive(File());
        EXPECT_TRUE(a.bOk) << a.strError;
        return a;
    }
    std::vector<std::string> Names(const SReadArchive& a) {
        std::vector<std::string> names;
        for (const auto& e : a.entries)
            names.push_back(e.strName);
        return names;
    }
};

} // namespace

// Every header field of both tables, for each kind of entry the scan adds.
TEST_F(ZipWriterTest, HeaderFieldsOfEveryEntryKind) {
    const std::string text = MakeText(50000);
    const std::string noise = MakeNoise(20000);
    m_fs.Add(L"src/Report.txt", text, kWritten);
    m_fs.Add(L"src/DATA.ZIP", noise, kWritten);
    m_fs.Add(L"src/empty.log", "", kWritten);
    m_fs.Add(L"src/settings.ini", "[Tech]\r\nDark=1\r\n", kWritten, 0x21);
    m_fs.Add(L"src/accent", "caf\xC3\xA9", kWritten);
    m_fs.Add(L"src/trace", std::string(3000, '\x7F'), kWritten);
    m_fs.Add(L"src/dup1", "first", kWritten);
    m_fs.Add(L"src/dup2", "second", kWritten);

    struct SCase {
        const wchar_t* name;
        const wchar_t* source; // null: folder
        std::string strName;
        uint16_t wMethod, wFlags;
        uint32_t dwExternal;
        std::string strData;
    };
    const std::vector<SCase> cases = {
        {L"Report.txt", L"src/Report.txt", "Report.txt", 8, 2, 0x81800020, text},
        {L"DATA.ZIP", L"src/DATA.ZIP", "DATA.ZIP", 0, 0, 0x81800020, noise},
        {L"Thumbnails", nullptr, "Thumbnails/", 0, 0, 0x41C00010, ""},
        {L"empty.log", L"src/empty.log", "empty.log", 8, 2, 0x81800020, ""},
        {L"settings.ini", L"src/settings.ini", "settings.ini", 8, 2, 0x81000021,
         "[Tech]\r\nDark=1\r\n"},
        {L"Rapport_\u00E9t\u00E9_\u03A9_\U0001F600.txt", L"src/accent",
         // Non-ASCII: the UTF-8 flag (bit 11) with the deflate flag.
         "Rapport_\xC3\xA9t\xC3\xA9_\xCE\xA9_\xF0\x9F\x98\x80.txt", 8, 0x0802, 0x81800020,
         "caf\xC3\xA9"},
        {L"Oscillos\\S1\\trace.dat", L"src/trace", "Oscillos/S1/trace.dat", 8, 2, 0x81800020,
         std::string(3000, '\x7F')},
        {L"dup.txt", L"src/dup1", "dup.txt", 8, 2, 0x81800020, "first"},
        {L"dup.txt", L"src/dup2", "dup.txt", 8, 2, 0x81800020, "second"},
    };

    HZIP h = Create();
    for (const SCase& c : cases)
        ASSERT_EQ(c.source ? ZipWriterAddFile(h, c.name, c.source) : ZipWriterAddFolder(h, c.name),
                  kZipOk)
            << c.strName;
    const SReadArchive a = CloseAndRead(h);
    ASSERT_TRUE(a.bOk);
    ASSERT_EQ(a.entries.size(), cases.size());
    EXPECT_EQ(a.wTotalEntries, cases.size());

    const uint16_t wFileTime = 13 * 2048 + 45 * 32 + 18;
    const uint16_t wDate = (2015 - 1980) * 512 + 6 * 32 + 1;
    const uint16_t wFolderTime = 9 * 2048 + 30 * 32 + 7; // the fake's local clock, 09:30:15
    const uint32_t dwFolderStamp = 1433151015;           // 2015-06-01 09:30:15 read as UTC
    for (size_t i = 0; i < cases.size(); ++i) {
        const SCase& c = cases[i];
        const SReadEntry& e = a.entries[i];
        SCOPED_TRACE(c.strName);
        const bool bFolder = !c.source;
        EXPECT_EQ(e.strName, c.strName);
        EXPECT_EQ(e.wMadeBy, 0x0B17);
        EXPECT_EQ(e.wNeeded, 20);
        EXPECT_EQ(e.wMethod, c.wMethod);
        EXPECT_EQ(e.wFlags, c.wFlags);
        EXPECT_EQ(e.wTime, bFolder ? wFolderTime : wFileTime);
        EXPECT_EQ(e.wDate, wDate);
        EXPECT_EQ(e.dwCrc, Crc32(c.strData));
        if (bFolder) {
            EXPECT_EQ(e.dwCrc, 0u);
        }
        EXPECT_EQ(e.dwUncompressed, c.strData.size());
        if (c.wMethod == 0) {
            EXPECT_EQ(e.dwCompressed, c.strData.size());
        }
        EXPECT_EQ(e.strData, c.strData);
        EXPECT_EQ(e.wComment, 0);
        EXPECT_EQ(e.wDisk, 0);
        EXPECT_EQ(e.wInternal, 0);
        EXPECT_EQ(e.dwExternal, c.dwExternal);

        const uint32_t dwModify = bFolder ? dwFolderStamp : static_cast<uint32_t>(kWritten);
        const uint32_t dwAccess = bFolder ? dwFolderStamp : static_cast<uint32_t>(kWritten + 60);
        const uint32_t dwCreate = bFolder ? dwFolderStamp : static_cast<uint32_t>(kWritten - 3600);
        EXPECT_EQ(e.strLocalExtra, std::string("\x55\x54\x0D\x00\x07", 5) + Le32Bytes(dwModify) +
                                       Le32Bytes(dwAccess) + Le32Bytes(dwCreate));
        EXPECT_EQ(e.strCentralExtra, std::string("\x55\x54\x05\x00\x07", 5) + Le32Bytes(dwModify));
    }
    // An empty deflate stream is one final empty block.
    EXPECT_EQ(a.entries[3].dwCompressed, 2u);
    EXPECT_LT(a.entries[0].dwCompressed, text.size() / 3);
}

TEST_F(ZipWriterTest, EmptyArchiveIsOnlyTheEndRecord) {
    HZIP h = Create();
    EXPECT_EQ(ZipWriterClose(h), kZipOk);
    EXPECT_EQ(File(), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
}

// The local header of an entry streamed from its source goes out first with
// the data-descriptor bit and placeholder values, and is rewritten in place
// once CRC and sizes are known; data goes out in blocks of at most 16 KiB. An
// entry of one deflate chunk is wholly compressed before anything of it is
// written, so its header goes out once, final.
TEST_F(ZipWriterTest, LocalHeaderIsProvisionalUntilTheDataIsWritten) {
    const std::string text = MakeText(300000);
    const std::string small = MakeText(5000, 4);
    const std::string noise = MakeNoise(40000);
    m_fs.Add(L"a", text, kWritten);
    m_fs.Add(L"b", noise, kWritten);
    m_fs.Add(L"c", small, kWritten);
    HZIP h = Create();
    ASSERT_EQ(ZipWriterAddFile(h, L"log.txt", L"a"), kZipOk);
    const size_t cbFirst = File().size();
    ASSERT_EQ(ZipWriterAddFile(h, L"old.gz", L"b"), kZipOk);
    const size_t cbSecond = File().size();
    ASSERT_EQ(ZipWriterAddFile(h, L"small.txt", L"c"), kZipOk);
    const SReadArchive a = CloseAndRead(h);
    ASSERT_EQ(a.entries.size(), 3u);

    struct {
        uint64_t qwOffset;
        uint16_t wFinalFlags;
        uint32_t dwProvisionalCompressed;
        uint32_t dwExpected;
    } const kEntries[] = {{0, 2, 0, 300000}, {cbFirst, 0, 40000, 40000}};
    const auto& writes = m_fs.pOutput->writes;
    for (const auto& k : kEntries) {
        std::vector<const std::string*> headers;
        for (const auto& w : writes)
            if (w.first == k.qwOffset)
                headers.push_back(&w.second);
        ASSERT_EQ(headers.size(), 2u);
        const std::string& first = *headers[0];
        EXPECT_EQ(Le16(first, 6), k.wFinalFlags | 0x0008);
        EXPECT_EQ(Le32(first, 14), 0u);
        EXPECT_EQ(Le32(first, 18), k.dwProvisionalCompressed);
        EXPECT_EQ(Le32(first, 22), k.dwExpected);
        const std::string& last = *headers[1];
        EXPECT_EQ(Le16(last, 6), k.wFinalFlags);
        EXPECT_EQ(Le32(last, 22), k.dwExpected);
        EXPECT_EQ(last.size(), first.size());
    }
    std::vector<const std::string*> smallHeaders;
    for (const auto& w : writes)
        if (w.first == cbSecond)
            smallHeaders.push_back(&w.second);
    ASSERT_EQ(smallHeaders.size(), 1u);
    EXPECT_EQ(Le16(*smallHeaders[0], 6), 2u);
    EXPECT_EQ(Le32(*smallHeaders[0], 14), Crc32(small));
    EXPECT_EQ(Le32(*smallHeaders[0], 22), 5000u);
    size_t cbLargest = 0;
    for (const auto& w : writes)
        if (w.first < a.dwCentralOffset)
            cbLargest = std::max(cbLargest, w.second.size());
    EXPECT_LE(cbLargest, 16384u);
}

TEST_F(ZipWriterTest, ShortReadsAndMultiBlockSourcesRoundTrip) {
    const std::string mixed = MakeText(300000, 7) + MakeNoise(100000, 7) + MakeText(1000, 9);
    m_fs.Add(L"mixed", mixed).cbMaxRead = 5000;
    m_fs.Add(L"noise", MakeNoise(70000, 3)).cbMaxRead = 777;
    HZIP h = Create();
    ASSERT_EQ(ZipWriterAddFile(h, L"mixed.log", L"mixed"), kZipOk);
    ASSERT_EQ(ZipWriterAddFile(h, L"noise.zip", L"noise"), kZipOk);
    const SReadArchive a = CloseAndRead(h);
    ASSERT_EQ(a.entries.size(), 2u);
    EXPECT_EQ(a.entries[0].strData, mixed);
    EXPECT_EQ(a.entries[1].strData, MakeNoise(70000, 3));
}

TEST_F(ZipWriterTest, ProgramFilesGetOwnerExecute) {
    std::string program(40000, '\0');
    program[0] = 'M';
    program[1] = 'Z';
    program[0x3C] = static_cast<char>(20000 & 0xFF);
    program[0x3D] = static_cast<char>(20000 >> 8);
    program[20000] = 'P';
    program[20001] = 'E';
    m_fs.Add(L"prog", program);
    m_fs.Add(L"ro", program, 0, 0x21);
    m_fs.Add(L"text", MakeText(40000));
    HZIP h = Create();
    ASSERT_EQ(ZipWriterAddFile(h, L"tool.exe", L"prog"), kZipOk);
    ASSERT_EQ(ZipWriterAddFile(h, L"tool.zip", L"prog"), kZipOk);
    ASSERT_EQ(ZipWriterAddFile(h, L"tool_ro.exe", L"ro"), kZipOk);
    ASSERT_EQ(ZipWriterAddFile(h, L"notes.exe", L"text"), kZipOk);
    const SReadArchive a = CloseAndRead(h);
    ASSERT_EQ(a.entries.size(), 4u);
    EXPECT_EQ(a.entries[0].dwExternal, 0x81C00020u);
    EXPECT_EQ(a.entries[1].dwExternal, 0x81C00020u);
    EXPECT_EQ(a.entries[2].dwExternal, 0x81400021u);
    EXPECT_EQ(a.entries[3].dwExternal, 0x81800020u);
}

TEST_F(ZipWriterTest, BadArgumentsAreRefusedAndLeaveNoTrace) {
    m_fs.Add(L"src", "data");
    HZIP h = Create();
    ASSERT_EQ(ZipWriterAddFile(h, L"ok.txt", L"src"), kZipOk);
    const size_t cbBefore = File().size();
    struct {
        const char* what;
        int nResult;
    } const kCases[] = {
        {"null name", ZipWriterAddFile(h, nullptr, L"src")},
        {"empty name", ZipWriterAddFile(h, L"", L"src")},
        {"null source", ZipWriterAddFile(h, L"a.txt", nullptr)},
        {"empty source", ZipWriterAddFile(h, L"a.txt", L"")},
        {"null folder", ZipWriterAddFolder(h, nullptr)},
        {"empty folder", ZipWriterAddFolder(h, L"")},
        {"add to empty handle", ZipWriterAddFile(nullptr, L"a.txt", L"src")},
        {"folder to empty handle", ZipWriterAddFolder(nullptr, L"a")},
        {"close empty handle", ZipWriterClose(nullptr)},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.nResult, kZipBadArgument) << c.what;
    EXPECT_EQ(g_nZipLastResult, kZipBadArgument);
    EXPECT_EQ(File().size(), cbBefore);
    const SReadArchive a = CloseAndRead(h);
    EXPECT_EQ(Names(a), std::vector<std::string>{"ok.txt"});
    EXPECT_EQ(g_nZipLastResult, kZipOk);
}

TEST_F(ZipWriterTest, CreateFailureGivesEmptyHandle) {
    m_fs.bRefuseCreate = true;
    EXPECT_EQ(ZipWriterCreateOn(m_fs, L"out.zip"), nullptr);
    EXPECT_EQ(g_nZipLastResult, kZipCannotOpen);
    m_fs.bRefuseCreate = false;
    EXPECT_EQ(ZipWriterCreateOn(m_fs, L""), nullptr);
    EXPECT_EQ(g_nZipLastResult, kZipCannotOpen);
    EXPECT_EQ(ZipWriterCreateOn(m_fs, nullptr), nullptr);
}

// A file system that throws on demand: no exception may leave an export, and
// each one caught is recorded with the export's name.
class CThrowingFileSystem final : public zip::IZipFileSystem {
public:
    explicit CThrowingFileSystem(CMemoryFileSystem& inner) : m_inner(inner) {}
    std::unique_ptr<zip::IZipOutput> CreateOutput(const std::wstring& path) override {
        if (m_bThrow)
            throw std::runtime_error("disk gone");
        return m_inner.CreateOutput(path);
    }
    std::unique_ptr<zip::IZipSource> OpenSource(const std::wstring& path,
                                                zip::SZipSourceInfo* pInfo) override {
        if (m_bThrow)
            throw std::bad_alloc();
        return m_inner.OpenSource(path, pInfo);
    }
    zip::SCivilTime LocalNow() override {
        if (m_bThrow)
            throw std::runtime_error("clock stopped");
        return m_inner.LocalNow();
    }
    bool m_bThrow = false;

private:
    CMemoryFileSystem& m_inner;
};

TEST_F(ZipWriterTest, ExceptionsBecomeFailedEntriesAndAreRecorded) {
    m_fs.Add(L"src", "data");
    CThrowingFileSystem fs(m_fs);
    fs.m_bThrow = true;
    EXPECT_EQ(ZipWriterCreateOn(fs, L"out.zip"), nullptr);
    EXPECT_EQ(g_nZipLastResult, kZipCannotOpen);
    EXPECT_EQ(LastCaughtException().m_strWhere, "ZipWriterCreate");
    EXPECT_EQ(LastCaughtException().m_strWhat, "disk gone");

    fs.m_bThrow = false;
    HZIP h = ZipWriterCreateOn(fs, L"out.zip");
    ASSERT_NE(h, nullptr);
    fs.m_bThrow = true;
    const unsigned long before = LastCaughtException().m_nCount;
    EXPECT_EQ(ZipWriterAddFile(h, L"a.txt", L"src"), kZipWriteFailed);
    EXPECT_EQ(LastCaughtException().m_strWhere, "ZipWriterAddFile");
    EXPECT_EQ(LastCaughtException().m_strWhat, "out of memory");
    EXPECT_EQ(ZipWriterAddFolder(h, L"dir"), kZipWriteFailed);
    EXPECT_EQ(g_nZipLastResult, kZipWriteFailed);
    EXPECT_EQ(LastCaughtException().m_strWhere, "ZipWriterAddFolder");
    EXPECT_EQ(LastCaughtException().m_strWhat, "clock stopped");
    EXPECT_EQ(LastCaughtException().m_nCount, before + 2);

    fs.m_bThrow = false;
    EXPECT_EQ(ZipWriterAddFile(h, L"b.txt", L"src"), kZipOk);
    EXPECT_EQ(Names(CloseAndRead(h)), std::vector<std::string>{"b.txt"});
}

// 259 bytes of UTF-8 is the most a name may hold; the slash of a folder counts.
TEST_F(ZipWriterTest, NamesPast259BytesAreRefused) {
    m_fs.Add(L"src", "x");
    const std::wstring e_acute(129, L'\u00E9');
    std::string e_acute_utf8;
    for (int i = 0; i < 129; ++i)
        e_acute_utf8 += "\xC3\xA9";
    struct {
        std::wstring name;
        bool bFolder;
        int nResult;
        std::string stored; // the name's bytes in the archive
    } const kCases[] = {
        {std::wstring(259, L'a'), false, kZipOk, std::string(259, 'a')},
        {std::wstring(260, L'a'), false, kZipBadArgument, ""},
        {e_acute + L"a", false, kZipOk, e_acute_utf8 + "a"}, // 258 + 1 bytes
        {e_acute + L"\u00E9", false, kZipBadArgument, ""},   // 260 bytes from 130 characters
        {std::wstring(258, L'd'), true, kZipOk, std::string(258, 'd') + "/"}, // 258 + slash
        {std::wstring(259, L'd'), true, kZipBadArgument, ""},
        // its own slash is not doubled
        {std::wstring(258, L'd') + L"\\", true, kZipOk, std::string(258, 'd') + "/"},
    };
    HZIP h = Create();
    std::vector<std::string> expected;
    for (const auto& c : kCases) {
        const int n = c.bFolder ? ZipWriterAddFolder(h, c.name.c_str())
                                : ZipWriterAddFile(h, c.name.c_str(), L"src");
        EXPECT_EQ(n, c.nResult) << c.name.size() << (c.bFolder ? " folder" : " file");
        if (c.nResult == kZipOk)
            expected.push_back(c.stored);
    }
    EXPECT_EQ(Names(CloseAndRead(h)), expected);
}

// A source that cannot be opened or read is skipped; whatever it had written
// is overwritten by the next entry.
TEST_F(ZipWriterTest, UnreadableSourcesAreSkipped) {
    m_fs.Add(L"a", MakeText(5000));
    m_fs.Add(L"locked", "x").bRefuseOpen = true;
    m_fs.Add(L"bad", MakeText(100000)).qwFailReadAfter = 40000;
    m_fs.Add(L"badstored", MakeNoise(100000)).qwFailReadAfter = 40000;
    m_fs.Add(L"c", MakeText(7000, 2));
    HZIP h = Create();
    ASSERT_EQ(ZipWriterAddFile(h, L"a.txt", L"a"), kZipOk);
    const size_t cbAfterA = File().size();
    EXPECT_EQ(ZipWriterAddFile(h, L"missing.txt", L"nowhere"), kZipCannotOpen);
    EXPECT_EQ(ZipWriterAddFile(h, L"locked.txt", L"locked"), kZipCannotOpen);
    EXPECT_EQ(File().size(), cbAfterA) << "nothing written for a source that did not open";
    EXPECT_EQ(ZipWriterAddFile(h, L"bad.txt", L"bad"), kZipCannotOpen);
    EXPECT_EQ(ZipWriterAddFile(h, L"bad.zip", L"badstored"), kZipCannotOpen);
    EXPECT_GT(File().size(), cbAfterA);
    ASSERT_EQ(ZipWriterAddFile(h, L"c.txt", L"c"), kZipOk);
    const SReadArchive a = CloseAndRead(h);
    EXPECT_EQ(Names(a), (std::vector<std::string>{"a.txt", "c.txt"}));
    ASSERT_EQ(a.entries.size(), 2u);
    EXPECT_EQ(a.entries[1].dwOffset, cbAfterA);
}

namespace {

enum class EFault { kWrite, kSeek, kClose };

struct SOutputFault {
    const char* what;
    EFault fault;
    uint64_t qwFailAfter; // bytes accepted before writes fail (kWrite)
    bool bRecover;        // the output works again before the next entry
};

class ZipOutputFaultTest : public ZipWriterTest,
                           public ::testing::WithParamInterface<SOutputFault> {};

} // namespace

// Entry 1 fits before the fault; entry 2 meets it; entry 3 comes after. A
// failing entry is left out; a recovered output still closes into a valid
// archive of the entries written, one that stays broken reports the failure.
TEST_P(ZipOutputFaultTest, FailedEntryIsLeftOut) {
    const SOutputFault& f = GetParam();
    m_fs.Add(L"one", MakeText(3000, 1));
    m_fs.Add(L"two", MakeText(200000, 2));
    m_fs.Add(L"two.zip", MakeNoise(50000, 2));
    m_fs.Add(L"three", MakeText(4000, 3));
    HZIP h = Create();
    ASSERT_EQ(ZipWriterAddFile(h, L"one.txt", L"one"), kZipOk);
    const size_t cbOne = File().size(); // 30 + 7 + 17 + data

    auto& out = *m_fs.pOutput;
    switch (f.fault) {
    case EFault::kWrite:
        out.qwFailAfter = out.qwAccepted + f.qwFailAfter;
        break;
    case EFault::kSeek:
        out.bFailSeek = true;
        break;
    case EFault::kClose:
        out.bCloseFails = true;
        break;
    }
    const int nTwo = ZipWriterAddFile(h, L"two.txt", L"two");
    const int nTwoStored = ZipWriterAddFile(h, L"two.zip", L"two.zip");
    if (f.fault != EFault::kClose) {
        EXPECT_EQ(nTwo, kZipWriteFailed);
        EXPECT_EQ(nTwoStored, kZipWriteFailed);
    }
    if (f.bRecover) {
        out.qwFailAfter = UINT64_MAX;
        out.bFailSeek = false;
    }
    const int nThree = ZipWriterAddFile(h, L"three.txt", L"three");
    const int nClose = ZipWriterClose(h);
    if (!f.bRecover) {
        EXPECT_EQ(nClose, kZipWriteFailed);
        if (f.fault != EFault::kClose) {
            EXPECT_EQ(nThree, kZipWriteFailed);
        }
        return;
    }
    EXPECT_EQ(nThree, kZipOk);
    EXPECT_EQ(nClose, kZipOk);
    const SReadArchive a = ReadArchive(File());
    ASSERT_TRUE(a.bOk) << a.strError;
    EXPECT_EQ(Names(a), (std::vector<std::string>{"one.txt", "three.txt"}));
    EXPECT_EQ(a.entries[1].dwOffset, cbOne);
    EXPECT_EQ(a.entries[1].strData, MakeText(4000, 3));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ZipOutputFaultTest,
    ::testing::Values(SOutputFault{"in the local header", EFault::kWrite, 10, true},
                      SOutputFault{"in the data", EFault::kWrite, 30000, true},
                      SOutputFault{"at the header rewrite", EFault::kSeek, 0, true},
                      SOutputFault{"in the data, never recovers", EFault::kWrite, 30000, false},
                      SOutputFault{"seek never recovers", EFault::kSeek, 0, false},
                      SOutputFault{"at the final flush", EFault::kClose, 0, false}),
    [](const auto& info) {
        std::string s = info.param.what;
        for (char& c : s)
            if (!isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return s;
    });

TEST_F(ZipWriterTest, CentralDirectoryWriteFailureIsReported) {
    m_fs.Add(L"one", "1");
    HZIP h = Create();
    ASSERT_EQ(ZipWriterAddFile(h, L"one.txt", L"one"), kZipOk);
    m_fs.pOutput->qwFailAfter = m_fs.pOutput->qwAccepted + 20; // inside the central header
    EXPECT_EQ(ZipWriterClose(h), kZipWriteFailed);
    EXPECT_EQ(g_nZipLastResult, kZipWriteFailed);
    EXPECT_TRUE(m_fs.pOutput->bClosed);
}

// The count field holds 65,535 entries; one more would wrap it to zero.
TEST_F(ZipWriterTest, EntryCountStopsAt65535) {
    m_fs.Add(L"src", "x");
    HZIP h = Create();
    for (unsigned i = 0; i < 65535; ++i)
        ASSERT_EQ(ZipWriterAddFolder(h, L"f"), kZipOk) << i;
    const size_t cbBefore = File().size();
    EXPECT_EQ(ZipWriterAddFolder(h, L"g"), kZipWriteFailed);
    EXPECT_EQ(ZipWriterAddFile(h, L"g.txt", L"src"), kZipWriteFailed);
    EXPECT_EQ(File().size(), cbBefore);
    const SReadArchive a = CloseAndRead(h);
    EXPECT_EQ(a.wTotalEntries, 65535);
    EXPECT_EQ(a.entries.size(), 65535u);
}

// Sizes of 4 GiB - 1 and more do not fit the 32-bit fields (0xFFFFFFFF means
// "see ZIP64" to readers). The source is refused before anything is read.
TEST_F(ZipWriterTest, SourcesOf4GiBAreRefused) {
    m_fs.Add(L"huge", "").qwReportedSize = 0x100000000ull;
    m_fs.Add(L"max", "").qwReportedSize = 0xFFFFFFFFull;
    m_fs.Add(L"small", "x");
    HZIP h = Create();
    EXPECT_EQ(ZipWriterAddFile(h, L"huge.dat", L"huge"), kZipWriteFailed);
    EXPECT_EQ(ZipWriterAddFile(h, L"huge.zip", L"huge"), kZipWriteFailed);
    EXPECT_EQ(ZipWriterAddFile(h, L"max.zip", L"max"), kZipWriteFailed);
    EXPECT_TRUE(File().empty());
    ASSERT_EQ(ZipWriterAddFile(h, L"small.txt", L"small"), kZipOk);
    EXPECT_EQ(Names(CloseAndRead(h)), std::vector<std::string>{"small.txt"});
}

// The whole archive, end record included, must stay within the limit (4 GiB - 1
// in use; lowered here). A stored entry is judged by its size before it is
// written, a deflated one while its data grows.
TEST_F(ZipWriterTest, ArchiveSizeLimitIsExact) {
    m_fs.Add(L"kilo", MakeNoise(1000));
    m_fs.Add(L"noise", MakeNoise(5000));
    // One stored entry named "a.zip": header 30 + 5 + 17, data 1000,
    // central header 46 + 5 + 9, end record 22.
    const uint64_t qwExact = 30 + 5 + 17 + 1000 + 46 + 5 + 9 + 22;
    for (uint64_t qwLimit : {qwExact, qwExact - 1}) {
        CZipWriter w(m_fs, m_fs.CreateOutput(L"out.zip"), qwLimit);
        const int n = w.AddFile(L"a.zip", L"kilo");
        EXPECT_EQ(n, qwLimit == qwExact ? kZipOk : kZipWriteFailed) << qwLimit;
        EXPECT_EQ(w.Close(), kZipOk);
        EXPECT_EQ(File().size(), qwLimit == qwExact ? qwExact : 22u);
    }

    CZipWriter w(m_fs, m_fs.CreateOutput(L"out.zip"), 3000);
    EXPECT_EQ(w.AddFile(L"noise.bin", L"noise"), kZipWriteFailed); // passes the limit mid-stream
    EXPECT_EQ(w.AddFolder(L"fits"), kZipOk);
    EXPECT_EQ(w.Close(), kZipOk);
    const SReadArchive a = ReadArchive(File());
    ASSERT_TRUE(a.bOk) << a.strError;
    EXPECT_EQ(Names(a), std::vector<std::string>{"fits/"});
}
