#pragma once
// The thumbnail builder as first described: every index file read again for
// every usable sensor-log line, every preview copy tried again. Kept as the
// reference that the product's builder must equal (tests and bench).
#include "archive_contents.h"

namespace ostrel::reference {

bool BuildThumbnailsFromLog(const SThumbnailPorts& ports, const std::wstring& workDir, int lastYear,
                            const std::wstring& logPath, const std::wstring& imagesDir,
                            ThumbnailTable& table);

} // namespace ostrel::reference
