#pragma once
// Registry reads under HKEY_LOCAL_MACHINE, the exclusive port open and the
// sleep of the sensor search.
#include "search_platform.h"

namespace bluefind {

class CWin32Registry final : public IRegistry {
public:
    uint32_t OpenKey(const std::wstring& strPath, std::unique_ptr<IRegistryKey>& key) override;
};

class CWin32PortProbe final : public IPortProbe {
public:
    uint32_t TryOpen(const std::wstring& strPort) override;
};

class CWin32Sleeper final : public ISleeper {
public:
    void SleepMs(uint32_t nMs) override;
};

} // namespace bluefind
