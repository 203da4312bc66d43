#pragma once
// Small Win32 services of the server: clock, wait cursor and beep, file
// test, and the wireless search library bound at each call.
#include "bluefind.h"
#include "clock.h"
#include "shell_hooks.h"

namespace torvex {

class CTickClock final : public IClock {
public:
    uint64_t NowMs() override;
    void SleepMs(uint32_t nMs) override;
};

class CWin32ShellHooks final : public IShellHooks {
public:
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void DefaultBeep() override;
    bool FileExists(const std::string& strPath) override;
};

// "\Bluefind.DLL" beside the executable, loaded for one call of FindTesselBth.
class CWin32Bluefind final : public IBluefind {
public:
    bool FindSensorPort(int& nResult, std::string& strPort) override;
};

} // namespace torvex
