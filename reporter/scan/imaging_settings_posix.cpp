// The host has no registry, no private-profile service and no shell folders:
// every lookup finds nothing there. Tests use their own ports.
#include "imaging_settings.h"

#include "utf16.h"

#include <cstdio>

namespace ostrel {
namespace {

class CNoRegistry : public IRegistryReader {
public:
    std::unique_ptr<IRegistryKey> OpenLocalMachineKey(const std::wstring&) override {
        return nullptr;
    }
};

class CNoProfile : public IProfileReader {
public:
    std::wstring GetString(const std::wstring&, const std::wstring&,
                           const std::wstring& defaultText, unsigned bufferChars,
                           const std::wstring&) override {
        return defaultText.substr(0, bufferChars ? bufferChars - 1 : 0);
    }
    int GetInt(const std::wstring&, const std::wstring&, int defaultValue,
               const std::wstring&) override {
        return defaultValue;
    }
};

class CPosixFileProbe : public IFileProbe {
public:
    bool CanOpenForReadShareReadWrite(const std::wstring& path) override {
        std::FILE* file = std::fopen(WideToUtf8(path).c_str(), "rb");
        if (!file)
            return false;
        std::fclose(file);
        return true;
    }
};

} // namespace

const SImagingPorts& SystemImagingPorts() {
    static CNoRegistry s_registry;
    static CNoProfile s_profile;
    static CPosixFileProbe s_files;
    static const SImagingPorts s_ports{s_registry, s_profile, SystemShellFolders(), s_files};
    return s_ports;
}

} // namespace ostrel
