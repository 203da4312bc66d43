// Archives written through the POSIX adapter, checked by independent readers:
// Info-ZIP unzip and zipinfo, 7-Zip, Python's zipfile and libarchive's bsdtar.
// The writer runs with several workers, so the readers see chunked streams.
// A missing reader is a failure, not a skip: the suite needs the Debian
// packages unzip, 7zip, python3 and libarchive-tools.
#include "zip_writer.h"

#include "bench_data.h"
#include "still_times.h"
#include "utf16.h"
#include "zip_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

#ifndef ZIP_PEER_SCRIPT
#error "ZIP_PEER_SCRIPT must name zip_peer_check.py"
#endif

using namespace ostrel;
using namespace ostrel::ziptest;
namespace fs = std::filesystem;

namespace {

struct SRun {
    int nStatus = -1;
    std::string strOut;
};

SRun RunTool(const std::string& cmd) {
    SRun r;
    FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.strOut.append(buf, n);
    const int status = ::pclose(p);
    r.nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string Hex(const std::string& s) {
    static const char kDigits[] = "0123456789abcdef";
    std::string h;
    for (unsigned char c : s) {
        h += kDigits[c >> 4];
        h += kDigits[c & 15];
    }
    return h;
}

bool HasLine(const std::string& out, const std::string& needle, const std::string& ending) {
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() >= ending.size() &&
            line.compare(line.size() - ending.size(), ending.size(), ending) == 0 &&
            line.find(needle) != std::string::npos)
            return true;
    }
    return false;
}

// One entry the archive must hold, in order.
struct SExpect {
    std::string strName;   // bytes in the archive
    std::string strSource; // empty for a folder
    uint64_t qwSize = 0;
    bool bStored = false;
    uint32_t dwExternal = 0x81800000; // as the POSIX adapter gives for a writable file
    bool IsFolder() const { return strSource.empty(); }
};

class ZipPeerTest : public ::testing::Test {
protected:
    static fs::path s_dir;
    static std::string s_7z;

    static void SetUpTestSuite() {
        char tmpl[] = "/tmp/ostrel_zip_peer_XXXXXX";
        s_dir = ::mkdtemp(tmpl);
        s_7z = RunTool("command -v 7z").nStatus == 0 ? "7z" : "7zz";
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::permissions(s_dir, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto& e : fs::recursive_directory_iterator(s_dir, ec))
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(s_dir, ec);
    }

    void SetUp() override {
        for (const char* tool : {"unzip", "zipinfo", "python3", "bsdtar"})
            ASSERT_EQ(RunTool(std::string("command -v ") + tool).nStatus, 0)
                << tool
                << " is missing: install the Debian packages unzip, 7zip, python3, "
                   "libarchive-tools";
        ASSERT_EQ(RunTool("command -v " + s_7z).nStatus, 0)
            << "7-Zip is missing: install the Debian package 7zip";
    }

    static std::string PathOf(const std::string& name) { return (s_dir / name).string(); }

    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    static std::string WriteFile(const std::string& name, const std::string& data) {
        const std::string path = PathOf(name);
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary).write(data.data(), data.size());
        return path;
    }

    // Writes the archive through the public API; each expectation is added in
    // order. Three workers, whatever the machine has.
    static std::string Build(const std::string& archive, const std::vector<SExpect>& expects,
                             const std::vector<std::wstring>& names, unsigned nWorkers = 3,
                             zip::IZipFileSystem& pfs = zip::PlatformFileSystem()) {
        const std::string path = PathOf(archive);
        SZipWriterOptions options;
        options.nWorkers = nWorkers;
        std::unique_ptr<zip::IZipOutput> pOutput = pfs.CreateOutput(Utf8ToWide(path));
        EXPECT_NE(pOutput, nullptr);
        if (!pOutput)
            return path;
        HZIP h = new CZipWriter(pfs, std::move(pOutput), options);
        for (size_t i = 0; i < expects.size(); ++i) {
            const SExpect& e = expects[i];
            const int n = e.IsFolder() ? ZipWriterAddFolder(h, names[i].c_str())
                                       : ZipWriterAddFile(h, names[i].c_str(),
                                                          Utf8ToWide(e.strSource).c_str());
            EXPECT_EQ(n, kZipOk) << e.strName;
        }
        EXPECT_EQ(ZipWriterClose(h), kZipOk);
        return path;
    }

    static void CheckUnzip(const std::string& archive, const std::vector<SExpect>& expects) {
        const SRun t = RunTool("TZ=UTC unzip -t " + Quote(archive));
        if (expects.empty()) {
            EXPECT_NE(t.strOut.find("zipfile is empty"), std::string::npos) << t.strOut;
        } else {
            EXPECT_EQ(t.nStatus, 0) << t.strOut;
            EXPECT_NE(t.strOut.find("No errors detected"), std::string::npos) << t.strOut;
            size_t nOk = 0;
            std::istringstream lines(t.strOut);
            std::string line;
            while (std::getline(lines, line))
                nOk += line.find("testing: ") != std::string::npos && line.size() >= 2 &&
                       line.compare(line.size() - 2, 2, "OK") == 0;
            EXPECT_EQ(nOk, expects.size()) << t.strOut;
        }
        const SRun z = RunTool("TZ=UTC zipinfo " + Quote(archive));
        if (expects.empty()) {
            EXPECT_NE(z.strOut.find("Empty zipfile"), std::string::npos) << z.strOut;
            return;
        }
        EXPECT_EQ(z.nStatus, 0) << z.strOut;
        EXPECT_NE(z.strOut.find("number of entries: " + std::to_string(expects.size())),
                  std::string::npos)
            << z.strOut;
        for (const SExpect& e : expects) {
            const std::string cols = " " + std::to_string(e.qwSize) + " bx " +
                                     (e.bStored || e.IsFolder() ? "stor" : "defX") + " ";
            EXPECT_TRUE(HasLine(z.strOut, cols, " " + e.strName)) << e.strName << "\n" << z.strOut;
        }
    }

    static void Check7z(const std::string& archive, const std::vector<SExpect>& expects) {
        const SRun t = RunTool(s_7z + " t " + Quote(archive));
        EXPECT_EQ(t.nStatus, 0) << t.strOut;
        EXPECT_NE(t.strOut.find("Everything is Ok"), std::string::npos) << t.strOut;
        const SRun l = RunTool(s_7z + " l -slt " + Quote(archive));
        EXPECT_EQ(l.nStatus, 0) << l.strOut;
        // One block of "Key = value" lines per entry after the "----------" line.
        std::vector<std::vector<std::string>> blocks;
        std::istringstream in(
            l.strOut.substr(std::min(l.strOut.find("----------"), l.strOut.size())));
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("Path = ", 0) == 0)
                blocks.emplace_back();
            if (!blocks.empty() && !line.empty())
                blocks.back().push_back(line);
        }
        ASSERT_EQ(blocks.size(), expects.size()) << l.strOut;
        for (size_t i = 0; i < expects.size(); ++i) {
            const SExpect& e = expects[i];
            std::string name = e.strName;
            if (e.IsFolder())
                name.pop_back(); // 7-Zip shows folders without their slash
            auto has = [&](const std::string& kv) {
                return std::find(blocks[i].begin(), blocks[i].end(), kv) != blocks[i].end();
            };
            EXPECT_TRUE(has("Path = " + name)) << e.strName;
            EXPECT_TRUE(has("Size = " + std::to_string(e.qwSize))) << e.strName;
            EXPECT_TRUE(has(std::string("Folder = ") + (e.IsFolder() ? "+" : "-"))) << e.strName;
            EXPECT_TRUE(
                has(e.bStored || e.IsFolder() ? "Method = Store" : "Method = Deflate:Maximum"))
                << e.strName;
        }
    }

    static void CheckPython(const std::string& archive, const std::vector<SExpect>& expects) {
        const std::string manifest = archive + ".manifest";
        {
            std::ofstream m(manifest, std::ios::binary);
            for (const SExpect& e : expects)
                m << Hex(e.strName) << '\t' << (e.IsFolder() ? "folder" : "file") << '\t'
                  << (e.bStored || e.IsFolder() ? 0 : 8) << '\t' << e.qwSize << '\t' << e.dwExternal
                  << '\t' << e.strSource << '\n';
        }
        const SRun r = RunTool("python3 " + Quote(ZIP_PEER_SCRIPT) + " " + Quote(archive) + " " +
                               Quote(manifest));
        EXPECT_EQ(r.nStatus, 0) << r.strOut;
    }

    // Lists with sizes; when bExtract, also extracts and compares every file.
    static void CheckBsdtar(const std::string& archive, const std::vector<SExpect>& expects,
                            bool bExtract) {
        const SRun t = RunTool("TZ=UTC bsdtar -tvf " + Quote(archive));
        EXPECT_EQ(t.nStatus, 0) << t.strOut;
        for (const SExpect& e : expects)
            EXPECT_TRUE(HasLine(t.strOut, " " + std::to_string(e.qwSize) + " ", " " + e.strName))
                << e.strName << "\n"
                << t.strOut;
        if (!bExtract)
            return;
        const std::string out = archive + ".extracted";
        fs::create_directories(out);
        const SRun x = RunTool("bsdtar -xf " + Quote(archive) + " -C " + Quote(out));
        EXPECT_EQ(x.nStatus, 0) << x.strOut;
        for (const SExpect& e : expects) {
            const fs::path got = fs::path(out) / e.strName;
            if (e.IsFolder()) {
                EXPECT_TRUE(fs::is_directory(got)) << e.strName;
                continue;
            }
            std::ifstream a(got, std::ios::binary), b(e.strSource, std::ios::binary);
            std::stringstream sa, sb;
            sa << a.rdbuf();
            sb << b.rdbuf();
            EXPECT_TRUE(sa.str() == sb.str())
                << "bsdtar extracted different bytes for " << e.strName;
        }
    }

    static void CheckAll(const std::string& archive, const std::vector<SExpect>& expects,
                         bool bExtract) {
        CheckUnzip(archive, expects);
        Check7z(archive, expects);
        CheckPython(archive, expects);
        CheckBsdtar(archive, expects, bExtract);
    }
};

fs::path ZipPeerTest::s_dir;
std::string ZipPeerTest::s_7z;

SExpect File(const std::string& name, const std::string& source, bool bStored = false) {
    return SExpect{name, source, fs::file_size(source), bStored};
}

SExpect Folder(const std::string& name) {
    return SExpect{name, "", 0, false, 0x41C00010};
}

SExpect WithAttributes(SExpect e, uint32_t dwExternal) {
    e.dwExternal = dwExternal;
    return e;
}

} // namespace

TEST_F(ZipPeerTest, EveryEntryKind) {
    std::string program(4096, '\0');
    program[0] = 'M';
    program[1] = 'Z';
    program[0x3C] = static_cast<char>(0x80);
    program[0x80] = 'P';
    program[0x81] = 'E';
    const std::string text = WriteFile("kinds/Report.txt", MakeText(200000));
    const std::string zipped = WriteFile("kinds/DATA.ZIP", MakeNoise(30000));
    const std::string empty = WriteFile("kinds/empty.log", "");
    const std::string ini = WriteFile("kinds/settings.ini", "[Tech]\r\nDark=1\r\n");
    const std::string accent = WriteFile("kinds/r\xC3\xA9glages \xCE\xA9.txt", "caf\xC3\xA9\r\n");
    const std::string trace = WriteFile("kinds/trace.dat", MakeNoise(5000, 4));
    const std::string dup1 = WriteFile("kinds/dup1", "first");
    const std::string dup2 = WriteFile("kinds/dup2", "second");
    const std::string exe = WriteFile("kinds/tool.exe", program);
    const std::string setup = WriteFile("kinds/setup.dat", program);
    ::chmod(ini.c_str(), 0444);
    const struct timespec times[2] = {{1433166337, 0}, {1433166337, 0}}; // 13:45:37 UTC
    ::utimensat(AT_FDCWD, text.c_str(), times, 0);

    const std::vector<SExpect> expects = {
        File("Report.txt", text),
        File("DATA.ZIP", zipped, true),
        Folder("Thumbnails/"),
        File("empty.log", empty),
        WithAttributes(File("settings.ini", ini), 0x81000001),
        File("r\xC3\xA9glages \xCE\xA9.txt", accent),
        File("Oscillos/S1/trace.dat", trace),
        File("dup.txt", dup1),
        File("dup.txt", dup2),
        WithAttributes(File("tool.exe", exe), 0x81C00000),
        WithAttributes(File("setup.dat", setup), 0x81C00000),
    };
    const std::vector<std::wstring> names = {L"Report.txt",
                                             L"DATA.ZIP",
                                             L"Thumbnails",
                                             L"empty.log",
                                             L"settings.ini",
                                             L"r\u00E9glages \u03A9.txt",
                                             L"Oscillos\\S1\\trace.dat",
                                             L"dup.txt",
                                             L"dup.txt",
                                             L"tool.exe",
                                             L"setup.dat"};
    const std::string archive = Build("kinds.zip", expects, names);
    CheckAll(archive, expects, false);

    // Times and modes as the readers show them.
    const SRun z = RunTool("TZ=UTC zipinfo " + Quote(archive));
    EXPECT_TRUE(HasLine(z.strOut, " 15-Jun-01 13:45 ", " Report.txt")) << z.strOut;
    EXPECT_TRUE(HasLine(z.strOut, "-r----- ", " settings.ini")) << z.strOut;
    // Info-ZIP shows modes of Windows archives from the DOS bits and the name
    // (an .exe gets x); the Unix mode bits are checked through Python above.
    EXPECT_TRUE(HasLine(z.strOut, "-rwx--- ", " tool.exe")) << z.strOut;
    EXPECT_TRUE(HasLine(z.strOut, "drwx--- ", " Thumbnails/")) << z.strOut;
}

TEST_F(ZipPeerTest, EmptyArchive) {
    CheckAll(Build("empty.zip", {}, {}), {}, false);
}

TEST_F(ZipPeerTest, TwoThousandSmallFiles) {
    std::vector<SExpect> expects = {Folder("Settings/"), Folder("Icons/")};
    std::vector<std::wstring> names = {L"Settings", L"Icons\\"};
    for (int i = 0; i < 2000; ++i) {
        char stem[32];
        std::snprintf(stem, sizeof stem, "%04d", i);
        if (i % 2) {
            const std::string path =
                WriteFile(std::string("many/dev") + stem + ".ini", MakeText(200 + i % 1800, i));
            expects.push_back(File(std::string("Settings/dev") + stem + ".ini", path));
            names.push_back(L"Settings\\dev" + Utf8ToWide(stem) + L".ini");
        } else {
            std::string bmp = "BM" + std::string(52, '\0');
            for (int p = 0; p < 24 * 24 * 3; ++p)
                bmp.push_back(static_cast<char>((p / 3 * (i + 1) + (p % 7)) & 0xFF));
            const std::string path = WriteFile(std::string("many/img") + stem + ".bmp", bmp);
            expects.push_back(File(std::string("Icons/img") + stem + ".bmp", path));
            names.push_back(L"Icons\\img" + Utf8ToWide(stem) + L".bmp");
        }
    }
    CheckAll(Build("many.zip", expects, names), expects, true);
}

// 100 MB: logs interleaved with incompressible stretches, so both the deflate
// and the stored-block paths of the compressor are crossed many times.
TEST_F(ZipPeerTest, HundredMegabyteFile) {
    const std::string text = MakeText(1 << 20, 11);
    const std::string noise = MakeNoise(1 << 20, 11);
    const std::string path = PathOf("big/Acquisition.log");
    fs::create_directories(fs::path(path).parent_path());
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 100; ++i) {
            std::string chunk = i % 4 == 3 ? noise : text;
            const std::string mark = "chunk " + std::to_string(i) + "\r\n";
            chunk.replace(0, mark.size(), mark);
            out.write(chunk.data(), chunk.size());
        }
    }
    const std::vector<SExpect> expects = {File("Acquisition.log", path)};
    CheckAll(Build("big.zip", expects, {L"Acquisition.log"}), expects, true);
}

// Around the chunk size: one byte short, exactly one and two chunks (the last
// chunk is full, the end shows only at the next read), one byte over, and an
// incompressible run across a cut.
TEST_F(ZipPeerTest, FilesAroundTheChunkSize) {
    const size_t c = zip::kDeflateChunkSize;
    struct {
        const char* name;
        std::string data;
    } const kFiles[] = {
        {"short.log", MakeText(c - 1, 1)},
        {"one.log", MakeText(c, 2)},
        {"two.log", MakeText(2 * c, 3)},
        {"over.log", MakeText(c + 1, 4)},
        {"mixed.log", MakeText(c - 1000, 5) + MakeNoise(c + 3000, 5) + MakeText(c, 6)},
    };
    std::vector<SExpect> expects;
    std::vector<std::wstring> names;
    for (const auto& f : kFiles) {
        expects.push_back(File(f.name, WriteFile(std::string("edges/") + f.name, f.data)));
        names.push_back(Utf8ToWide(f.name));
    }
    CheckAll(Build("edges.zip", expects, names), expects, true);
}

// The kinds of files a support archive holds, and one large file: 1, 2, 3 and
// 8 workers write the same bytes, and the readers accept them.
TEST_F(ZipPeerTest, SameArchiveForEveryWorkerCount) {
    bench::CStillTimes still;
    std::vector<SExpect> expects;
    std::vector<std::wstring> names;
    auto add = [&](const std::string& name, const std::string& data, bool bStored = false) {
        expects.push_back(File(name, WriteFile("set/" + name, data), bStored));
        names.push_back(Utf8ToWide(name));
    };
    for (int i = 0; i < 2; ++i) {
        add("Logs/Acquisition" + std::to_string(i) + ".log", bench::MakeLog(1500000 + i, 10 + i));
        add("Images/Image" + std::to_string(i) + ".raw", bench::MakeRawImage(640, 480, 20 + i));
    }
    for (int i = 0; i < 40; ++i) {
        add("Settings/Device" + std::to_string(i) + ".ini", bench::MakeIni(30 + i));
        add("Thumbs/Thumb" + std::to_string(i) + ".bmp", bench::MakeBmp(64, 48, 40 + i));
    }
    add("Archives/Old.log.gz", bench::MakeGzip(300000, 50), true);

    const std::string reference = ReadAll(Build("set1.zip", expects, names, 1, still));
    for (unsigned n : {2u, 3u, 8u}) {
        const std::string archive = "set" + std::to_string(n) + ".zip";
        EXPECT_TRUE(ReadAll(Build(archive, expects, names, n, still)) == reference)
            << n << " workers";
    }
    CheckAll(PathOf("set2.zip"), expects, true);

    // 300 MiB made quickly: log lines repeated with changes every 700 bytes
    // (long matches, across every cut), and a MiB of noise every 32 MiB.
    const std::string path = PathOf("large/Acquisition.log");
    fs::create_directories(fs::path(path).parent_path());
    {
        const std::string lines = MakeText(10000, 12);
        const std::string noise = MakeNoise(1 << 20, 12);
        std::ofstream out(path, std::ios::binary);
        std::string piece;
        for (unsigned i = 0; i < 300; ++i) {
            if (i % 32 == 31) {
                out.write(noise.data(), noise.size());
                continue;
            }
            piece.clear();
            while (piece.size() < (1u << 20))
                piece += lines;
            piece.resize(1 << 20);
            for (size_t j = 0; j < piece.size(); j += 700)
                piece[j] = static_cast<char>(i * 7 + j);
            out.write(piece.data(), piece.size());
        }
    }
    const std::vector<SExpect> large = {File("Acquisition.log", path)};
    const std::vector<std::wstring> largeName = {L"Acquisition.log"};
    const std::string largeReference = ReadAll(Build("large1.zip", large, largeName, 1, still));
    for (unsigned n : {2u, 3u, 8u}) {
        const std::string archive = "large" + std::to_string(n) + ".zip";
        EXPECT_TRUE(ReadAll(Build(archive, large, largeName, n, still)) == largeReference)
            << n << " workers";
    }
    const SRun t = RunTool("unzip -tq " + Quote(PathOf("large8.zip")));
    EXPECT_EQ(t.nStatus, 0) << t.strOut;
    EXPECT_NE(t.strOut.find("No errors detected"), std::string::npos) << t.strOut;
}

namespace {

// The POSIX adapter with an output that drops writes while told to fail.
class CFlakyFileSystem final : public zip::IZipFileSystem {
public:
    bool m_bFailing = false;

    std::unique_ptr<zip::IZipOutput> CreateOutput(const std::wstring& path) override {
        return std::make_unique<COutput>(zip::PlatformFileSystem().CreateOutput(path), this);
    }
    std::unique_ptr<zip::IZipSource> OpenSource(const std::wstring& path,
                                                zip::SZipSourceInfo* pInfo) override {
        return zip::PlatformFileSystem().OpenSource(path, pInfo);
    }
    zip::SCivilTime LocalNow() override { return zip::PlatformFileSystem().LocalNow(); }

private:
    class COutput final : public zip::IZipOutput {
    public:
        COutput(std::unique_ptr<zip::IZipOutput> p, CFlakyFileSystem* pFs)
            : m_p(std::move(p)), m_pFs(pFs) {}
        bool Write(const void* pData, size_t cb) override {
            if (m_pFs->m_bFailing) {
                m_p->Write(pData, cb / 2); // half of it lands, as on a full disk
                return false;
            }
            return m_p->Write(pData, cb);
        }
        bool Seek(uint64_t qw) override { return m_p->Seek(qw); }
        bool Truncate() override { return m_p->Truncate(); }
        bool Close() override { return m_p->Close(); }

    private:
        std::unique_ptr<zip::IZipOutput> m_p;
        CFlakyFileSystem* m_pFs;
    };
};

} // namespace

// A write failure in the middle of a large entry leaves it out; once the
// output works again the archive closes valid for every reader. The entry
// before it is larger than a chunk, so it is written before its add returns.
TEST_F(ZipPeerTest, ArchiveAfterAFailedEntry) {
    const std::string one = WriteFile("flaky/one.txt", MakeText(200000, 1));
    const std::string two = WriteFile("flaky/two.txt", MakeText(500000, 2));
    const std::string three = WriteFile("flaky/three.txt", MakeText(20000, 3));
    CFlakyFileSystem flaky;
    const std::string archive = PathOf("flaky.zip");
    HZIP h = ZipWriterCreateOn(flaky, Utf8ToWide(archive).c_str());
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ZipWriterAddFile(h, L"one.txt", Utf8ToWide(one).c_str()), kZipOk);
    flaky.m_bFailing = true;
    EXPECT_EQ(ZipWriterAddFile(h, L"two.txt", Utf8ToWide(two).c_str()), kZipWriteFailed);
    flaky.m_bFailing = false;
    ASSERT_EQ(ZipWriterAddFile(h, L"three.txt", Utf8ToWide(three).c_str()), kZipOk);
    ASSERT_EQ(ZipWriterClose(h), kZipOk);
    CheckAll(archive, {File("one.txt", one), File("three.txt", three)}, true);
}

// The largest entry count the format holds without ZIP64 is read as it is.
TEST_F(ZipPeerTest, MaximumEntryCount) {
    const std::string archive = PathOf("max.zip");
    HZIP h = ZipWriterCreate(Utf8ToWide(archive).c_str());
    ASSERT_NE(h, nullptr);
    std::vector<SExpect> expects;
    for (unsigned i = 0; i < 65535; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "d%05u", i);
        ASSERT_EQ(ZipWriterAddFolder(h, Utf8ToWide(name).c_str()), kZipOk);
        expects.push_back(Folder(std::string(name) + "/"));
    }
    EXPECT_EQ(ZipWriterAddFolder(h, L"one too many"), kZipWriteFailed);
    ASSERT_EQ(ZipWriterClose(h), kZipOk);

    const SRun t = RunTool("unzip -tq " + Quote(archive));
    EXPECT_EQ(t.nStatus, 0) << t.strOut;
    const SRun s = RunTool(s_7z + " t " + Quote(archive));
    EXPECT_NE(s.strOut.find("Folders: 65535"), std::string::npos) << s.strOut;
    CheckPython(archive, expects);
    const SRun b = RunTool("bsdtar -tf " + Quote(archive) + " | wc -l");
    EXPECT_EQ(b.strOut, "65535\n");
}
