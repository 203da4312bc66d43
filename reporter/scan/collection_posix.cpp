// The host build collects nothing from the machine: no folders are listed,
// copied or probed there. Tests use their own ports.
#include "collection.h"

namespace ostrel {
namespace {

class CNoCollectionFiles : public ICollectionFiles {
public:
    std::vector<SFindEntry> FindEntries(const std::wstring&) override { return {}; }
    bool CopyNoOverwrite(const std::wstring&, const std::wstring&) override { return false; }
    bool PathExists(const std::wstring&) override { return false; }
    bool CanOpenForReadShareRead(const std::wstring&) override { return false; }
    EProbeCreate CreateProbe(const std::wstring&) override { return EProbeCreate::Failed; }
    bool RemoveFile(const std::wstring&) override { return false; }
    bool VersionText(const std::wstring&, std::wstring&) override { return false; }
};

} // namespace

ICollectionFiles& SystemCollectionFiles() {
    static CNoCollectionFiles s_files;
    return s_files;
}

} // namespace ostrel
