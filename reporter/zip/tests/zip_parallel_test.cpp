// Deflate in chunks on worker threads: the archive bytes depend on the data
// alone, the joined streams inflate to the source, failures leave nothing
// behind, and the reader stays a bounded distance ahead of the writer.
#include "deflate_pool.h"
#include "zip_writer.h"

#include "zip_test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace ostrel;
using namespace ostrel::ziptest;

namespace {

SZipWriterOptions Options(unsigned nWorkers, size_t cbChunk) {
    SZipWriterOptions o;
    o.nWorkers = nWorkers;
    o.cbChunk = cbChunk;
    return o;
}

struct SAdd {
    std::wstring name;
    std::wstring source;
    int nResult = kZipOk;
};

// Writes the entries into a fresh archive and returns its bytes.
std::string Build(CMemoryFileSystem& fs, const SZipWriterOptions& options,
                  const std::vector<SAdd>& adds) {
    CZipWriter w(fs, fs.CreateOutput(L"out.zip"), options);
    for (const SAdd& a : adds)
        EXPECT_EQ(w.AddFile(a.name.c_str(), a.source.c_str()), a.nResult) << a.source.c_str();
    EXPECT_EQ(w.Close(), kZipOk);
    return fs.pOutput->strFile;
}

// One raw deflate stream at level 8, straight from zlib.
std::string RawDeflate(const std::string& data) {
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, 8, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::string EntryBytes(const std::string& archive, const SReadEntry& e) {
    return archive.substr(e.dwOffset + 30 + e.strName.size() + 17, e.dwCompressed);
}

} // namespace

// Sizes around the cut, with chunks smaller and larger than the 32 KiB window
// (a small chunk takes its dictionary from several chunks before it), read
// whole or in short pieces: every worker count writes the bytes one worker does.
TEST(ZipParallelTest, SameArchiveForEveryWorkerCount) {
    for (size_t cbChunk : {size_t{20000}, size_t{100000}}) {
        SCOPED_TRACE(cbChunk);
        CMemoryFileSystem fs;
        std::vector<SAdd> adds;
        const size_t c = cbChunk;
        for (size_t cb : {size_t{0}, size_t{1}, c - 1, c, c + 1, 2 * c, 7 * c + 17}) {
            const std::wstring src = L"s" + std::to_wstring(cb);
            // Text, then noise (stored blocks), then the text again from far back.
            const std::string text = MakeText(cb / 2, static_cast<uint32_t>(cb));
            std::string data = text + MakeNoise(cb / 4, 3) + text;
            data.resize(cb);
            fs.Add(src, data);
            adds.push_back({src + L".log", src});
        }
        const std::string reference = Build(fs, Options(1, cbChunk), adds);
        const SReadArchive a = ReadArchive(reference);
        ASSERT_TRUE(a.bOk) << a.strError;
        ASSERT_EQ(a.entries.size(), adds.size());
        for (size_t i = 0; i < adds.size(); ++i)
            EXPECT_EQ(a.entries[i].strData, fs.files[adds[i].source].strData) << i;

        for (size_t cbMaxRead : {SIZE_MAX, size_t{777}}) {
            for (auto& f : fs.files)
                f.second.cbMaxRead = cbMaxRead;
            for (unsigned nWorkers : {1u, 2u, 3u, 8u})
                EXPECT_TRUE(Build(fs, Options(nWorkers, cbChunk), adds) == reference)
                    << nWorkers << " workers, reads of at most " << cbMaxRead;
        }
    }
}

// An entry that fits one chunk, even exactly, is one plain deflate stream, as
// zlib makes it in one go. A longer one reaches back across the cuts: the
// dictionary keeps it near the size of one stream.
TEST(ZipParallelTest, ChunksJoinIntoOneStream) {
    const size_t cbChunk = 50000;
    CMemoryFileSystem fs;
    const std::string small = MakeText(30000, 5);
    const std::string exact = MakeText(cbChunk, 6);
    std::string repeated;
    const std::string block = MakeNoise(20000, 7); // only a back reference can shrink it
    for (int i = 0; i < 10; ++i)
        repeated += block;
    fs.Add(L"small", small);
    fs.Add(L"exact", exact);
    fs.Add(L"repeated", repeated);
    const std::string archive =
        Build(fs, Options(8, cbChunk),
              {{L"small.txt", L"small"}, {L"exact.txt", L"exact"}, {L"repeated.bin", L"repeated"}});
    const SReadArchive a = ReadArchive(archive);
    ASSERT_TRUE(a.bOk) << a.strError;
    ASSERT_EQ(a.entries.size(), 3u);
    EXPECT_TRUE(EntryBytes(archive, a.entries[0]) == RawDeflate(small));
    EXPECT_TRUE(EntryBytes(archive, a.entries[1]) == RawDeflate(exact));
    EXPECT_EQ(a.entries[2].strData, repeated);
    EXPECT_LT(a.entries[2].dwCompressed, RawDeflate(repeated).size() + 100);
}

namespace {

// Writes the entries (a source "" is a folder) and returns the archive with
// the add results and the close result appended, so that one comparison
// covers them all.
std::string BuildMixed(CMemoryFileSystem& fs, const SZipWriterOptions& options,
                       const std::vector<SAdd>& adds) {
    CZipWriter w(fs, fs.CreateOutput(L"out.zip"), options);
    std::string results;
    for (const SAdd& a : adds)
        results += std::to_string(a.source.empty() ? w.AddFolder(a.name.c_str())
                                                   : w.AddFile(a.name.c_str(), a.source.c_str())) +
                   ",";
    results += std::to_string(w.Close());
    return fs.pOutput->strFile + results;
}

} // namespace

// Hundreds of entries of one chunk, compressed side by side, among folders,
// stored and split files, sources that do not open and small sources that fail
// mid-read: every worker count gives the bytes and the results of one worker,
// and the failing sources leave no trace. Near the archive limit the entries
// waiting to be written must not crowd out one that fits exactly.
TEST(ZipParallelTest, SmallEntriesSideBySide) {
    const size_t cbChunk = 8192;
    CMemoryFileSystem fs;
    std::vector<SAdd> good, all;
    for (int i = 0; i < 300; ++i) {
        const std::wstring src = L"f" + std::to_wstring(i);
        const size_t cb = (i * 7919) % (cbChunk + 1); // 0 to exactly one chunk
        fs.Add(src, i % 3 ? MakeText(cb, i) : MakeNoise(cb, i));
        SAdd add{src + (i % 50 == 7 ? L".zip" : L".ini"), src};
        if (i % 40 == 5) {
            all.push_back({L"dir" + std::to_wstring(i), L""});
            good.push_back(all.back());
        }
        if (i % 30 == 11) {
            all.push_back({L"big.log", L"big"});
            good.push_back(all.back());
        }
        if (i % 25 == 3) {
            const std::wstring bad = L"bad" + std::to_wstring(i);
            fs.Add(bad, MakeText(6000, i)).qwFailReadAfter = 100 + i * 10;
            all.push_back({bad + L".txt", bad, kZipCannotOpen});
            all.push_back({L"missing.txt", L"nowhere", kZipCannotOpen});
        }
        all.push_back(add);
        good.push_back(add);
    }
    fs.Add(L"big", MakeText(5 * cbChunk + 3, 77));

    const std::string reference = BuildMixed(fs, Options(1, cbChunk), good);
    const std::string archive = reference.substr(0, fs.pOutput->strFile.size());
    const SReadArchive a = ReadArchive(archive);
    ASSERT_TRUE(a.bOk) << a.strError;
    ASSERT_EQ(a.entries.size(), good.size());
    for (size_t i = 0; i < good.size(); ++i) {
        if (!good[i].source.empty()) {
            EXPECT_EQ(a.entries[i].strData, fs.files[good[i].source].strData) << i;
        }
    }
    // The failing adds change nothing but their own results.
    std::string expected = archive;
    for (const SAdd& add : all)
        expected += std::to_string(add.nResult) + ",";
    expected += "0";
    for (unsigned nWorkers : {1u, 2u, 3u, 8u})
        EXPECT_TRUE(BuildMixed(fs, Options(nWorkers, cbChunk), all) == expected)
            << nWorkers << " workers";

    // At the limit: exactly the archive of ten tiny entries and a stored one,
    // and one byte less. The stored one fits only once the others are known
    // at their compressed size.
    std::vector<SAdd> first;
    for (int i = 0; i < 10; ++i) {
        const std::wstring src = L"t" + std::to_wstring(i);
        fs.Add(src, MakeText(200 + i, 900 + i));
        first.push_back({src + L".txt", src});
    }
    fs.Add(L"tail", MakeNoise(20000, 5));
    first.push_back({L"tail.zip", L"tail"});
    BuildMixed(fs, Options(1, cbChunk), first);
    const uint64_t qwExact = fs.pOutput->strFile.size();
    for (uint64_t qwLimit : {qwExact, qwExact - 1}) {
        SZipWriterOptions o = Options(1, cbChunk);
        o.qwArchiveLimit = qwLimit;
        const std::string one = BuildMixed(fs, o, first);
        for (unsigned nWorkers : {2u, 8u}) {
            o.nWorkers = nWorkers;
            EXPECT_TRUE(BuildMixed(fs, o, first) == one)
                << nWorkers << " workers, limit " << qwLimit;
        }
    }
}

// An entry accepted before its bytes went out, whose write then fails, is
// dropped like any failed entry; Close says the archive misses it.
TEST(ZipParallelTest, AcceptedEntryThatFailsToWriteFailsTheClose) {
    CMemoryFileSystem fs;
    fs.Add(L"a", MakeText(3000, 1));
    fs.Add(L"c", MakeText(4000, 3));
    CZipWriter w(fs, fs.CreateOutput(L"out.zip"), Options(2, 10000));
    ASSERT_EQ(w.AddFile(L"a.txt", L"a"), kZipOk);
    auto& out = *fs.pOutput;
    out.qwFailAfter = out.qwAccepted + 10;
    EXPECT_EQ(w.AddFolder(L"dir"), kZipWriteFailed);
    out.qwFailAfter = UINT64_MAX;
    ASSERT_EQ(w.AddFile(L"c.txt", L"c"), kZipOk);
    EXPECT_EQ(w.Close(), kZipWriteFailed);
    const SReadArchive a = ReadArchive(out.strFile);
    ASSERT_TRUE(a.bOk) << a.strError;
    ASSERT_EQ(a.entries.size(), 1u);
    EXPECT_EQ(a.entries[0].strName, "c.txt");
    EXPECT_EQ(a.entries[0].dwOffset, 0u);
    EXPECT_EQ(a.entries[0].strData, MakeText(4000, 3));
}

namespace {

struct SParallelFault {
    const char* what;
    uint64_t qwFailReadAt;  // in the failing source
    uint64_t qwFailWriteIn; // bytes of its entry accepted before writes fail
    uint64_t qwLimit;       // archive limit
};

class ZipParallelFaultTest : public ::testing::TestWithParam<SParallelFault> {};

} // namespace

// While workers hold chunks of the failing entry, it is dropped; the archive
// then has exactly the bytes of one that never had it.
TEST_P(ZipParallelFaultTest, FailedEntryLeavesNoTrace) {
    const SParallelFault& f = GetParam();
    const size_t cbChunk = 10000;
    CMemoryFileSystem fs;
    fs.Add(L"a", MakeText(30000, 1));
    fs.Add(L"bad", MakeText(200000, 2) + MakeNoise(100000, 2)).qwFailReadAfter = f.qwFailReadAt;
    fs.Add(L"c", MakeText(50000, 3));
    SZipWriterOptions o = Options(3, cbChunk);
    o.qwArchiveLimit = f.qwLimit;
    const std::string reference = Build(fs, o, {{L"a.txt", L"a"}, {L"c.txt", L"c"}});

    CZipWriter w(fs, fs.CreateOutput(L"out.zip"), o);
    ASSERT_EQ(w.AddFile(L"a.txt", L"a"), kZipOk);
    auto& out = *fs.pOutput;
    if (f.qwFailWriteIn != UINT64_MAX)
        out.qwFailAfter = out.qwAccepted + f.qwFailWriteIn;
    EXPECT_EQ(w.AddFile(L"bad.txt", L"bad"),
              f.qwFailReadAt != UINT64_MAX ? kZipCannotOpen : kZipWriteFailed);
    out.qwFailAfter = UINT64_MAX;
    ASSERT_EQ(w.AddFile(L"c.txt", L"c"), kZipOk);
    ASSERT_EQ(w.Close(), kZipOk);
    EXPECT_TRUE(out.strFile == reference);
    EXPECT_TRUE(ReadArchive(out.strFile).bOk);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ZipParallelFaultTest,
    ::testing::Values(
        SParallelFault{"read_fails_in_the_first_chunk", 5000, UINT64_MAX, zip::kMaxArchiveSize},
        SParallelFault{"read_fails_many_chunks_in", 155000, UINT64_MAX, zip::kMaxArchiveSize},
        SParallelFault{"write_fails_many_chunks_in", UINT64_MAX, 20000, zip::kMaxArchiveSize},
        SParallelFault{"archive_limit_passed_mid_entry", UINT64_MAX, UINT64_MAX, 60000}),
    [](const auto& info) { return std::string(info.param.what); });

namespace {

struct SProgress {
    std::thread::id caller = std::this_thread::get_id();
    const CMemoryFileSystem::SFile* pSource = nullptr;
    size_t nCalls = 0;
    size_t nForeign = 0; // calls from another thread
    uint64_t qwLast = 0;
    uint64_t qwSize = 0;
    bool bBackwards = false;
    uint64_t qwLongestStep = 0;
    uint64_t qwMostAhead = 0; // source bytes read beyond those reported

    static void Callback(void* p, uint64_t qwDone, uint64_t qwSize) {
        SProgress& s = *static_cast<SProgress*>(p);
        ++s.nCalls;
        s.nForeign += std::this_thread::get_id() != s.caller;
        s.bBackwards |= qwDone < s.qwLast;
        s.qwLongestStep = std::max(s.qwLongestStep, qwDone - s.qwLast);
        s.qwMostAhead = std::max(s.qwMostAhead, s.pSource->qwBytesRead - qwDone);
        s.qwLast = qwDone;
        s.qwSize = qwSize;
    }
};

} // namespace

// The callback runs on the caller's thread after every chunk; the reader stays
// at most a fixed number of chunks per worker ahead, so memory is bounded
// however large the source.
TEST(ZipParallelTest, ProgressBetweenChunksAndBoundedReadAhead) {
    const size_t cbChunk = 16384; // stored data is reported once per block of this size
    const unsigned nWorkers = 8;
    CMemoryFileSystem fs;
    fs.Add(L"big", MakeText(1 << 20, 9));
    fs.Add(L"stored", MakeNoise(100000, 9));
    for (const wchar_t* name : {L"big.log", L"stored.zip"}) {
        const std::wstring src = name[0] == L'b' ? L"big" : L"stored";
        SProgress s;
        s.pSource = &fs.files[src];
        CZipWriter w(fs, fs.CreateOutput(L"out.zip"), Options(nWorkers, cbChunk));
        HZIP h = &w;
        ASSERT_EQ(ZipWriterSetProgress(h, &SProgress::Callback, &s), kZipOk);
        ASSERT_EQ(w.AddFile(name, src.c_str()), kZipOk);
        ASSERT_EQ(w.Close(), kZipOk);
        SCOPED_TRACE(src.c_str());
        const uint64_t qwSize = fs.files[src].strData.size();
        EXPECT_GE(s.nCalls, qwSize / cbChunk);
        EXPECT_EQ(s.nForeign, 0u);
        EXPECT_FALSE(s.bBackwards);
        EXPECT_LE(s.qwLongestStep, cbChunk);
        EXPECT_EQ(s.qwLast, qwSize);
        EXPECT_EQ(s.qwSize, qwSize);
        EXPECT_LE(s.qwMostAhead, (2 * nWorkers + 2) * cbChunk);
    }
    EXPECT_EQ(ZipWriterSetProgress(nullptr, &SProgress::Callback, nullptr), kZipBadArgument);
}

TEST(ZipParallelTest, WorkersFollowTheMachineWithinTheLimit) {
    CMemoryFileSystem fs;
    const unsigned nDefault = CZipWriter(fs, fs.CreateOutput(L"a"), Options(0, 1)).WorkerCount();
    EXPECT_GE(nDefault, 1u);
    EXPECT_LE(nDefault, zip::kMaxDeflateWorkers);
    EXPECT_EQ(nDefault,
              std::min(std::max(std::thread::hardware_concurrency(), 1u), zip::kMaxDeflateWorkers));
    EXPECT_EQ(CZipWriter(fs, fs.CreateOutput(L"b"), Options(100, 1)).WorkerCount(),
              zip::kMaxDeflateWorkers);
}
