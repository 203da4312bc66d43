#include "materiel.h"

#include <cmath>
#include <cwchar>
#include <utility>

namespace ostrel {

namespace {

// The machine of a model built without one: nothing to find anywhere.
class CNoMachine final : public IServerPlatform,
                         public IMailboxFile,
                         public IWaitClock,
                         public IInventorySystem,
                         public IDatagramPort {
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
    void Release(SServerProcess& process) override { process = SServerProcess(); }
    void WriteString(const std::wstring&, const std::wstring&, const std::wstring&) override {}
    int ReadInt(const std::wstring&, const std::wstring&, int defaultValue) override {
        return defaultValue;
    }
    std::wstring ReadString(const std::wstring&, const std::wstring&,
                            const std::wstring& defaultText, unsigned) override {
        return defaultText;
    }
    void Sleep(unsigned) override {}
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
    bool Startup(int& nError) override {
        nError = 10091; // the socket library is not ready
        return false;
    }
    void Cleanup() override {}
    bool Listen(const std::string&, uint16_t, uintptr_t, unsigned, int&) override { return false; }
    int Receive(uint8_t*, size_t) override { return -1; }
    void Close() override {}
    bool IsOpen() const override { return false; }
};

SMaterielPorts NoMachinePorts() {
    static CNoMachine s_none;
    return {s_none, s_none, s_none, s_none, s_none};
}

} // namespace

CMateriel::CMateriel(const SMaterielPorts& ports, std::wstring strModuleDir)
    : m_ports(ports), m_strModuleDir(std::move(strModuleDir)) {}

CMateriel::CMateriel() : m_ports(NoMachinePorts()) {}

CMateriel::~CMateriel() {
    StopPlateScannerListener();
    // A run cut short must not leave its server behind.
    StopServer();
}

bool CMateriel::StartPlateScannerListener(uintptr_t hWnd) {
    m_plateScanners.Clear();
    m_pListener.reset(); // a listener left from an earlier start closes first
    m_pListener = std::make_unique<CPlateScannerListener>(m_ports.m_datagrams);
    return m_pListener->StartListening(hWnd);
}

int CMateriel::OnPlateScannerDatagram(uintptr_t notification) {
    if (!m_pListener)
        return 0;
    return m_pListener->OnDatagram(notification, m_plateScanners);
}

void CMateriel::StopPlateScannerListener() {
    m_pListener.reset();
}

namespace {
const std::wstring kNoText;
}

const std::wstring& CMateriel::GetPlateScannerSerial(int i) const {
    return i >= 0 && i < static_cast<int>(kPlateScannerEntries)
               ? m_plateScanners.m_entries[static_cast<size_t>(i)].m_strSerial
               : kNoText;
}

const std::wstring& CMateriel::GetPlateScannerIp(int i) const {
    return i >= 0 && i < static_cast<int>(kPlateScannerEntries)
               ? m_plateScanners.m_entries[static_cast<size_t>(i)].m_strIp
               : kNoText;
}

const std::wstring& CMateriel::GetPlateScannerFirmware(int i) const {
    return i >= 0 && i < static_cast<int>(kPlateScannerEntries)
               ? m_plateScanners.m_entries[static_cast<size_t>(i)].m_strFirmware
               : kNoText;
}

// ---------------------------------------------------------------- camera

std::wstring CMateriel::GetCameraStandard() const {
    return m_bCameraPal ? L"PAL" : L"NTSC";
}

std::wstring CMateriel::GetCameraSerial() const {
    return m_strCameraSerial;
}

std::wstring CMateriel::GetCameraFirmware() const {
    wchar_t text[16];
    std::swprintf(text, 16, L"%X.%X", unsigned(m_nCameraFwMajor), unsigned(m_nCameraFwMinor));
    return text;
}

std::wstring CMateriel::GetCameraVoltage() const {
    // The product is taken in single precision, as the camera's value is one.
    const float fMillivolts = m_fCameraVolts * 1000.0f;
    if (!std::isfinite(fMillivolts) || std::fabs(fMillivolts) >= 2147483647.0f)
        return L"(unknown)";
    return std::to_wstring(static_cast<int>(fMillivolts));
}

// ------------------------------------------------------------ end camera

} // namespace ostrel
