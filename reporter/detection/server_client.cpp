// Finding or starting the sensor server and the one-command exchange.
#include "materiel.h"
#include "server_commands.h"

namespace ostrel {

namespace {
constexpr unsigned kIdleWaitMs = 5000; // a server that never idles must not hang the run
constexpr unsigned kWindowPollMs = 50;
// The window may follow the idle state by seconds on a loaded machine.
constexpr unsigned kWindowPolls = 300;
constexpr int kReadyReads = 150;
constexpr unsigned kReadyPauseMs = 100;
constexpr unsigned kAnswerChars = 260;
constexpr unsigned kQuitWaitMs = 2000;
constexpr uint32_t kStillActive = 259;
} // namespace

std::wstring CMateriel::MailboxPath() const {
    return m_strModuleDir + server::kMailboxName;
}

uintptr_t CMateriel::FindOrStartServer() {
    IServerPlatform& platform = m_ports.m_server;
    if (const uintptr_t hWnd = platform.FindServerWindow())
        return hWnd;
    SServerProcess started;
    if (!platform.StartServer(m_strModuleDir + server::kProgramName, started))
        return 0;
    if (m_serverProcess.m_hProcess)
        platform.Release(m_serverProcess);
    m_serverProcess = started;
    platform.WaitUntilIdle(m_serverProcess, kIdleWaitMs);
    for (unsigned i = 0;; ++i) {
        if (const uintptr_t hWnd = platform.FindServerWindow())
            return hWnd;
        if (i == kWindowPolls || platform.WaitForExit(m_serverProcess, 0))
            return 0;
        m_ports.m_clock.Sleep(kWindowPollMs);
    }
}

bool CMateriel::SendServerCommand(unsigned nCommand, std::wstring& answer) {
    const uintptr_t hWnd = FindOrStartServer();
    if (!hWnd)
        return false;
    m_nCommandMessage = m_ports.m_server.RegisterCommandMessage();
    if (m_nCommandMessage == 0)
        return false;
    const std::wstring path = MailboxPath();
    m_ports.m_mailbox.WriteString(path, server::kReady, L"0");
    m_ports.m_server.PostCommand(hWnd, m_nCommandMessage, nCommand);
    bool bReady = false;
    for (int i = 0; i < kReadyReads && !bReady; ++i) {
        bReady = m_ports.m_mailbox.ReadInt(path, server::kReady, 0) != 0;
        if (!bReady)
            m_ports.m_clock.Sleep(kReadyPauseMs);
    }
    if (!bReady)
        return false;
    answer = m_ports.m_mailbox.ReadString(path, server::kResult, L"", kAnswerChars);
    return true;
}

void CMateriel::StopServer() {
    if (!m_serverProcess.m_hProcess)
        return; // found running, not ours to stop
    IServerPlatform& platform = m_ports.m_server;
    platform.PostQuit(m_serverProcess);
    platform.WaitForExit(m_serverProcess, kQuitWaitMs);
    uint32_t nCode = 0;
    if (!platform.GetExitCode(m_serverProcess, nCode))
        nCode = 0;
    if (nCode == kStillActive)
        platform.Terminate(m_serverProcess, 0);
    platform.Release(m_serverProcess);
    m_serverProcess = SServerProcess();
}

} // namespace ostrel
