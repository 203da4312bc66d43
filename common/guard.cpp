#include "guard.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace ostrel {
namespace {

// Fixed buffers: recording must work when memory has run out.
struct SRecord {
    std::mutex m_mutex;
    char m_szWhere[64] = {};
    char m_szWhat[256] = {};
    std::atomic<unsigned long> m_nCount{0};
};

SRecord& Record() {
    static SRecord s_record;
    return s_record;
}

} // namespace

void RecordCaughtException(const char* pszWhere, const char* pszWhat) noexcept {
    SRecord& record = Record();
    if (!pszWhere)
        pszWhere = "";
    if (!pszWhat)
        pszWhat = "";
    char szLine[64 + 256 + 16];
    std::snprintf(szLine, sizeof szLine, "guard: %.63s: %.255s\n", pszWhere, pszWhat);
    try {
        std::lock_guard<std::mutex> lock(record.m_mutex);
        std::snprintf(record.m_szWhere, sizeof record.m_szWhere, "%s", pszWhere);
        std::snprintf(record.m_szWhat, sizeof record.m_szWhat, "%s", pszWhat);
        ++record.m_nCount;
    } catch (...) {
        // A lock that cannot be taken still leaves the count and the output.
        ++record.m_nCount;
    }
    WriteDebugOutput(szLine);
}

SCaughtException LastCaughtException() {
    SRecord& record = Record();
    std::lock_guard<std::mutex> lock(record.m_mutex);
    SCaughtException caught;
    caught.m_strWhere = record.m_szWhere;
    caught.m_strWhat = record.m_szWhat;
    caught.m_nCount = record.m_nCount;
    return caught;
}

} // namespace ostrel
