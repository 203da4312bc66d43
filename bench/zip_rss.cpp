// Peak resident size while the writer archives one 1 GiB source (logs
// interleaved with incompressible stretches), once per worker count, each in a
// child process of its own so that every peak is measured alone.
// Usage: zip_rss [work folder] [worker counts...]   (default: 1 2 8)
// Exits with 1 when any peak reaches 64 MiB or any archive fails.
#include "bench_data.h"
#include "utf16.h"
#include "zip_writer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace ostrel;
namespace fs = std::filesystem;

namespace {

constexpr long kLimitKiB = 64 * 1024;

// Runs in the child: archives the source and exits 0 when both calls succeed.
int Archive(const fs::path& source, const fs::path& archive, unsigned nWorkers) {
    SZipWriterOptions options;
    options.nWorkers = nWorkers;
    zip::IZipFileSystem& pfs = zip::PlatformFileSystem();
    std::unique_ptr<zip::IZipOutput> pOutput = pfs.CreateOutput(Utf8ToWide(archive.string()));
    if (!pOutput)
        return 1;
    HZIP h = new CZipWriter(pfs, std::move(pOutput), options);
    const int nAdd = ZipWriterAddFile(h, L"Huge.log", Utf8ToWide(source.string()).c_str());
    const int nClose = ZipWriterClose(h);
    if (nAdd != kZipOk || nClose != kZipOk)
        std::fprintf(stderr, "add 0x%X, close 0x%X\n", nAdd, nClose);
    return nAdd == kZipOk && nClose == kZipOk ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const bool bKeep = argc > 1;
    const fs::path work =
        bKeep ? fs::path(argv[1])
              : fs::temp_directory_path() / ("ostrel_zip_rss_" + std::to_string(::getpid()));
    std::vector<unsigned> workers;
    for (int i = 2; i < argc; ++i)
        workers.push_back(static_cast<unsigned>(std::atoi(argv[i])));
    if (workers.empty())
        workers = {1, 2, 8};
    fs::create_directories(work);
    const fs::path source = work / "Huge.log", archive = work / "huge.zip";
    if (!fs::exists(source) || fs::file_size(source) != (1ull << 30)) {
        // Written in 1 MiB pieces so that generating it does not raise the peak.
        FILE* f = std::fopen(source.c_str(), "wb");
        if (!f)
            return 1;
        for (int i = 0; i < 1024; ++i) {
            const std::string piece = i % 4 == 3 ? bench::MakeGzip(1 << 20, i).substr(0, 1 << 20)
                                                 : bench::MakeLog(1 << 20, i);
            std::fwrite(piece.data(), 1, piece.size(), f);
        }
        std::fclose(f);
    }

    bool bOk = true;
    for (unsigned n : workers) {
        std::fflush(stdout);
        const auto t0 = std::chrono::steady_clock::now();
        const pid_t pid = ::fork();
        if (pid == 0)
            ::_exit(Archive(source, archive, n));
        int status = 0;
        struct rusage ru {};
        if (pid < 0 || ::wait4(pid, &status, 0, &ru) != pid)
            return 1;
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec +
                           ru.ru_stime.tv_usec / 1e6;
        const bool bGood = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        std::printf("%u worker%s: source %llu bytes, archive %llu bytes, %s, %.1f s (cpu %.1f s), "
                    "peak resident size %.1f MiB\n",
                    n, n == 1 ? "" : "s", static_cast<unsigned long long>(fs::file_size(source)),
                    static_cast<unsigned long long>(fs::file_size(archive)),
                    bGood ? "ok" : "FAILED", s, cpu, ru.ru_maxrss / 1024.0);
        bOk = bOk && bGood && ru.ru_maxrss < kLimitKiB;
    }
    if (!bKeep)
        fs::remove_all(work);
    return bOk ? 0 : 1;
}
