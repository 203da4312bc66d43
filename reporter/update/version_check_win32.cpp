#include "version_check_win32.h"

#include "ftp_client_win32.h"
#include "guard.h"
#include "update_ports_win32.h"

#include <mutex>
#include <thread>

namespace ostrel {

struct CVersionFetch::SShared {
    SUpdateConfig m_config;
    std::wstring m_strLocal;
    HWND m_hNotify = nullptr;
    UINT m_nMsg = 0;
    std::mutex m_mutex;
    bool m_bAbandoned = false;
};

bool CVersionFetch::Start(const SUpdateConfig& config, const std::wstring& localFile, HWND hNotify,
                          UINT nMsg) {
    Abandon();
    auto shared = std::make_shared<SShared>();
    shared->m_config = config;
    shared->m_strLocal = localFile;
    shared->m_hNotify = hNotify;
    shared->m_nMsg = nMsg;
    try {
        std::thread([shared] {
            // The connection closes before the dialog hears of it.
            const bool ok = GuardCall("CVersionFetch", false, [&] {
                CFtpClient client;
                return client.Connect(shared->m_config) &&
                       client.GetFile(kVersionFileName, shared->m_strLocal);
            });
            std::lock_guard<std::mutex> lock(shared->m_mutex);
            if (shared->m_bAbandoned) {
                if (ok)
                    ::DeleteFileW(shared->m_strLocal.c_str());
                return;
            }
            ::PostMessageW(shared->m_hNotify, shared->m_nMsg, ok ? TRUE : FALSE, 0);
        }).detach();
    } catch (...) {
        return false;
    }
    m_pShared = std::move(shared);
    return true;
}

void CVersionFetch::Abandon() {
    const std::shared_ptr<SShared> shared = std::move(m_pShared);
    if (!shared)
        return;
    std::lock_guard<std::mutex> lock(shared->m_mutex);
    shared->m_bAbandoned = true;
}

} // namespace ostrel
