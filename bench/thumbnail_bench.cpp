// Times the thumbnail builder against the first algorithm (every index file
// re-read for every sensor-log line) on a large generated practice: a sensor
// log of 10,000 usable lines and 20 yearly index files of 2,500 lines each,
// on real files. Checks that both give the same page, the same copies in the
// same order and the same table, and reports medians and their ratio.
// Usage: thumbnail_bench [repetitions] [reference log lines (all)] [work folder]
#include "archive_contents.h"
#include "thumbnail_reference.h"
#include "utf16.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace ostrel;
namespace fs = std::filesystem;

namespace {

constexpr int kYears = 20;
constexpr int kFirstYear = 2000;
constexpr int kIndexLines = 2500;
constexpr int kLogLines = 10000;
constexpr int kPatients = 200;
constexpr int kImagesPerPatient = 10;

// Windows paths of the algorithm ("C:\x\y") on the host's files: the root
// folder stands for the drive, backslashes for slashes.
class CHostFiles : public ICollectionFiles, public ITextFiles, public IReportFileOps {
public:
    explicit CHostFiles(fs::path root) : m_root(std::move(root)) {}
    std::string Host(const std::wstring& path) const {
        std::string p = WideToUtf8(path.size() > 2 && path[1] == L':' ? path.substr(2) : path);
        std::replace(p.begin(), p.end(), '\\', '/');
        return m_root.string() + p;
    }
    std::vector<SFindEntry> FindEntries(const std::wstring&) override { return {}; }
    bool CopyNoOverwrite(const std::wstring& source, const std::wstring& destination) override {
        std::ifstream in(Host(source), std::ios::binary);
        if (!in)
            return false;
        const int fd = ::open(Host(destination).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0)
            return false;
        char buffer[65536];
        bool ok = true;
        while (in) {
            in.read(buffer, sizeof buffer);
            const auto n = in.gcount();
            if (n > 0 && ::write(fd, buffer, static_cast<size_t>(n)) != n)
                ok = false;
        }
        ::close(fd);
        if (ok)
            m_copied.push_back(Host(destination).substr(m_root.string().size()));
        return ok;
    }
    std::vector<std::string> m_copied; // successful copies, in order
    bool PathExists(const std::wstring& path) override {
        return ::access(Host(path).c_str(), F_OK) == 0;
    }
    bool CanOpenForReadShareRead(const std::wstring& path) override {
        struct stat st {};
        return ::stat(Host(path).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
               ::access(Host(path).c_str(), R_OK) == 0;
    }
    EProbeCreate CreateProbe(const std::wstring&) override { return EProbeCreate::Failed; }
    bool RemoveFile(const std::wstring&) override { return false; }
    bool VersionText(const std::wstring&, std::wstring&) override { return false; }

    bool ReadLines(const std::wstring& path, std::vector<std::wstring>& lines) override {
        lines.clear();
        std::ifstream in(Host(path));
        if (!in)
            return false;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.emplace_back(line.begin(), line.end()); // ASCII
        }
        return true;
    }

    bool CreateTruncate(const std::wstring& path) override {
        std::ofstream out(Host(path), std::ios::binary | std::ios::trunc);
        return static_cast<bool>(out);
    }
    bool AppendExisting(const std::wstring& path, const std::string& bytes) override {
        std::ofstream out(Host(path), std::ios::binary | std::ios::app);
        out << bytes;
        return static_cast<bool>(out);
    }

private:
    fs::path m_root;
};

class CNoRows : public IScanSteps {
public:
    int ExecuteStep(const SStepRow&) override { return 0; }
    void ReportLine(const std::wstring&) override {}
};

std::string Two(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

void Generate(const fs::path& root) {
    std::mt19937 rng(20150312);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const fs::path images = root / "VARNIK" / "Images";
    for (int p = 1; p <= kPatients; ++p) {
        fs::create_directories(images / std::to_string(p));
        for (int i = 1; i <= kImagesPerPatient; ++i)
            std::ofstream(images / std::to_string(p) / (std::to_string(i) + ".SPV"))
                << "SPV preview " << p << "/" << i << "\n";
    }
    for (int y = 0; y < kYears; ++y) {
        std::vector<std::string> lines;
        for (int n = 0; n < kIndexLines; ++n) {
            const int patient = pick(1, kPatients);
            lines.push_back(Two(pick(1, 12)) + Two(pick(1, 28)) + "-" + Two(pick(8, 18)) +
                            Two(pick(0, 59)) + ";" + std::to_string(patient) +
                            ";PATIENT;TII;C:\\VARNIK\\Images\\" + std::to_string(patient) + "\\" +
                            std::to_string(pick(1, kImagesPerPatient + 2)));
        }
        std::sort(lines.begin(), lines.end());
        std::ofstream out(images / ("ACQ" + std::to_string(kFirstYear + y) + ".idx"));
        for (const auto& line : lines)
            out << line << "\r\n";
    }
    std::ofstream log(root / "BTESSEL_II.Log");
    for (int n = 0; n < kLogLines; ++n)
        log << kFirstYear + pick(0, kYears - 1) << "-" << Two(pick(1, 12)) << "-"
            << Two(pick(1, 28)) << " " << Two(pick(8, 18)) << ":" << Two(pick(0, 59)) << ":"
            << Two(pick(0, 59)) << " Sensor T2-04411: acquisition " << (n % 9 ? "OK" : "timeout")
            << "\r\n";
}

struct SOutcome {
    bool m_bFound = false;
    ThumbnailTable m_table;
    std::string m_strPage;
    std::vector<std::string> m_copies; // every successful copy, in order
    double m_dSeconds = 0;
};

template <typename Build> SOutcome Run(const fs::path& root, const std::string& work, Build build) {
    fs::remove_all(root / work);
    fs::create_directories(root / work / "Thumbnails");
    CHostFiles files(root);
    CNoRows rows;
    const SThumbnailPorts ports{rows, files, files, files};
    SOutcome outcome;
    const auto start = std::chrono::steady_clock::now();
    outcome.m_bFound =
        build(ports, L"C:\\" + std::wstring(work.begin(), work.end()), outcome.m_table);
    outcome.m_dSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ifstream page(root / work / "Thumbnails" / "List.html", std::ios::binary);
    outcome.m_strPage.assign(std::istreambuf_iterator<char>(page), {});
    // Destinations below the work folder, so both runs compare.
    for (const auto& path : files.m_copied)
        outcome.m_copies.push_back(path.substr(work.size() + 1));
    return outcome;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int referenceLines = argc > 2 ? std::atoi(argv[2]) : 0; // 0: the whole log
    // In memory by default, so that both builders are timed, not the disk.
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path root = argc > 3 ? fs::path(argv[3]) : base / "thumbnail_bench";
    fs::remove_all(root);
    fs::create_directories(root);
    Generate(root);
    const std::wstring log = L"C:\\BTESSEL_II.Log";
    const std::wstring images = L"C:\\VARNIK\\Images\\";
    const int lastYear = kFirstYear + kYears - 1;
    std::wstring referenceLog = log;
    if (referenceLines > 0) {
        // A prefix of the log, for a quicker look; the fast builder gets the same.
        std::ifstream in(root / "BTESSEL_II.Log");
        std::ofstream out(root / "part.Log");
        std::string line;
        for (int n = 0; n < referenceLines && std::getline(in, line); ++n)
            out << line << "\n";
        referenceLog = L"C:\\part.Log";
    }
    std::printf("practice: %d index files of %d lines, sensor log of %d lines (%s)\n", kYears,
                kIndexLines, referenceLines > 0 ? referenceLines : kLogLines,
                root.string().c_str());

    std::vector<double> fast;
    SOutcome first;
    for (int r = 0; r < repetitions; ++r) {
        SOutcome o =
            Run(root, "fast",
                [&](const SThumbnailPorts& p, const std::wstring& work, ThumbnailTable& t) {
                    return BuildThumbnailsFromLog(p, work, lastYear, referenceLog, images, t);
                });
        fast.push_back(o.m_dSeconds);
        if (r == 0)
            first = std::move(o);
    }
    std::printf("fast builder:      median %.4f s over %d runs\n", Median(fast), repetitions);
    const SOutcome slow = Run(
        root, "reference",
        [&](const SThumbnailPorts& p, const std::wstring& work, ThumbnailTable& t) {
            return reference::BuildThumbnailsFromLog(p, work, lastYear, referenceLog, images, t);
        });
    std::printf("reference builder: %.2f s (one run)\n", slow.m_dSeconds);
    const bool same = first.m_bFound == slow.m_bFound && first.m_table == slow.m_table &&
                      first.m_strPage == slow.m_strPage && first.m_copies == slow.m_copies;
    std::printf("outputs: %s (page %zu bytes, %zu files copied)\n",
                same ? "identical" : "DIFFERENT", first.m_strPage.size(), first.m_copies.size());
    std::printf("ratio: %.0fx faster\n", slow.m_dSeconds / Median(fast));
    fs::remove_all(root);
    return same ? 0 : 1;
}
