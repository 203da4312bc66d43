// Peak resident size while the writer archives one 1 GiB source (logs
// interleaved with incompressible stretches). Usage: zip_rss [work folder]
#include "bench_data.h"
#include "utf16.h"
#include "zip_writer.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

using namespace ostrel;
namespace fs = std::filesystem;

namespace {

long PeakKiB() {
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    const fs::path work =
        argc > 1 ? fs::path(argv[1])
                 : fs::temp_directory_path() / ("ostrel_zip_rss_" + std::to_string(::getpid()));
    fs::create_directories(work);
    const fs::path source = work / "Huge.log", archive = work / "huge.zip";
    {
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
    const long before = PeakKiB();
    const auto t0 = std::chrono::steady_clock::now();
    HZIP h = ZipWriterCreate(Utf8ToWide(archive.string()).c_str());
    const int nAdd = ZipWriterAddFile(h, L"Huge.log", Utf8ToWide(source.string()).c_str());
    const int nClose = ZipWriterClose(h);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const long after = PeakKiB();
    std::printf("source %llu bytes, archive %llu bytes, add 0x%X, close 0x%X, %.1f s\n",
                static_cast<unsigned long long>(fs::file_size(source)),
                static_cast<unsigned long long>(fs::file_size(archive)), nAdd, nClose, s);
    std::printf("peak resident size: %.1f MiB before the writer ran, %.1f MiB after\n",
                before / 1024.0, after / 1024.0);
    if (argc <= 1)
        fs::remove_all(work);
    return after < 32 * 1024 && nAdd == kZipOk && nClose == kZipOk ? 0 : 1;
}
