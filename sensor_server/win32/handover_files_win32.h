#pragma once
// The hand-over's files in the user's temporary folder.
#include "image_handover.h"

namespace torvex {

class CWin32HandoverFiles final : public IHandoverFiles {
public:
    std::string TempFolder() override;
    std::string LastImagePath() override;
    bool WriteFile(const std::string& strPath, const std::vector<uint8_t>& bytes) override;
};

} // namespace torvex
