// The update dialog against real local FTP servers (pyftpdlib), driven from
// outside like a user would: its texts, buttons, progress bar and message
// boxes, the files it leaves, and the installer it starts.
#include <winsock2.h>

#include "version_text.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

using ostrel::test::ReadBytes;
using ostrel::test::RemoveTree;
using ostrel::test::WriteBytes;

namespace {

const wchar_t kTextFound[] = L"Connected to the server.\r\nSearching for updates...\r\n1 update "
                             L"found: \"Ostrel Install.exe\"";
const wchar_t kTextNotDownloaded[] = L"The file \"Ostrel Install.exe\" has not been downloaded.";
const wchar_t kTextInstallNow[] = L"Do you want to install this update now ?";

std::wstring Widen(const std::string& s) {
    return std::wstring(s.begin(), s.end()); // the build paths are ASCII
}

// Unix paths of the build tree seen through Wine's Z: drive.
std::wstring WinPath(const std::string& unixPath) {
    std::wstring path = L"Z:" + Widen(unixPath);
    for (auto& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

std::wstring BinDir() {
    wchar_t buf[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring path(buf, n);
    return path.substr(0, path.rfind(L'\\') + 1);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A fresh folder of the test's work tree; its Unix twin in unixPath.
std::wstring FreshDir(const std::string& name, std::string* unixPath = nullptr) {
    const std::string unix = std::string(OSTREL_WORK_DIR) + "/" + name;
    const std::wstring dir = WinPath(unix);
    RemoveTree(dir);
    CreateDirectoryW(WinPath(OSTREL_WORK_DIR).c_str(), nullptr);
    CreateDirectoryW(dir.c_str(), nullptr);
    if (unixPath)
        *unixPath = unix;
    return dir;
}

std::wstring SignedInstaller() {
    return WinPath(std::string(OSTREL_INSTALLER_DIR) + "/Ostrel Install.exe");
}
std::wstring Fixture(const char* name) {
    return WinPath(std::string(OSTREL_FIXTURE_DIR) + "/" + name);
}

struct SProcess {
    PROCESS_INFORMATION m_pi{};
    SProcess() = default;
    SProcess(const SProcess&) = delete;
    SProcess& operator=(const SProcess&) = delete;
    ~SProcess() {
        if (m_pi.hProcess) {
            if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(m_pi.hProcess, 99);
            CloseHandle(m_pi.hProcess);
            CloseHandle(m_pi.hThread);
        }
    }
    bool Start(const std::wstring& exe, const std::wstring& args) {
        return StartCommandLine(L"\"" + exe + L"\" " + args);
    }
    bool StartCommandLine(std::wstring cmd) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        return CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &si, &m_pi) != FALSE;
    }
    // The exit code, or STILL_ACTIVE after nMs.
    DWORD WaitExit(DWORD nMs) const {
        if (WaitForSingleObject(m_pi.hProcess, nMs) != WAIT_OBJECT_0)
            return STILL_ACTIVE;
        DWORD code = 0;
        GetExitCodeProcess(m_pi.hProcess, &code);
        return code;
    }
};

// One pyftpdlib server on a free loopback port, for the life of the object.
class CFtpServer {
public:
    // users: "name:password:unix-home"; options: the script's fault switches.
    bool Start(const std::vector<std::string>& users, const std::string& options) {
        static int s_nServer = 0;
        std::string unixDir;
        FreshDir("server" + std::to_string(++s_nServer), &unixDir);
        m_strStop = WinPath(unixDir + "/stop");
        const std::wstring portFile = WinPath(unixDir + "/port");
        std::string cmd = "/usr/bin/python3 " + std::string(OSTREL_FTP_SERVER_SCRIPT) +
                          " --lifetime 240 --port-file " + unixDir + "/port --stop-file " +
                          unixDir + "/stop " + options;
        for (const auto& user : users)
            cmd += " --user \"" + user + "\"";
        // Wine starts Unix programs through CreateProcess.
        if (!m_process.StartCommandLine(Widen(cmd)))
            return false;
        for (int i = 0; i < 200; ++i) {
            const std::string text = ReadBytes(portFile);
            if (text != "<missing>" && !text.empty()) {
                m_nPort = std::atoi(text.c_str());
                return m_nPort > 0;
            }
            Sleep(50);
        }
        return false;
    }
    ~CFtpServer() {
        if (!m_strStop.empty())
            WriteBytes(m_strStop, "stop");
    }
    std::wstring Address() const { return L"127.0.0.1:" + std::to_wstring(m_nPort); }

private:
    SProcess m_process;
    std::wstring m_strStop;
    int m_nPort = 0;
};

std::string VersionFile(const std::string& body) {
    return "[UPDATE]\r\n" + body + "\r\n";
}

// A user's home with a version file (unless empty) and an installer (unless empty).
std::string MakeHome(const std::string& name, const std::string& versionFile,
                     const std::wstring& installer) {
    std::string unix;
    const std::wstring dir = FreshDir("home-" + name, &unix);
    if (!versionFile.empty())
        WriteBytes(dir + L"\\Ostrel Install.txt", versionFile);
    if (!installer.empty())
        WriteBytes(dir + L"\\Ostrel Install.exe", ReadBytes(installer));
    return unix;
}

std::wstring WindowText(HWND hWnd) {
    wchar_t buf[1024];
    int n = GetWindowTextW(hWnd, buf, 1024);
    return std::wstring(buf, n > 0 ? n : 0);
}

struct SSearch {
    DWORD m_dwPid;
    std::wstring m_strTitle;
    bool m_bDialog; // the update dialog itself (has the status text), or a message box
    HWND m_hFound;
};

BOOL CALLBACK FindTopLevel(HWND hWnd, LPARAM lParam) {
    auto* s = reinterpret_cast<SSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid != s->m_dwPid || !IsWindowVisible(hWnd) || WindowText(hWnd) != s->m_strTitle)
        return TRUE;
    if ((GetDlgItem(hWnd, 1059) != nullptr) != s->m_bDialog)
        return TRUE;
    s->m_hFound = hWnd;
    return FALSE;
}

HWND WaitWindow(DWORD pid, const wchar_t* title, bool bDialog, DWORD nMs) {
    const DWORD t0 = GetTickCount();
    do {
        SSearch s{pid, title, bDialog, nullptr};
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&s));
        if (s.m_hFound)
            return s.m_hFound;
        Sleep(20);
    } while (GetTickCount() - t0 < nMs);
    return nullptr;
}

BOOL CALLBACK CollectStatic(HWND hWnd, LPARAM lParam) {
    wchar_t cls[32];
    GetClassNameW(hWnd, cls, 32);
    const std::wstring text = WindowText(hWnd);
    if (lstrcmpiW(cls, L"Static") == 0 && !text.empty())
        *reinterpret_cast<std::wstring*>(lParam) += text;
    return TRUE;
}

std::wstring MessageText(HWND hBox) {
    std::wstring text;
    EnumChildWindows(hBox, CollectStatic, reinterpret_cast<LPARAM>(&text));
    return text;
}

// Answers a message box; true when it went away.
bool Answer(HWND hBox, int id) {
    PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hBox, id)));
    for (int i = 0; i < 100 && IsWindow(hBox); ++i)
        Sleep(20);
    return !IsWindow(hBox);
}

void Click(HWND hDlg, int id) {
    PostMessageW(GetDlgItem(hDlg, id), BM_CLICK, 0, 0);
}

bool IsShown(HWND hDlg, int id) {
    return IsWindowVisible(GetDlgItem(hDlg, id)) != FALSE;
}

// The dialog as the reporter's start-up runs it, in its own process.
class CDialogRun {
public:
    CDialogRun(const std::wstring& downloadDir, const std::wstring& server,
               const std::wstring& user, const std::wstring& password,
               const std::wstring& extra = L"")
        : m_strDownloadDir(downloadDir) {
        m_t0 = GetTickCount();
        m_bStarted = m_process.Start(BinDir() + L"update_dialog_host.exe",
                                     L"\"" + downloadDir + L"\" " + server + L" " + user + L" " +
                                         password + L" " + extra);
    }
    DWORD Pid() const { return m_process.m_pi.dwProcessId; }
    DWORD WaitExit(DWORD nMs) const { return m_process.WaitExit(nMs); }
    HWND Dialog(DWORD nMs = 15000) {
        if (!m_hDlg)
            m_hDlg = WaitWindow(Pid(), L"Ostrel Update", true, nMs);
        return m_hDlg;
    }
    HWND Box(const wchar_t* caption, DWORD nMs) { return WaitWindow(Pid(), caption, false, nMs); }
    // Waits for the offer: status text and a visible, enabled Download button.
    bool WaitOffer(DWORD nMs) {
        HWND hDlg = Dialog();
        const DWORD t0 = GetTickCount();
        while (hDlg && GetTickCount() - t0 < nMs) {
            if (WindowText(GetDlgItem(hDlg, 1059)) == kTextFound && IsShown(hDlg, 1000) &&
                IsWindowEnabled(GetDlgItem(hDlg, 1000)))
                return true;
            Sleep(20);
        }
        return false;
    }
    std::wstring Local(const wchar_t* name) const { return m_strDownloadDir + L"\\" + name; }
    bool m_bStarted = false;
    DWORD m_t0 = 0;

private:
    SProcess m_process;
    std::wstring m_strDownloadDir;
    HWND m_hDlg = nullptr;
};

// A wait for a download that must not take the test down with it.
constexpr DWORD kExitWait = 20000;

} // namespace

TEST(UpdateWine, VersionFileDecidesWhetherAnUpdateIsOffered) {
    struct Case {
        const char* user;
        const char* versionFile; // nullptr: no version file on the server
        bool offered;
    } cases[] = {
        {"newer", "Version=2.31.0.0", true}, {"prefixed", "Version=v.2.31.0.0", true},
        {"ten", "Version=10.0.0.0", true},   {"same", "Version=2.30.1.0", false},
        {"shorter", "Version=2.3.1", false}, {"nokey", "Other=2.31.0.0", false},
        {"nofile", nullptr, false},
    };
    std::vector<std::string> users;
    for (const auto& c : cases)
        users.push_back(std::string(c.user) + ":pw:" +
                        MakeHome(c.user, c.versionFile ? VersionFile(c.versionFile) : "", L""));
    CFtpServer server;
    ASSERT_TRUE(server.Start(users, ""));

    for (const auto& c : cases) {
        SCOPED_TRACE(c.user);
        const std::wstring dl = FreshDir(std::string("dl-") + c.user);
        CDialogRun run(dl, server.Address(), Widen(c.user), L"pw");
        ASSERT_TRUE(run.m_bStarted);
        ASSERT_NE(run.Dialog(), nullptr);
        const DWORD tShown = GetTickCount();
        if (c.offered) {
            EXPECT_TRUE(run.WaitOffer(10000));
            EXPECT_FALSE(IsShown(run.Dialog(), 1001)) << "Abort shows only while downloading";
            EXPECT_FALSE(IsShown(run.Dialog(), 1060));
            // The offer stays: the check does not repeat and close it, and
            // Enter does not end it without letting the reporter go on.
            if (&c == &cases[0]) {
                PostMessageW(run.Dialog(), WM_COMMAND, IDOK, 0);
                EXPECT_EQ(run.WaitExit(2500), static_cast<DWORD>(STILL_ACTIVE));
            }
            Click(run.Dialog(), IDCANCEL);
            EXPECT_EQ(run.WaitExit(kExitWait), 0u) << "Close lets the reporter go on";
        } else {
            EXPECT_EQ(run.WaitExit(kExitWait), 0u) << "no update lets the reporter go on";
            const DWORD elapsed = GetTickCount() - tShown;
            EXPECT_GE(elapsed, 700u);
            EXPECT_LE(elapsed, 4000u) << "closes about one second after it appeared";
        }
        EXPECT_FALSE(Exists(run.Local(L"Ostrel Install.txt"))) << "the version file is deleted";
    }

    // The right user with a wrong password.
    CDialogRun run(FreshDir("dl-badpw"), server.Address(), L"newer", L"wrong");
    ASSERT_NE(run.Dialog(), nullptr);
    EXPECT_EQ(run.WaitExit(kExitWait), 0u);
}

TEST(UpdateWine, UnreachableServersLetTheReporterGoOnWithinSeconds) {
    // A port that was free a moment ago: closed, answers at once.
    SOCKET s = INVALID_SOCKET;
    int closedPort = 0;
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        int len = sizeof addr;
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
        closedPort = ntohs(addr.sin_port);
        closesocket(s);
    }
    CFtpServer silent; // accepts, never greets
    ASSERT_TRUE(silent.Start({}, "--silent"));
    CFtpServer dropping; // a full accept queue: connection requests go unanswered
    ASSERT_TRUE(dropping.Start({}, "--blackhole"));
    struct Case {
        const char* name;
        std::wstring server;
    } cases[] = {
        {"closed port", L"127.0.0.1:" + std::to_wstring(closedPort)},
        {"server that never answers", silent.Address()},
        {"connection requests dropped", dropping.Address()},
        {"bad address", L"127.0.0.1:0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CDialogRun run(FreshDir("dl-unreachable"), c.server, L"u", L"p");
        ASSERT_TRUE(run.m_bStarted);
        EXPECT_EQ(run.WaitExit(kExitWait), 0u);
        EXPECT_LE(GetTickCount() - run.m_t0, 7000u) << "the reporter waits only a few seconds";
    }
}

TEST(UpdateWine, DownloadShowsProgressAndNoKeepsTheFile) {
    const std::string home = MakeHome("keep", VersionFile("Version=2.31.0.0"), SignedInstaller());
    CFtpServer server;
    ASSERT_TRUE(server.Start({"u:p:" + home}, "--rate 120000"));
    const std::wstring dl = FreshDir("dl-keep");
    CDialogRun run(dl, server.Address(), L"u", L"p");
    ASSERT_TRUE(run.WaitOffer(10000));
    HWND hDlg = run.Dialog();
    Click(hDlg, 1000);

    // The bar moves while the blocks arrive.
    std::vector<int> positions;
    HWND hBox = nullptr;
    const DWORD t0 = GetTickCount();
    while (!hBox && GetTickCount() - t0 < 30000) {
        const int pos = static_cast<int>(SendMessageW(GetDlgItem(hDlg, 1060), PBM_GETPOS, 0, 0));
        if (positions.empty() || positions.back() != pos)
            positions.push_back(pos);
        if (positions.size() == 2) {
            EXPECT_TRUE(IsShown(hDlg, 1060));
            EXPECT_TRUE(IsShown(hDlg, 1001));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hDlg, 1000)));
        }
        hBox = WaitWindow(run.Pid(), L"Ostrel Update", false, 30);
    }
    ASSERT_NE(hBox, nullptr);
    EXPECT_GE(positions.size(), 4u) << "the progress bar took too few steps";
    const int top = static_cast<int>(SendMessageW(GetDlgItem(hDlg, 1060), PBM_GETRANGE, FALSE, 0));
    EXPECT_EQ(SendMessageW(GetDlgItem(hDlg, 1060), PBM_GETPOS, 0, 0), top);

    EXPECT_EQ(MessageText(hBox), kTextInstallNow);
    EXPECT_NE(GetDlgItem(hBox, IDYES), nullptr);
    ASSERT_TRUE(Answer(hBox, IDNO));
    HWND hStored = run.Box(L"Ostrel Update", 10000);
    ASSERT_NE(hStored, nullptr);
    EXPECT_EQ(MessageText(hStored),
              L"The file \"Ostrel Install.exe\" is stored into the following path:\r\n" + dl);
    ASSERT_TRUE(Answer(hStored, IDOK));
    EXPECT_EQ(run.WaitExit(kExitWait), 0u);
    EXPECT_EQ(ReadBytes(run.Local(L"Ostrel Install.exe")), ReadBytes(SignedInstaller()));
}

TEST(UpdateWine, BrokenDownloadsAreRefusedAndDeleted) {
    struct Case {
        const char* user;
        std::wstring installer; // empty: none on the server
    } cases[] = {
        {"tampered", Fixture("tampered.exe")},  // changed after signing
        {"unsigned", Fixture("unsigned.exe")},  // no signature at all
        {"other", Fixture("other-signer.exe")}, // intact, by another certificate
        {"missing", L""},                       // no installer on the server
        {"killed", SignedInstaller()},          // the server dies mid-transfer
    };
    std::vector<std::string> users;
    for (const auto& c : cases)
        users.push_back(std::string(c.user) +
                        ":p:" + MakeHome(c.user, VersionFile("Version=2.31.0.0"), c.installer));
    CFtpServer server;
    ASSERT_TRUE(server.Start({users.begin(), users.end() - 1}, ""));
    CFtpServer dying;
    ASSERT_TRUE(dying.Start({users.back()}, "--die-after 100000"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user);
        const bool bKilled = &c == &cases[4];
        CDialogRun run(FreshDir("dl-broken"), bKilled ? dying.Address() : server.Address(),
                       Widen(c.user), L"p");
        ASSERT_TRUE(run.WaitOffer(10000));
        Click(run.Dialog(), 1000);
        HWND hBox = run.Box(L"Ostrel Update Error", 20000);
        ASSERT_NE(hBox, nullptr);
        EXPECT_EQ(MessageText(hBox), kTextNotDownloaded);
        EXPECT_FALSE(Exists(run.Local(L"Ostrel Install.exe")));
        ASSERT_TRUE(Answer(hBox, IDOK));
        // The offer is back, and Close goes on to the form.
        EXPECT_TRUE(run.WaitOffer(3000));
        EXPECT_FALSE(IsShown(run.Dialog(), 1001));
        EXPECT_FALSE(IsShown(run.Dialog(), 1060));
        Click(run.Dialog(), IDCANCEL);
        EXPECT_EQ(run.WaitExit(kExitWait), 0u);
    }
}

TEST(UpdateWine, AbortAndStallEndStuckTransfersQuickly) {
    struct Case {
        const char* name;
        const char* faults;
        const wchar_t* stallMs; // the download's stall limit
        bool abort;             // the user presses Abort; else the stall limit acts
    } cases[] = {
        {"Abort on a slow server", "--rate 20000", L"20000", true},
        {"Abort on a frozen server", "--freeze-after 50000", L"20000", true},
        {"stall limit on a frozen server", "--freeze-after 50000", L"1500", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string home =
            MakeHome("stuck", VersionFile("Version=2.31.0.0"), SignedInstaller());
        CFtpServer server;
        ASSERT_TRUE(server.Start({"u:p:" + home}, c.faults));
        CDialogRun run(FreshDir("dl-stuck"), server.Address(), L"u", L"p", c.stallMs);
        ASSERT_TRUE(run.WaitOffer(10000));
        HWND hDlg = run.Dialog();
        Click(hDlg, 1000);
        // Some bytes arrive first.
        const DWORD t0 = GetTickCount();
        while (SendMessageW(GetDlgItem(hDlg, 1060), PBM_GETPOS, 0, 0) < 1 &&
               GetTickCount() - t0 < 10000)
            Sleep(20);
        Sleep(300);
        EXPECT_TRUE(Exists(run.Local(L"Ostrel Install.exe"))) << "the download is under way";
        const DWORD tAct = GetTickCount();
        if (c.abort)
            Click(hDlg, 1001);
        HWND hBox = run.Box(L"Ostrel Update Error", 10000);
        ASSERT_NE(hBox, nullptr);
        const DWORD waited = GetTickCount() - tAct;
        if (c.abort)
            EXPECT_LE(waited, 1000u) << "Abort answers within a second";
        else
            EXPECT_LE(waited, 4000u) << "a stalled transfer fails after its limit";
        EXPECT_EQ(MessageText(hBox), kTextNotDownloaded);
        EXPECT_FALSE(Exists(run.Local(L"Ostrel Install.exe")));
        ASSERT_TRUE(Answer(hBox, IDOK));
        Click(hDlg, IDCANCEL);
        EXPECT_EQ(run.WaitExit(kExitWait), 0u);
        EXPECT_FALSE(Exists(run.Local(L"Ostrel Install.exe")));
    }
}

namespace {

std::wstring InstallDir() {
    wchar_t local[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
    return std::wstring(local) + L"\\Programs\\Ostrel";
}

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ostrel";

std::wstring UninstallValue(const wchar_t* name) {
    wchar_t buf[512] = {};
    DWORD size = sizeof buf;
    if (RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, name, RRF_RT_REG_SZ, nullptr, buf, &size) !=
        ERROR_SUCCESS)
        return L"<absent>";
    return buf;
}

template <typename F> bool WaitUntil(F condition, DWORD nMs) {
    const DWORD t0 = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - t0 > nMs)
            return false;
        Sleep(100);
    }
    return true;
}

bool Installed() {
    return Exists(InstallDir() + L"\\Ostrel.exe") && Exists(InstallDir() + L"\\TORVEX.exe") &&
           Exists(InstallDir() + L"\\uninstall.exe") &&
           UninstallValue(L"UninstallString") != L"<absent>";
}

// Uninstalls silently; the uninstaller returns before it has finished.
void UninstallAndCheck() {
    SProcess uninstall;
    ASSERT_TRUE(uninstall.Start(InstallDir() + L"\\uninstall.exe", L"/S"));
    EXPECT_EQ(uninstall.WaitExit(30000), 0u);
    EXPECT_TRUE(WaitUntil(
        [] { return !Exists(InstallDir()) && UninstallValue(L"DisplayName") == L"<absent>"; },
        30000))
        << "files or the uninstall key are left";
}

} // namespace

TEST(UpdateWine, YesStartsTheInstallerAndTheReporterEnds) {
    RemoveTree(InstallDir());
    const std::string home =
        MakeHome("install", VersionFile("Version=2.31.0.0"), SignedInstaller());
    CFtpServer server;
    ASSERT_TRUE(server.Start({"u:p:" + home}, ""));
    CDialogRun run(FreshDir("dl-install"), server.Address(), L"u", L"p");
    ASSERT_TRUE(run.WaitOffer(10000));
    Click(run.Dialog(), 1000);
    HWND hBox = run.Box(L"Ostrel Update", 20000);
    ASSERT_NE(hBox, nullptr);
    ASSERT_TRUE(Answer(hBox, IDYES));
    EXPECT_EQ(run.WaitExit(kExitWait), 2u) << "the installer was started and the reporter ends";

    // The installer needs no answer: it installs and closes by itself.
    ASSERT_TRUE(WaitUntil(Installed, 60000)) << "nothing installed";
    EXPECT_EQ(UninstallValue(L"DisplayName"), L"Ostrel");
    EXPECT_EQ(UninstallValue(L"DisplayVersion"), L"2.30.1.0");
    EXPECT_EQ(UninstallValue(L"UninstallString"), L"\"" + InstallDir() + L"\\uninstall.exe\"");
    EXPECT_EQ(UninstallValue(L"InstallLocation"), InstallDir());
    // Every shipped file, as the build signed it.
    const std::wstring stage = WinPath(OSTREL_STAGE_DIR);
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((stage + L"\\*.*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int shipped = 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        ++shipped;
        EXPECT_EQ(ReadBytes(InstallDir() + L"\\" + data.cFileName),
                  ReadBytes(stage + L"\\" + data.cFileName))
            << std::string(data.cFileName, data.cFileName + wcslen(data.cFileName))
            << " is not the signed copy";
    } while (FindNextFileW(find, &data));
    FindClose(find);
    EXPECT_GE(shipped, 2) << "Ostrel.exe and TORVEX.exe at least";
    Sleep(1000); // let the installer window close before the uninstaller runs
    UninstallAndCheck();
}

TEST(UpdateWine, SilentInstallRefusesARunningProgram) {
    // The installer carries the programs' version.
    std::wstring version;
    EXPECT_TRUE(ostrel::GetFileVersionText(SignedInstaller(),
                                           ostrel::SVersionTextOptions().FourParts(), version));
    EXPECT_EQ(version, L"v.2.30.1.0");

    RemoveTree(InstallDir());
    {
        SProcess install;
        ASSERT_TRUE(install.Start(SignedInstaller(), L"/S"));
        EXPECT_EQ(install.WaitExit(60000), 0u);
    }
    ASSERT_TRUE(WaitUntil(Installed, 10000));
    const std::string before = ReadBytes(InstallDir() + L"\\Ostrel.exe");

    // The installed reporter runs (its update check finds nothing and it shows its form).
    SProcess ostrel;
    ASSERT_TRUE(ostrel.Start(InstallDir() + L"\\Ostrel.exe", L""));
    EXPECT_NE(WaitWindow(ostrel.m_pi.dwProcessId, L"Ostrel.exe - v.2.30.1.0", false, 30000),
              nullptr);
    {
        SProcess again;
        ASSERT_TRUE(again.Start(SignedInstaller(), L"/S"));
        EXPECT_EQ(again.WaitExit(60000), 2u) << "a locked program must fail the install loudly";
    }
    TerminateProcess(ostrel.m_pi.hProcess, 0);
    ostrel.WaitExit(10000);
    EXPECT_EQ(ReadBytes(InstallDir() + L"\\Ostrel.exe"), before);
    UninstallAndCheck();
}
