#pragma once
// Ports that hold nothing, for tests that exercise one probe and need the
// others quiet: no server window, no registry, no socket library.
#include "materiel.h"

#include <vector>

namespace ostrel::test {

class CNullServer : public IServerPlatform, public IMailboxFile, public IWaitClock {
public:
    uintptr_t FindServerWindow() override { return 0; }
    bool StartServer(const std::wstring&, SServerProcess&) override { return false; }
    bool WaitUntilIdle(const SServerProcess&, unsigned) override { return false; }
    bool WaitForExit(const SServerProcess&, unsigned) override { return true; }
    unsigned RegisterCommandMessage() override { return 0; }
    bool PostCommand(uintptr_t, unsigned, unsigned) override { return false; }
    void PostQuit(const SServerProcess&) override {}
    bool GetExitCode(const SServerProcess&, uint32_t&) override { return false; }
    void Terminate(const SServerProcess&, uint32_t) override {}
    void Release(SServerProcess& p) override { p = {}; }
    void WriteString(const std::wstring&, const std::wstring&, const std::wstring&) override {}
    int ReadInt(const std::wstring&, const std::wstring&, int d) override { return d; }
    std::wstring ReadString(const std::wstring&, const std::wstring&, const std::wstring& d,
                            unsigned) override {
        return d;
    }
    void Sleep(unsigned ms) override { m_sleeps.push_back(ms); }
    std::vector<unsigned> m_sleeps;
};

class CNullInventory : public IInventorySystem {
public:
    bool KeyExists(const std::wstring&) override { return false; }
    ERegistryQuery QueryValue(const std::wstring&, const std::wstring&, unsigned,
                              std::wstring&) override {
        return ERegistryQuery::NoKey;
    }
    bool WindowsFolder(unsigned, std::wstring&) override { return false; }
    bool ProgramFilesFolder(std::wstring&) override { return false; }
    bool FileExists(const std::wstring&) override { return false; }
    bool VersionText(const std::wstring&, const SVersionTextOptions&, std::wstring&) override {
        return false;
    }
    bool ImagingAppDir(std::wstring&) override { return false; }
};

// A socket library that does not start.
class CNullDatagrams : public IDatagramPort {
public:
    bool Startup(int& e) override {
        e = 10091; // WSASYSNOTREADY
        return false;
    }
    void Cleanup() override {}
    bool Listen(const std::string&, uint16_t, uintptr_t, unsigned, int&) override { return false; }
    int Receive(uint8_t*, size_t) override { return 0; }
    void Close() override {}
    bool IsOpen() const override { return false; }
};

} // namespace ostrel::test
