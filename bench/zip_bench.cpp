// Times the archive writer with one and with two workers over the generated
// support set, against pigz -8 with one and two threads on a tar of the same
// files, in one run; reports medians (wall and CPU), both speed-up ratios, and
// the archive size against single-stream deflate of every entry (a bare zlib
// pass). Also checks that 1, 2, 3 and 8 workers give the same archive bytes.
// Usage: zip_bench [repetitions] [work folder] [chunk KiB]
// A work folder that holds a complete set from an earlier run is reused.
#include "bench_data.h"
#include "still_times.h"
#include "utf16.h"
#include "zip_format.h"
#include "zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace ostrel;
using namespace ostrel::bench;
namespace fs = std::filesystem;

namespace {

constexpr size_t kBlock = 16 * 1024;

struct SFile {
    fs::path path;
    std::string strEntry; // name inside the archive, slashes
    bool bFolder;
};

uint64_t Generate(const fs::path& set) {
    uint64_t total = 0;
    auto put = [&](const fs::path& p, const std::string& data) {
        fs::create_directories(p.parent_path());
        if (!WriteFile(p.string(), data)) {
            std::fprintf(stderr, "cannot write %s\n", p.c_str());
            std::exit(1);
        }
        total += data.size();
    };
    // Logs: about 42 MB.
    for (int i = 0; i < 12; ++i)
        put(set / "Logs" / ("Acquisition" + std::to_string(i) + ".log"),
            MakeLog(3500000 + i * 1000, 100 + i));
    put(set / "Report.txt", MakeLog(400000, 7));
    // Raw sensor images, 1300 x 1696 x 16 bits: about 88 MB.
    for (int i = 0; i < 20; ++i)
        put(set / "Images" / ("Image" + std::to_string(i) + ".raw"),
            MakeRawImage(1300, 1696, 200 + i));
    // 2,000 small files: settings and thumbnails, about 11 MB.
    for (int i = 0; i < 1000; ++i) {
        put(set / "Settings" / ("Device" + std::to_string(i) + ".ini"), MakeIni(300 + i));
        put(set / "Thumbs" / ("Thumb" + std::to_string(i) + ".bmp"), MakeBmp(64, 48, 400 + i));
    }
    // Already compressed: 10 MB of rotated, gzipped logs.
    for (int i = 0; i < 5; ++i)
        put(set / "Archives" / ("Old" + std::to_string(i) + ".log.gz"), MakeGzip(2 << 20, 500 + i));
    return total;
}

std::vector<SFile> List(const fs::path& set) {
    std::vector<SFile> files;
    for (auto& e : fs::recursive_directory_iterator(set)) {
        std::string rel = fs::relative(e.path(), set).generic_string();
        files.push_back({e.path(), rel, e.is_directory()});
    }
    std::sort(files.begin(), files.end(),
              [](const SFile& a, const SFile& b) { return a.strEntry < b.strEntry; });
    return files;
}

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// CPU seconds (user + system) of this process and its waited-for children: on
// a machine shared with other work, CPU time varies less than wall time.
double CpuSeconds() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        struct rusage ru;
        getrusage(who, &ru);
        total += ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec +
                 ru.ru_stime.tv_usec / 1e6;
    }
    return total;
}

struct STimes {
    std::vector<double> wall, cpu;
    template <typename F> void Measure(F&& fn) {
        const double c0 = CpuSeconds();
        wall.push_back(fn());
        cpu.push_back(CpuSeconds() - c0);
    }
};

double ThreadCpuSeconds() {
    struct timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// CPU seconds of the calling thread spent on entries that only it can work on
// (folders, stored files) and on the deflated ones, which workers share.
struct SSerialShare {
    double dSerial = 0, dShared = 0;
};

double RunWriter(const std::vector<SFile>& files, const fs::path& out,
                 const SZipWriterOptions& options, SSerialShare* pShare = nullptr) {
    const auto t0 = std::chrono::steady_clock::now();
    static CStillTimes s_fs;
    zip::IZipFileSystem& pfs = s_fs;
    std::unique_ptr<zip::IZipOutput> pOutput = pfs.CreateOutput(Utf8ToWide(out.string()));
    if (!pOutput) {
        std::fprintf(stderr, "cannot create %s\n", out.c_str());
        std::exit(1);
    }
    HZIP h = new CZipWriter(pfs, std::move(pOutput), options);
    for (const SFile& f : files) {
        const std::wstring name = Utf8ToWide(f.strEntry);
        const double c0 = pShare ? ThreadCpuSeconds() : 0;
        const int n = f.bFolder
                          ? ZipWriterAddFolder(h, name.c_str())
                          : ZipWriterAddFile(h, name.c_str(), Utf8ToWide(f.path.string()).c_str());
        if (n != kZipOk) {
            std::fprintf(stderr, "add %s: 0x%X\n", f.strEntry.c_str(), n);
            std::exit(1);
        }
        if (pShare) {
            const bool bShared = !f.bFolder && !zip::IsStoredName(f.strEntry);
            (bShared ? pShare->dShared : pShare->dSerial) += ThreadCpuSeconds() - c0;
        }
    }
    if (ZipWriterClose(h) != kZipOk) {
        std::fprintf(stderr, "close failed\n");
        std::exit(1);
    }
    return Seconds(t0);
}

double RunPigz(const fs::path& tar, int nThreads, const fs::path& out) {
    const std::string cmd = "pigz -8 -p " + std::to_string(nThreads) + " -c '" + tar.string() +
                            "' > '" + out.string() + "'";
    const auto t0 = std::chrono::steady_clock::now();
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "pigz failed (is the Debian package pigz installed?)\n");
        std::exit(1);
    }
    return Seconds(t0);
}

bool SameBytes(const fs::path& a, const fs::path& b) {
    FILE* fa = std::fopen(a.c_str(), "rb");
    FILE* fb = std::fopen(b.c_str(), "rb");
    bool bSame = fa && fb;
    std::vector<char> ba(1 << 20), bb(1 << 20);
    while (bSame) {
        const size_t na = std::fread(ba.data(), 1, ba.size(), fa);
        const size_t nb = std::fread(bb.data(), 1, bb.size(), fb);
        bSame = na == nb && std::equal(ba.begin(), ba.begin() + na, bb.begin());
        if (!na)
            break;
    }
    if (fa)
        std::fclose(fa);
    if (fb)
        std::fclose(fb);
    return bSame;
}

// Reads every file in 16 KiB blocks, CRC-32 and raw deflate at level 8 into a
// scratch buffer. bSameChoice: store what the writer stores (CRC only).
double RunBareZlib(const std::vector<SFile>& files, bool bSameChoice, uint64_t* pqwOut) {
    std::vector<unsigned char> in(kBlock), out(kBlock);
    z_stream zs{};
    deflateInit2(&zs, 8, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    uint64_t qwOut = 0;
    uLong crcAll = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (const SFile& f : files) {
        if (f.bFolder)
            continue;
        FILE* fp = std::fopen(f.path.c_str(), "rb");
        if (!fp)
            std::exit(1);
        std::setvbuf(fp, nullptr, _IONBF, 0);
        const bool bDeflate = !bSameChoice || !zip::IsStoredName(f.strEntry);
        deflateReset(&zs);
        uLong crc = crc32(0, nullptr, 0);
        for (;;) {
            const size_t n = std::fread(in.data(), 1, kBlock, fp);
            crc = crc32(crc, in.data(), static_cast<uInt>(n));
            if (!bDeflate) {
                qwOut += n;
                if (!n)
                    break;
                continue;
            }
            zs.next_in = in.data();
            zs.avail_in = static_cast<uInt>(n);
            const int flush = n ? Z_NO_FLUSH : Z_FINISH;
            do {
                zs.next_out = out.data();
                zs.avail_out = static_cast<uInt>(kBlock);
                deflate(&zs, flush);
                qwOut += kBlock - zs.avail_out;
            } while (zs.avail_out == 0);
            if (!n)
                break;
        }
        crcAll ^= crc;
        std::fclose(fp);
    }
    const double s = Seconds(t0);
    deflateEnd(&zs);
    *pqwOut = qwOut + (crcAll & 0); // keeps the CRC work observable
    return s;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const bool bKeep = argc > 2;
    const fs::path work =
        bKeep ? fs::path(argv[2])
              : fs::temp_directory_path() / ("ostrel_zip_bench_" + std::to_string(::getpid()));
    SZipWriterOptions options;
    if (argc > 3)
        options.cbChunk = static_cast<size_t>(std::max(1, std::atoi(argv[3]))) * 1024;
    const fs::path set = work / "set", tar = work / "set.tar", done = work / "set.complete";
    uint64_t qwInput = 0;
    if (bKeep && fs::exists(done)) {
        std::printf("reusing the support set in %s\n", set.c_str());
        for (auto& e : fs::recursive_directory_iterator(set))
            qwInput += e.is_regular_file() ? e.file_size() : 0;
    } else {
        fs::remove_all(work);
        fs::create_directories(set);
        std::printf("generating the support set in %s ...\n", set.c_str());
        qwInput = Generate(set);
        const std::string cmd = "tar -cf '" + tar.string() + "' -C '" + set.string() + "' .";
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "tar failed\n");
            return 1;
        }
        WriteFile(done.string(), "");
    }
    const std::vector<SFile> files = List(set);
    size_t nFiles = 0;
    for (const SFile& f : files)
        nFiles += !f.bFolder;
    std::printf("%zu files, %zu folders, %.1f MB, chunks of %zu KiB\n", nFiles,
                files.size() - nFiles, qwInput / 1e6, options.cbChunk / 1024);

    auto workers = [&](unsigned n) {
        SZipWriterOptions o = options;
        o.nWorkers = n;
        return o;
    };
    auto archive = [&](unsigned n) { return work / ("writer" + std::to_string(n) + ".zip"); };
    const fs::path gz1 = work / "pigz1.tar.gz", gz2 = work / "pigz2.tar.gz";
    STimes tOne, tTwo, tPigzOne, tPigzTwo;
    for (int i = 0; i < reps; ++i) {
        tOne.Measure([&] { return RunWriter(files, archive(1), workers(1)); });
        tTwo.Measure([&] { return RunWriter(files, archive(2), workers(2)); });
        tPigzOne.Measure([&] { return RunPigz(tar, 1, gz1); });
        tPigzTwo.Measure([&] { return RunPigz(tar, 2, gz2); });
        std::printf("run %d wall (cpu): writer 1 worker %.2f (%.2f) s, 2 workers %.2f (%.2f) s, "
                    "pigz -p 1 %.2f (%.2f) s, -p 2 %.2f (%.2f) s\n",
                    i + 1, tOne.wall.back(), tOne.cpu.back(), tTwo.wall.back(), tTwo.cpu.back(),
                    tPigzOne.wall.back(), tPigzOne.cpu.back(), tPigzTwo.wall.back(),
                    tPigzTwo.cpu.back());
        std::fflush(stdout);
    }

    // Untimed: the same bytes from every worker count, and the size that one
    // deflate stream per entry would give.
    SSerialShare share;
    RunWriter(files, archive(1), workers(1), &share);
    RunWriter(files, archive(3), workers(3));
    RunWriter(files, archive(8), workers(8));
    bool bSame = true;
    for (unsigned n : {2u, 3u, 8u})
        bSame = SameBytes(archive(1), archive(n)) && bSame;
    uint64_t qwSingleData = 0;
    RunBareZlib(files, true, &qwSingleData);
    uint64_t qwHeaders = zip::kEndRecordSize;
    for (const SFile& f : files) {
        const size_t cbName = f.strEntry.size() + (f.bFolder ? 1 : 0);
        qwHeaders += zip::LocalEntryOverhead(cbName) + zip::CentralEntrySize(cbName);
    }
    const uint64_t qwSingle = qwSingleData + qwHeaders;
    const uint64_t qwOne = fs::file_size(archive(1)), qwTwo = fs::file_size(archive(2));

    std::printf("\nmedians of %d runs over %.1f MB, wall (cpu):\n", reps, qwInput / 1e6);
    auto row = [](const char* what, const STimes& t, uint64_t qw) {
        std::printf("  %-20s %6.2f s (%6.2f s)   %llu bytes\n", what, Median(t.wall), Median(t.cpu),
                    static_cast<unsigned long long>(qw));
    };
    row("writer, 1 worker", tOne, qwOne);
    row("writer, 2 workers", tTwo, qwTwo);
    row("pigz -8 -p 1", tPigzOne, fs::file_size(gz1));
    row("pigz -8 -p 2", tPigzTwo, fs::file_size(gz2));
    const double dWriter = Median(tOne.wall) / Median(tTwo.wall);
    const double dPigz = Median(tPigzOne.wall) / Median(tPigzTwo.wall);
    std::printf("speed-up with two: writer %.3f, pigz %.3f (writer / pigz %.3f)\n", dWriter, dPigz,
                dWriter / dPigz);
    std::printf("cpu with two / with one: writer %.3f, pigz %.3f\n",
                Median(tTwo.cpu) / Median(tOne.cpu), Median(tPigzTwo.cpu) / Median(tPigzOne.cpu));
    std::printf("archive size / one deflate stream per entry (%llu bytes) = %.5f (%+.3f%%)\n",
                static_cast<unsigned long long>(qwSingle), double(qwTwo) / qwSingle,
                (double(qwTwo) / qwSingle - 1) * 100);
    // What two idle cores would allow: the deflated entries' work halved, the rest not.
    const double dAll = share.dSerial + share.dShared;
    std::printf("one worker: %.2f s cpu on stored entries and folders, %.2f s on deflated "
                "entries: two idle cores allow at most %.3f\n",
                share.dSerial, share.dShared, dAll / (share.dSerial + share.dShared / 2));
    std::printf("archives of 1, 2, 3 and 8 workers: %s\n", bSame ? "identical" : "DIFFERENT");
    if (!bKeep)
        fs::remove_all(work);
    return bSame ? 0 : 1;
}
