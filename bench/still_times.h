#pragma once
// The platform's files with times that stand still, so that two archives of
// the same files can be compared byte for byte: folder entries carry the time
// they were added, reading a file moves its access time, and on POSIX the
// status-change time stands in for creation. Modification times stay real.
#include "zip_io.h"

namespace ostrel::bench {

class CStillTimes final : public zip::IZipFileSystem {
public:
    std::unique_ptr<zip::IZipOutput> CreateOutput(const std::wstring& path) override;
    std::unique_ptr<zip::IZipSource> OpenSource(const std::wstring& path,
                                                zip::SZipSourceInfo* pInfo) override;
    zip::SCivilTime LocalNow() override;
};

} // namespace ostrel::bench
