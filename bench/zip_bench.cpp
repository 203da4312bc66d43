// Times the archive writer against Info-ZIP's zip -8 and a bare zlib pass
// (raw deflate at level 8 plus CRC-32 in 16 KiB blocks, nothing written) over
// the same generated support set, and reports medians, ratios and sizes.
// Usage: zip_bench [repetitions] [work folder]
#include "bench_data.h"
#include "utf16.h"
#include "zip_format.h"
#include "zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

double RunWriter(const std::vector<SFile>& files, const fs::path& out) {
    const auto t0 = std::chrono::steady_clock::now();
    HZIP h = ZipWriterCreate(Utf8ToWide(out.string()).c_str());
    if (!h) {
        std::fprintf(stderr, "cannot create %s\n", out.c_str());
        std::exit(1);
    }
    for (const SFile& f : files) {
        const std::wstring name = Utf8ToWide(f.strEntry);
        const int n = f.bFolder
                          ? ZipWriterAddFolder(h, name.c_str())
                          : ZipWriterAddFile(h, name.c_str(), Utf8ToWide(f.path.string()).c_str());
        if (n != kZipOk) {
            std::fprintf(stderr, "add %s: 0x%X\n", f.strEntry.c_str(), n);
            std::exit(1);
        }
    }
    if (ZipWriterClose(h) != kZipOk) {
        std::fprintf(stderr, "close failed\n");
        std::exit(1);
    }
    return Seconds(t0);
}

double RunInfoZip(const fs::path& set, const fs::path& out) {
    fs::remove(out); // zip would otherwise update the old archive
    const std::string cmd = "cd '" + set.string() + "' && zip -8 -r -q '" + out.string() + "' .";
    const auto t0 = std::chrono::steady_clock::now();
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "zip failed (is the Debian package zip installed?)\n");
        std::exit(1);
    }
    return Seconds(t0);
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
    const fs::path work =
        argc > 2 ? fs::path(argv[2])
                 : fs::temp_directory_path() / ("ostrel_zip_bench_" + std::to_string(::getpid()));
    const fs::path set = work / "set";
    fs::remove_all(work);
    fs::create_directories(set);
    std::printf("generating the support set in %s ...\n", set.c_str());
    const uint64_t qwInput = Generate(set);
    const std::vector<SFile> files = List(set);
    size_t nFiles = 0;
    for (const SFile& f : files)
        nFiles += !f.bFolder;
    std::printf("%zu files, %zu folders, %.1f MB\n", nFiles, files.size() - nFiles, qwInput / 1e6);

    const fs::path ours = work / "writer.zip", theirs = work / "infozip.zip";
    STimes tWriter, tZip, tBare, tBareSame;
    uint64_t qwBare = 0, qwBareSame = 0;
    for (int i = 0; i < reps; ++i) {
        tWriter.Measure([&] { return RunWriter(files, ours); });
        tZip.Measure([&] { return RunInfoZip(set, theirs); });
        tBare.Measure([&] { return RunBareZlib(files, false, &qwBare); });
        tBareSame.Measure([&] { return RunBareZlib(files, true, &qwBareSame); });
        std::printf("run %d wall (cpu): writer %.2f (%.2f) s, zip -8 %.2f (%.2f) s, bare zlib "
                    "%.2f (%.2f) s, same choice %.2f (%.2f) s\n",
                    i + 1, tWriter.wall.back(), tWriter.cpu.back(), tZip.wall.back(),
                    tZip.cpu.back(), tBare.wall.back(), tBare.cpu.back(), tBareSame.wall.back(),
                    tBareSame.cpu.back());
        std::fflush(stdout);
    }
    const uint64_t qwOurs = fs::file_size(ours), qwTheirs = fs::file_size(theirs);
    std::printf("\nmedians of %d runs over %.1f MB, wall (cpu):\n", reps, qwInput / 1e6);
    auto row = [](const char* what, const STimes& t, const char* size, uint64_t qw) {
        std::printf("  %-24s %6.2f s (%6.2f s)   %s %llu bytes\n", what, Median(t.wall),
                    Median(t.cpu), size, static_cast<unsigned long long>(qw));
    };
    row("writer", tWriter, "archive", qwOurs);
    row("zip -8 -r", tZip, "archive", qwTheirs);
    row("bare zlib, all deflated", tBare, "output ", qwBare);
    row("bare zlib, same choice", tBareSame, "output ", qwBareSame);
    auto ratio = [](const char* what, const STimes& a, const STimes& b) {
        std::printf("%-34s = %.3f wall, %.3f cpu\n", what, Median(a.wall) / Median(b.wall),
                    Median(a.cpu) / Median(b.cpu));
    };
    ratio("writer / bare zlib (all deflated)", tWriter, tBare);
    ratio("writer / bare zlib (same choice)", tWriter, tBareSame);
    ratio("writer / zip -8", tWriter, tZip);
    std::printf("archive size writer / zip -8      = %.4f (%+.2f%%)\n", double(qwOurs) / qwTheirs,
                (double(qwOurs) / qwTheirs - 1) * 100);
    if (argc <= 2)
        fs::remove_all(work);
    return 0;
}
