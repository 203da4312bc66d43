#pragma once
// One installer download, run on a worker thread that the dialog can abandon:
// a transfer from a frozen server blocks in its read for good, so Abort and
// the stall limit act on the shared state instead of waiting for the read.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace ostrel {

// The server side of a download. Used by the worker thread only.
class IInstallerSource {
public:
    virtual ~IInstallerSource() = default;
    // Connects, asks the installer's size (SIZE) and opens it for reading.
    // False when any of that fails; nothing stays open then.
    [[nodiscard]] virtual bool Open(uint64_t& size) = 0;
    // Reads up to nMax bytes. May block without limit (a frozen server).
    // True with nGot 0 at the end of the file, and also when the server
    // dropped the connection: only the size shows a truncation.
    [[nodiscard]] virtual bool Read(void* pBuffer, size_t nMax, size_t& nGot) = 0;
};

// The local installer file. Called under the job's lock, so by one thread at
// a time; Close and Remove may come from the dialog's thread.
class IInstallerSink {
public:
    virtual ~IInstallerSink() = default;
    // Deletes any old file and creates it anew, empty.
    [[nodiscard]] virtual bool Create() = 0;
    // A failed write may have reached the file in part.
    [[nodiscard]] virtual bool Write(const void* pData, size_t nSize) = 0;
    // Closes the file; harmless when it is not open.
    virtual void Close() = 0;
    // Closes and deletes the file; harmless when there is none.
    virtual void Remove() = 0;
};

enum class EDownloadState {
    Running,
    Complete,  // every reported byte arrived; the file is closed
    Failed,    // connection, size, read, write or truncation; a file this job
               // created is deleted (an older one stays when it never got that far)
    Aborted,   // by the user; the file is deleted
    StalledOut // no byte for too long; the file is deleted
};

class CDownloadJob {
public:
    static constexpr size_t kBlockSize = 16384;

    CDownloadJob(std::unique_ptr<IInstallerSource> source, std::unique_ptr<IInstallerSink> sink);

    // The worker thread's body: runs the transfer to its end, or until the
    // job has been ended from outside; after that it writes nothing more.
    void Run();

    // Ends a running job at once, whatever its read is doing: when this
    // returns the file is closed and deleted and no later block reaches it.
    // A job that already ended keeps its state. Returns the state after.
    EDownloadState Abort();

    // Called periodically from the dialog: ends the job as StalledOut when no
    // byte has arrived for nLimitMs since the previous calls saw the count
    // change (or since the first call).
    EDownloadState CheckStall(uint64_t nNowMs, uint64_t nLimitMs);

    EDownloadState State() const;
    uint64_t Received() const;
    uint64_t Size() const; // 0 until the server reported it

private:
    void EndLocked(EDownloadState state);

    std::unique_ptr<IInstallerSource> m_pSource;
    std::unique_ptr<IInstallerSink> m_pSink;
    mutable std::mutex m_mutex;
    EDownloadState m_eState = EDownloadState::Running;
    uint64_t m_nSize = 0;
    uint64_t m_nReceived = 0;
    bool m_bCreated = false;
    bool m_bStallSeen = false;
    uint64_t m_nStallCount = 0;
    uint64_t m_nStallSinceMs = 0;
};

} // namespace ostrel
