#include "download_job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <string>
#include <thread>
#include <vector>

using namespace ostrel;

namespace {

// Serves scripted blocks; reads from m_nHoldFrom on are held until the test
// releases them one by one, as a frozen server holds a real one.
struct SServer {
    bool m_bOpens = true;
    uint64_t m_nSize = 0;
    std::vector<std::string> m_blocks;
    int m_nFailAt = -1;   // read index that fails
    int m_nHoldFrom = -1; // first read index that is held

    std::mutex m_mutex;
    std::condition_variable m_cv;
    int m_nHeld = -1;     // the read being held
    int m_nReleased = -1; // reads up to this one may go on
    int m_nReads = 0;

    void WaitHeld(int index) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [&] { return m_nHeld == index; });
    }
    void Release(int index) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nReleased = index;
        m_cv.notify_all();
    }
    void ReleaseAll() { Release(1 << 30); }
};

class CFakeSource : public IInstallerSource {
public:
    explicit CFakeSource(SServer& server) : m_server(server) {}
    bool Open(uint64_t& size) override {
        size = m_server.m_nSize;
        return m_server.m_bOpens;
    }
    bool Read(void* pBuffer, size_t nMax, size_t& nGot) override {
        std::unique_lock<std::mutex> lock(m_server.m_mutex);
        const int index = m_server.m_nReads++;
        if (m_server.m_nHoldFrom >= 0 && index >= m_server.m_nHoldFrom) {
            m_server.m_nHeld = index;
            m_server.m_cv.notify_all();
            m_server.m_cv.wait(lock, [&] { return m_server.m_nReleased >= index; });
        }
        if (index == m_server.m_nFailAt)
            return false;
        nGot = 0;
        if (index < static_cast<int>(m_server.m_blocks.size())) {
            const std::string& block = m_server.m_blocks[index];
            nGot = block.size() < nMax ? block.size() : nMax;
            block.copy(static_cast<char*>(pBuffer), nGot);
        }
        return true;
    }

private:
    SServer& m_server;
};

struct SFile {
    bool m_bExists = false;
    bool m_bOpen = false;
    bool m_bCreateFails = false;
    std::string m_data;
    int m_nWritesWhileClosed = 0;
};

class CFakeSink : public IInstallerSink {
public:
    explicit CFakeSink(SFile& file) : m_file(file) {}
    bool Create() override {
        if (m_file.m_bCreateFails)
            return false;
        m_file = SFile{true, true, false, "", 0};
        return true;
    }
    bool Write(const void* pData, size_t nSize) override {
        if (!m_file.m_bOpen)
            ++m_file.m_nWritesWhileClosed;
        m_file.m_data.append(static_cast<const char*>(pData), nSize);
        return true;
    }
    void Close() override { m_file.m_bOpen = false; }
    void Remove() override {
        m_file.m_bOpen = false;
        m_file.m_bExists = false;
        m_file.m_data.clear();
    }

private:
    SFile& m_file;
};

std::unique_ptr<CDownloadJob> MakeJob(SServer& server, SFile& file) {
    return std::make_unique<CDownloadJob>(std::make_unique<CFakeSource>(server),
                                          std::make_unique<CFakeSink>(file));
}

} // namespace

TEST(DownloadJob, EndsByTheReportedSize) {
    struct Case {
        const char* name;
        uint64_t size;
        std::vector<std::string> blocks;
        int failAt;
        EDownloadState state;
        const char* data; // what stays on disk
    } cases[] = {
        {"whole file", 7, {"abc", "defg"}, -1, EDownloadState::Complete, "abcdefg"},
        {"ends without a final empty read", 3, {"abc"}, -1, EDownloadState::Complete, "abc"},
        {"server closed early", 9, {"abc", "defg"}, -1, EDownloadState::Failed, ""},
        {"more than reported", 5, {"abc", "defg"}, -1, EDownloadState::Failed, ""},
        {"read error", 7, {"abc", "defg"}, 1, EDownloadState::Failed, ""},
    };
    for (const auto& c : cases) {
        SServer server;
        server.m_nSize = c.size;
        server.m_blocks = c.blocks;
        server.m_nFailAt = c.failAt;
        SFile file;
        auto job = MakeJob(server, file);
        job->Run();
        EXPECT_EQ(job->State(), c.state) << c.name;
        EXPECT_FALSE(file.m_bOpen) << c.name;
        EXPECT_EQ(file.m_bExists, c.state == EDownloadState::Complete) << c.name;
        EXPECT_EQ(file.m_data, c.data) << c.name;
        EXPECT_EQ(job->Size(), c.size) << c.name;
    }
}

TEST(DownloadJob, NothingIsCreatedWhenTheServerSideFails) {
    SServer server;
    server.m_bOpens = false;
    SFile file;
    file.m_bExists = true; // an older download stays until a new one starts
    file.m_data = "old";
    auto job = MakeJob(server, file);
    job->Run();
    EXPECT_EQ(job->State(), EDownloadState::Failed);
    EXPECT_EQ(server.m_nReads, 0);
    EXPECT_TRUE(file.m_bExists);
    EXPECT_EQ(file.m_data, "old");

    SServer good;
    good.m_nSize = 3;
    good.m_blocks = {"abc"};
    SFile locked;
    locked.m_bCreateFails = true;
    auto job2 = MakeJob(good, locked);
    job2->Run();
    EXPECT_EQ(job2->State(), EDownloadState::Failed);
    EXPECT_EQ(good.m_nReads, 0);
}

// A download on its worker thread whose reads hang from the second one on.
struct SHeldDownload {
    SServer m_server;
    SFile m_file;
    std::unique_ptr<CDownloadJob> m_pJob;
    std::thread m_worker;

    explicit SHeldDownload(std::vector<std::string> blocks) {
        m_server.m_blocks = blocks;
        for (const auto& b : blocks)
            m_server.m_nSize += b.size();
        m_server.m_nHoldFrom = 1;
        m_pJob = MakeJob(m_server, m_file);
        m_worker = std::thread([this] { m_pJob->Run(); });
        m_server.WaitHeld(1);
    }
    // The frozen reads come back much later; the job must not write then.
    void Finish() {
        m_server.ReleaseAll();
        m_worker.join();
        EXPECT_EQ(m_file.m_nWritesWhileClosed, 0);
    }
};

TEST(DownloadJob, AbortDuringAFrozenReadDeletesAtOnceAndWritesNothingLater) {
    SHeldDownload d({"abc", "def", "ghi"});
    EXPECT_EQ(d.m_pJob->Received(), 3u);
    EXPECT_TRUE(d.m_file.m_bExists);

    EXPECT_EQ(d.m_pJob->Abort(), EDownloadState::Aborted);
    EXPECT_FALSE(d.m_file.m_bExists);
    EXPECT_FALSE(d.m_file.m_bOpen);

    d.Finish();
    EXPECT_EQ(d.m_pJob->State(), EDownloadState::Aborted);
    EXPECT_FALSE(d.m_file.m_bExists);
    EXPECT_EQ(d.m_file.m_data, "");
    EXPECT_EQ(d.m_server.m_nReads, 2) << "no read after the abort";
}

TEST(DownloadJob, AbortAfterTheEndKeepsTheFile) {
    SServer server;
    server.m_nSize = 3;
    server.m_blocks = {"abc"};
    SFile file;
    auto job = MakeJob(server, file);
    job->Run();
    EXPECT_EQ(job->Abort(), EDownloadState::Complete);
    EXPECT_TRUE(file.m_bExists);
    EXPECT_EQ(file.m_data, "abc");
}

TEST(DownloadJob, StallLimitCountsFromTheLastProgress) {
    SHeldDownload d({"abc", "def", "ghi"});
    CDownloadJob& job = *d.m_pJob;
    EXPECT_EQ(job.CheckStall(1000, 5000), EDownloadState::Running); // first look
    EXPECT_EQ(job.CheckStall(5999, 5000), EDownloadState::Running);

    // A block arrives: the limit counts again from the next look.
    d.m_server.Release(1);
    d.m_server.WaitHeld(2);
    EXPECT_EQ(job.Received(), 6u);
    EXPECT_EQ(job.CheckStall(7000, 5000), EDownloadState::Running);
    EXPECT_EQ(job.CheckStall(11999, 5000), EDownloadState::Running);
    EXPECT_EQ(job.CheckStall(12000, 5000), EDownloadState::StalledOut);
    EXPECT_FALSE(d.m_file.m_bExists);

    d.Finish();
    EXPECT_EQ(job.State(), EDownloadState::StalledOut);
    EXPECT_EQ(job.CheckStall(20000, 5000), EDownloadState::StalledOut);
}
