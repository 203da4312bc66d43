#include "deflate_pool.h"

#include <algorithm>

namespace ostrel::zip {

unsigned DefaultDeflateWorkers() {
    const unsigned n = std::thread::hardware_concurrency(); // 0 when unknown
    return std::clamp(n, 1u, kMaxDeflateWorkers);
}

void CDeflatePool::Start() {
    m_bStarted = true;
    try {
        m_threads.reserve(m_nWanted);
    } catch (...) {
        return;
    }
    for (unsigned i = 0; i < m_nWanted; ++i) {
        try {
            m_threads.emplace_back([this] { Run(); });
        } catch (...) {
            break; // out of threads or memory: work with those that run
        }
    }
}

CDeflatePool::~CDeflatePool() {
    Cancel();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_cvWork.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

void CDeflatePool::Submit(SDeflateChunk& chunk) {
    if (!m_bStarted)
        Start();
    if (m_threads.empty()) {
        m_here.Compress(chunk);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        chunk.bDone = false;
        m_queue.push_back(&chunk);
    }
    m_cvWork.notify_one();
}

void CDeflatePool::Wait(SDeflateChunk& chunk) {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!chunk.bDone) {
        // Rather than sleep, the caller compresses: first the chunk it waits
        // for if no worker has started it, else the next one queued.
        SDeflateChunk* pWork = nullptr;
        const auto it = std::find(m_queue.begin(), m_queue.end(), &chunk);
        if (it != m_queue.end()) {
            pWork = *it;
            m_queue.erase(it);
        } else if (!m_queue.empty()) {
            pWork = m_queue.front();
            m_queue.pop_front();
        } else {
            m_cvDone.wait(lock);
            continue;
        }
        lock.unlock();
        m_here.Compress(*pWork);
        lock.lock();
        pWork->bDone = true;
        m_cvDone.notify_all();
    }
}

void CDeflatePool::Cancel() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (SDeflateChunk* p : m_queue) {
        p->bOk = false;
        p->bDone = true;
    }
    m_queue.clear();
    m_cvDone.wait(lock, [&] { return m_nRunning == 0; });
}

void CDeflatePool::Run() {
    // The compressor is made here so that a thread that cannot get its memory
    // fails its chunks rather than the whole process.
    std::unique_ptr<CChunkCompressor> pCompressor;
    try {
        pCompressor = std::make_unique<CChunkCompressor>();
    } catch (...) {
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_cvWork.wait(lock, [&] { return m_bStop || !m_queue.empty(); });
        if (m_queue.empty())
            return; // stopping, and nothing left
        SDeflateChunk* pChunk = m_queue.front();
        m_queue.pop_front();
        ++m_nRunning;
        lock.unlock();
        if (pCompressor)
            pCompressor->Compress(*pChunk);
        else
            pChunk->bOk = false;
        lock.lock();
        --m_nRunning;
        pChunk->bDone = true;
        m_cvDone.notify_all();
    }
}

} // namespace ostrel::zip
