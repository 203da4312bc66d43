#include "still_times.h"

namespace ostrel::bench {
namespace {

constexpr int64_t kStill = 1426154400; // 2015-03-12 10:00:00 UTC

} // namespace

std::unique_ptr<zip::IZipOutput> CStillTimes::CreateOutput(const std::wstring& path) {
    return zip::PlatformFileSystem().CreateOutput(path);
}

std::unique_ptr<zip::IZipSource> CStillTimes::OpenSource(const std::wstring& path,
                                                         zip::SZipSourceInfo* pInfo) {
    std::unique_ptr<zip::IZipSource> p = zip::PlatformFileSystem().OpenSource(path, pInfo);
    pInfo->llAccessTime = pInfo->llCreateTime = kStill;
    return p;
}

zip::SCivilTime CStillTimes::LocalNow() {
    return zip::CivilFromUnix(kStill);
}

} // namespace ostrel::bench
