#pragma once
// Worker threads that compress deflate chunks for the archive writer. The
// caller owns the chunks, submits them, and waits for each one before it
// touches it again; it keeps the order and does all reading and writing, so the
// pool never sees a file. A chunk is one worker's alone from Submit until Wait
// returns it.
#include "deflate_chunk.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace ostrel::zip {

// Most worker threads a writer starts, whatever the machine has: beyond this
// the archive step is bound by reading the sources, and each worker costs a
// compressor and two chunks of memory.
constexpr unsigned kMaxDeflateWorkers = 8;

// The machine's cores, between 1 and kMaxDeflateWorkers.
unsigned DefaultDeflateWorkers();

class CDeflatePool {
public:
    // Up to nThreads worker threads, started at the first Submit; fewer when
    // the system refuses to create more (ThreadCount() then says how many
    // run). With no thread at all, Submit compresses on the caller's thread:
    // the bytes are the same.
    explicit CDeflatePool(unsigned nThreads) : m_nWanted(nThreads) {}
    // Waits for the chunks in flight and ends the threads.
    ~CDeflatePool();
    CDeflatePool(const CDeflatePool&) = delete;
    CDeflatePool& operator=(const CDeflatePool&) = delete;

    unsigned ThreadCount() const { return static_cast<unsigned>(m_threads.size()); }

    // Hands the chunk to a worker (queued in order of submission).
    void Submit(SDeflateChunk& chunk);
    // Returns once the chunk is compressed; it is the caller's again. Until
    // then the caller's thread compresses queued chunks, this one first if no
    // worker has started it, so a pool of n - 1 threads keeps n cores busy.
    void Wait(SDeflateChunk& chunk);
    // Drops the chunks not yet started and waits for the running ones: after
    // it, no worker touches any chunk. Results of dropped chunks are failed.
    void Cancel();

private:
    void Start();
    void Run();

    const unsigned m_nWanted;
    bool m_bStarted = false;

    CChunkCompressor m_here;
    std::mutex m_mutex;
    std::condition_variable m_cvWork; // a chunk was queued, or the pool ends
    std::condition_variable m_cvDone; // a chunk was finished
    std::deque<SDeflateChunk*> m_queue;
    unsigned m_nRunning = 0;
    bool m_bStop = false;
    std::vector<std::thread> m_threads;
};

} // namespace ostrel::zip
