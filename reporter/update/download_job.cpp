#include "download_job.h"

#include <vector>

namespace ostrel {

CDownloadJob::CDownloadJob(std::unique_ptr<IInstallerSource> source,
                           std::unique_ptr<IInstallerSink> sink)
    : m_pSource(std::move(source)), m_pSink(std::move(sink)) {}

void CDownloadJob::EndLocked(EDownloadState state) {
    if (m_eState != EDownloadState::Running)
        return;
    m_eState = state;
    if (!m_bCreated)
        return; // an older file stays until a new transfer replaces it
    if (state == EDownloadState::Complete)
        m_pSink->Close();
    else
        m_pSink->Remove();
}

void CDownloadJob::Run() {
    uint64_t size = 0;
    const bool bOpen = m_pSource->Open(size);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_eState != EDownloadState::Running)
            return;
        if (!bOpen) {
            EndLocked(EDownloadState::Failed);
            return;
        }
        m_bCreated = true; // a failed create may leave a part behind: remove it too
        if (!m_pSink->Create()) {
            EndLocked(EDownloadState::Failed);
            return;
        }
        m_nSize = size;
    }
    std::vector<unsigned char> buffer(kBlockSize);
    while (true) {
        size_t got = 0;
        // The read runs unlocked: it may never come back.
        const bool bRead = m_pSource->Read(buffer.data(), buffer.size(), got);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_eState != EDownloadState::Running)
            return;
        if (!bRead) {
            EndLocked(EDownloadState::Failed);
            return;
        }
        if (got == 0 || got > buffer.size()) {
            // A dropped connection ends like the file: the size tells them apart.
            EndLocked(got == 0 && m_nReceived == m_nSize ? EDownloadState::Complete
                                                         : EDownloadState::Failed);
            return;
        }
        if (m_nReceived + got > m_nSize || !m_pSink->Write(buffer.data(), got)) {
            EndLocked(EDownloadState::Failed);
            return;
        }
        m_nReceived += got;
        if (m_nReceived == m_nSize) {
            EndLocked(EDownloadState::Complete);
            return;
        }
    }
}

EDownloadState CDownloadJob::Abort() {
    std::lock_guard<std::mutex> lock(m_mutex);
    EndLocked(EDownloadState::Aborted);
    return m_eState;
}

EDownloadState CDownloadJob::CheckStall(uint64_t nNowMs, uint64_t nLimitMs) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_eState != EDownloadState::Running)
        return m_eState;
    if (!m_bStallSeen || m_nReceived != m_nStallCount) {
        m_bStallSeen = true;
        m_nStallCount = m_nReceived;
        m_nStallSinceMs = nNowMs;
    } else if (nNowMs - m_nStallSinceMs >= nLimitMs) {
        EndLocked(EDownloadState::StalledOut);
    }
    return m_eState;
}

EDownloadState CDownloadJob::State() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_eState;
}

uint64_t CDownloadJob::Received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nReceived;
}

uint64_t CDownloadJob::Size() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nSize;
}

} // namespace ostrel
