// The probes under Wine through the real paths: TORVEX.exe and its mailbox
// (the server records the commands it receives), the registry and version
// resources of the simulated practice, the stand-in plate-scanner control
// hosted in a window, and announcements sent from the Linux side over UDP.
// <winsock2.h> must come before <windows.h>.
#include <winsock2.h>

#include <windows.h>

#include "detection_wine_support.h"
#include "materiel.h"
#include "plate_scanner_host_win32.h"
#include "probe_ports_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ostrel;
using namespace ostrel::test;

namespace {

std::vector<std::string> Group(const char* read, const std::string& device) {
    return {"20;" + device, std::string(read) + ";" + device, "21;" + device};
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

} // namespace

TEST(DetectionServer, WiredBoxThroughTheRealServer) {
    ASSERT_TRUE(WaitNoServerWindow(3000)) << "a sensor server is already running";
    SServerEnvironment env("box=123A;clock=virtual", L"trace_wired.txt");
    CSystemProbePorts system;
    CMateriel m(system.Ports(), OwnFolder());
    ASSERT_TRUE(m.FindWiredSensor());
    const std::string box = Narrow(m.m_strWiredSensor);
    EXPECT_NE(box.find("pid_123a"), std::string::npos) << box;
    EXPECT_TRUE(m.HoldsServerProcess());
    EXPECT_TRUE(m.ReadSensorIdentity(m.m_strWiredSensor));
    EXPECT_TRUE(m.ReadBoxIdentity(m.m_strWiredSensor));
    EXPECT_TRUE(m.ReadLinkTypeText(m.m_strWiredSensor));
    EXPECT_EQ(m.m_strSensorSerial, L"1122334455");
    EXPECT_EQ(m.m_strSensorExposures, L"1560");
    EXPECT_EQ(m.m_strBoxSerial, L"ABCDEF");
    EXPECT_EQ(m.m_strBoxFirmware, L"0213");
    EXPECT_EQ(m.m_strLinkType, L"USB 2.0-1.1"); // the 123A box answers 2
    // The box is no direct sensor; the details group still runs in its order
    // and the direct-only answers (empty) leave the defaults.
    EXPECT_FALSE(m.FindDirectSensor());
    EXPECT_TRUE(m.PrepareDirectSensor(m.m_strDirectSensor[0]));
    EXPECT_TRUE(m.ReadDirectSensorDetails(m.m_strDirectSensor[0]));
    EXPECT_EQ(m.m_strCpldVersion[0], L"(unknown)");
    EXPECT_EQ(m.m_strUsbMv[0], L"(unknown)");
    EXPECT_FALSE(m.FindSecondDirectSensor()); // DetectUsbNext finds no other device
    m.StopServer();
    EXPECT_FALSE(m.HoldsServerProcess());
    EXPECT_TRUE(WaitNoServerWindow(3000));
    EXPECT_EQ(env.Commands(), Join({{"10;"},
                                    Group("40", box),
                                    Group("41", box),
                                    Group("43", box),
                                    {"10;"},
                                    {"20;" + box, "30;" + box},
                                    {"20;" + box, "30;" + box, "214;" + box, "21;" + box,
                                     "213;" + box, "210;" + box},
                                    {"12;"}}));
}

// Answers of differently set-up boxes, parsed as the Part says: the
// identity pair and the link type of each box family.
TEST(DetectionServer, AnswersOfEachBoxFamily) {
    struct Case {
        const char* sim;
        const wchar_t *serial, *exposures, *linkType;
    } cases[] = {
        // The server adds the sensor's counter block (60 here) to the frame's count.
        {"box=5841;clock=virtual;serial=A123;exposures=4651", L"A123", L"4711", L"USB 1.1"},
        {"box=123;clock=virtual", L"1122334455", L"1560", L"(unknown)"}, // link type 0
        {"box=123B;clock=virtual", L"1122334455", L"1560", L"USB 2.0"},
        {"box=0101;clock=virtual", L"1122334455", L"1560", L"USB 2.0-1.1"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WaitNoServerWindow(3000));
        SServerEnvironment env(c.sim, L"trace_family.txt");
        CSystemProbePorts system;
        CMateriel m(system.Ports(), OwnFolder());
        std::wstring box;
        ASSERT_TRUE(m.SendServerCommand(10, box)) << c.sim;
        m.ReadSensorIdentity(box);
        m.ReadLinkTypeText(box);
        EXPECT_EQ(m.m_strSensorSerial, c.serial) << c.sim;
        EXPECT_EQ(m.m_strSensorExposures, c.exposures) << c.sim;
        EXPECT_EQ(m.m_strLinkType, c.linkType) << c.sim;
        m.StopServer();
    }
}

TEST(DetectionServer, WirelessSensorAndASearchThatFindsNothing) {
    ASSERT_TRUE(WaitNoServerWindow(3000));
    SServerEnvironment env("box=5841;wireless=7;clock=virtual", L"trace_wireless.txt");
    CSystemProbePorts system;
    CMateriel m(system.Ports(), OwnFolder());
    m.m_strWiredSensor = L"earlier";
    EXPECT_FALSE(m.FindWiredSensor()); // pid_5841, then DetectUsbNext answers nothing
    EXPECT_EQ(m.m_strWiredSensor, L"earlier");
    std::wstring port = L"x";
    EXPECT_TRUE(m.SendServerCommand(11, port)); // no radio under Wine: the search finds nothing
    EXPECT_EQ(port, L"");
    const std::wstring com = L"\\\\.\\COM7";
    EXPECT_TRUE(m.ReadSensorIdentity(com));
    EXPECT_TRUE(m.ReadBoxIdentity(com));
    EXPECT_TRUE(m.ReadLinkTypeText(com));
    EXPECT_TRUE(m.ReadBatteryLevel(com));
    EXPECT_EQ(m.m_strSensorSerial, L"1122334455");
    EXPECT_EQ(m.m_strBoxSerial, L"ABCDEF");
    EXPECT_EQ(m.m_strLinkType, L"Wireless");
    EXPECT_EQ(m.m_strBattery, L"5600 mV");
    m.StopServer();
    EXPECT_TRUE(WaitNoServerWindow(3000));
    const std::string c = "\\\\.\\COM7";
    EXPECT_EQ(env.Commands(), Join({{"10;", "12;", "11;"},
                                    Group("40", c),
                                    Group("41", c),
                                    Group("43", c),
                                    Group("46", c)}));
}

TEST(DetectionServer, ServerAlreadyRunningIsUsedAndLeftRunning) {
    ASSERT_TRUE(WaitNoServerWindow(3000));
    SServerEnvironment env("box=123B;clock=virtual", L"trace_running.txt");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const std::wstring exe = OwnFolder() + L"TORVEX.exe";
    ASSERT_TRUE(CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    WaitForInputIdle(pi.hProcess, 10000);
    for (int i = 0; i < 100 && !FindWindowW(L"TORVEX_WND", nullptr); ++i)
        Sleep(50);
    {
        CSystemProbePorts system;
        CMateriel m(system.Ports(), OwnFolder());
        EXPECT_TRUE(m.FindWiredSensor());
        EXPECT_FALSE(m.HoldsServerProcess());
        m.StopServer();
    }
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 1000), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(env.Commands(), std::vector<std::string>{"10;"});
    PostThreadMessageW(pi.dwThreadId, WM_QUIT, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 5000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    EXPECT_TRUE(WaitNoServerWindow(3000));
}

// With the real clock: a window that never answers times the command out
// after 150 reads, and ignoring the quit message gets it ended after 2 s.
TEST(DetectionServer, SilentServerTimesOutAndIsForcedToEnd) {
    ASSERT_TRUE(WaitNoServerWindow(3000));
    SetEnvironmentVariableW(L"STUB_SERVER_IGNORE_QUIT", L"1");
    CSystemProbePorts system;
    CMateriel m(system.Ports(), OwnFolder() + L"stub_server\\");
    std::wstring answer = L"unchanged";
    const DWORD start = GetTickCount();
    EXPECT_FALSE(m.SendServerCommand(43, answer));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(answer, L"unchanged");
    EXPECT_GE(elapsed, 14500u);
    EXPECT_LT(elapsed, 30000u);
    ASSERT_TRUE(m.HoldsServerProcess());
    const DWORD stopStart = GetTickCount();
    m.StopServer();
    const DWORD stopElapsed = GetTickCount() - stopStart;
    EXPECT_GE(stopElapsed, 1900u);
    EXPECT_LT(stopElapsed, 8000u);
    EXPECT_FALSE(m.HoldsServerProcess());
    EXPECT_TRUE(WaitNoServerWindow(3000));
    SetEnvironmentVariableW(L"STUB_SERVER_IGNORE_QUIT", nullptr);
}

TEST(DetectionServer, MissingServerProgramFailsWithoutTouchingTheMailbox) {
    ASSERT_TRUE(WaitNoServerWindow(3000));
    const std::wstring folder = OwnFolder() + L"no_server\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    DeleteFileW((folder + L"TORVEX.INI").c_str());
    CSystemProbePorts system;
    CMateriel m(system.Ports(), folder);
    std::wstring answer = L"unchanged";
    EXPECT_FALSE(m.SendServerCommand(10, answer));
    EXPECT_EQ(answer, L"unchanged");
    EXPECT_EQ(GetFileAttributesW((folder + L"TORVEX.INI").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(m.FindWiredSensor());
    EXPECT_FALSE(m.HoldsServerProcess());
}

TEST(DetectionServer, MailboxAnswersAreCutTo259Characters) {
    const std::wstring path = OwnFolder() + L"mailbox_cut.ini";
    DeleteFileW(path.c_str());
    CMailboxFileWin32 mailbox;
    const std::wstring longAnswer(300, L'7');
    mailbox.WriteString(path, L"RESULT", longAnswer);
    mailbox.WriteString(path, L"READY", L"1");
    EXPECT_EQ(mailbox.ReadString(path, L"RESULT", L"", 260), std::wstring(259, L'7'));
    EXPECT_EQ(mailbox.ReadInt(path, L"READY", 0), 1);
    EXPECT_EQ(mailbox.ReadInt(path, L"MISSING", 5), 5);
    EXPECT_EQ(mailbox.ReadString(path, L"MISSING", L"dflt", 260), L"dflt");
    // The server reads the file with the 8-bit functions.
    char data[400] = {};
    GetPrivateProfileStringA("TORVEX", "RESULT", "", data, sizeof data, Narrow(path).c_str());
    EXPECT_EQ(std::string(data), std::string(300, '7'));
    DeleteFileW(path.c_str());
}
TEST(DetectionInventory, AgainstThePracticeRegistryAndDrivers) {
    InstallPractice(L"standard");
    struct Case {
        const wchar_t* set;
        bool b2820, b28285;
        const wchar_t *wired, *wireless, *direct, *bridge2820, *bridge28285, *camera, *plate;
    } cases[] = {
        {L"primary", true, true, L"tessel.sys - v.3.2.0", L"BTHUSB.sys - v.6.1.7601",
         L"CyUsb3.sys - v.1.2.3", L"emBDA.sys - \u00DF.1.0.12", L"usb28xxbga.sys - v.5.2.8",
         L"v.2.0.0", L"4.2.1"},
        {L"alternate", true, false, L"kalder.sys - v.2.0.1", L"BTHUSB.sys - v.6.1.7601",
         L"(not found)", L"emBDA.sys - \u00DF.1.0.12", L"", L"Vuemo.exe - v.2.0.0", L"3.0.7"},
        {L"none", false, false, L"", L"", L"(not found)", L"", L"", L"(not found)", L""},
    };
    for (const Case& c : cases) {
        InstallPractice(std::wstring(L"devices ") + c.set);
        CSystemProbePorts system;
        CMateriel m(system.Ports(), OwnFolder());
        const std::string set = Narrow(c.set);
        EXPECT_EQ(m.HasBridge2820(), c.b2820) << set;
        EXPECT_EQ(m.HasBridge28285(), c.b28285) << set;
        m.m_strLinkType = L"wireless"; // not exactly "Wireless": the wired services
        EXPECT_EQ(m.GetDriverText(1), c.wired) << set;
        m.m_strLinkType = L"Wireless";
        EXPECT_EQ(m.GetDriverText(1), c.wireless) << set;
        EXPECT_EQ(m.GetDriverText(2), c.direct) << set;
        EXPECT_EQ(m.GetDriverText(10), c.bridge2820) << set;
        EXPECT_EQ(m.GetDriverText(11), c.bridge28285) << set;
        EXPECT_EQ(m.GetDriverText(4), L"(none)") << set;
        EXPECT_EQ(m.GetCameraProgramVersion(), c.camera) << set;
        EXPECT_EQ(m.GetPlateScannerGen1Driver(), c.plate) << set;
    }
    InstallPractice(L"none");
    CSystemProbePorts system;
    CMateriel m(system.Ports(), OwnFolder());
    EXPECT_EQ(m.GetCameraProgramVersion(), L"(not found)");
}

TEST(DetectionInventory, RegistryValueThatFillsTheBuffer) {
    const wchar_t* key = L"SOFTWARE\\OstrelDetectionTest";
    HKEY h = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
        ERROR_SUCCESS);
    const std::wstring full(511, L'x'); // with its terminator: exactly the 1024 bytes
    const std::wstring unterminated(512, L'z');
    const std::wstring tooLong(600, L'y');
    RegSetValueExW(h, L"Full", 0, REG_SZ, reinterpret_cast<const BYTE*>(full.c_str()), 1024);
    RegSetValueExW(h, L"Unterminated", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(unterminated.data()), 1024);
    RegSetValueExW(h, L"Long", 0, REG_SZ, reinterpret_cast<const BYTE*>(tooLong.c_str()),
                   static_cast<DWORD>((tooLong.size() + 1) * 2));
    RegSetValueExW(h, L"Short", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"abc"), 8);
    RegCloseKey(h);
    CSystemProbePorts system;
    CMateriel m(system.Ports(), OwnFolder());
    std::wstring text;
    EXPECT_TRUE(m.ReadRegistryText(key, L"Full", text));
    EXPECT_EQ(text, std::wstring(511, L'x'));
    // 512 characters and no terminator: whatever the platform hands over,
    // the text ends inside the buffer.
    m.ReadRegistryText(key, L"Unterminated", text);
    EXPECT_LE(text.size(), 511u);
    EXPECT_EQ(text.find_first_not_of(L'z'), std::wstring::npos);
    EXPECT_FALSE(m.ReadRegistryText(key, L"Long", text));
    EXPECT_EQ(text, L"");
    EXPECT_TRUE(m.ReadRegistryText(key, L"Short", text));
    EXPECT_EQ(text, L"abc");
    text = L"kept";
    EXPECT_FALSE(m.ReadRegistryText(L"SOFTWARE\\OstrelNoSuchKey", L"Short", text));
    EXPECT_EQ(text, L"kept");
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
}

namespace {

// A stand-in for the form: a top-level window that routes the socket message.
struct STestWindow {
    HWND m_hWnd = nullptr;
    STestWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DatagramWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OstrelDetectionTestWindow";
        RegisterClassW(&wc);
        m_hWnd = CreateWindowW(wc.lpszClassName, L"detection test", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                               200, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~STestWindow() { DestroyWindow(m_hWnd); }
    void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    bool Responds() {
        SetWindowTextW(m_hWnd, L"still alive");
        wchar_t text[32] = {};
        GetWindowTextW(m_hWnd, text, 32);
        return std::wstring(text) == L"still alive";
    }
};

} // namespace

TEST(DetectionPlateScanner, HostedControlAnswersThroughDispatch) {
    ASSERT_EQ(Register("DllRegisterServer"), S_OK);
    const HRESULT hrOle = OleInitialize(nullptr); // the form's thread keeps OLE for its life
    const std::wstring log = OwnFolder() + L"lumeno_calls.txt";
    SetEnvironmentVariableW(L"LUMENO_SIM_LOG", log.c_str());
    STestWindow window;
    ASSERT_TRUE(window.m_hWnd);
    CSystemProbePorts system;
    CMateriel m(system.Ports(), OwnFolder());
    struct Case {
        const char* script;
        bool result;
        std::vector<std::string> calls;
    } cases[] = {
        {"open=1",
         true,
         {"1(4,4,C:\\VARNIK\\Images\\)", "6(C:\\VARNIK\\Images\\LstLumeno.bmp)", "8()", "21()",
          "2()"}},
        {"open=0", false, {"1(4,4,C:\\VARNIK\\Images\\)"}},
        {"open=2", false, {"1(4,4,C:\\VARNIK\\Images\\)"}},
        {"fail=1", false, {"1(4,4,C:\\VARNIK\\Images\\)"}},
        {"fail=6;fail=21",
         true,
         {"1(4,4,C:\\VARNIK\\Images\\)", "6(C:\\VARNIK\\Images\\LstLumeno.bmp)", "8()", "21()",
          "2()"}},
    };
    for (const Case& c : cases) {
        SetEnvironmentVariableA("LUMENO_SIM", c.script);
        DeleteFileW(log.c_str());
        CPlateScannerHost host;
        ASSERT_TRUE(host.Create(window.m_hWnd, 1234)) << c.script;
        EXPECT_EQ(GetDlgItem(window.m_hWnd, 1234), host.Window());
        EXPECT_TRUE(host.HasWindow());
        EXPECT_EQ(m.ProbePlateScannerGen1(&host, L"C:\\VARNIK\\Images\\"), c.result) << c.script;
        EXPECT_EQ(ReadLines(log), c.calls) << c.script;
        host.Destroy();
        EXPECT_EQ(GetDlgItem(window.m_hWnd, 1234), nullptr);
    }

    // Not registered: no control, no host window left, and the form goes on.
    ASSERT_EQ(Register("DllUnregisterServer"), S_OK);
    CoFreeUnusedLibraries();
    SetEnvironmentVariableA("LUMENO_SIM", "open=1");
    DeleteFileW(log.c_str());
    CPlateScannerHost host;
    EXPECT_FALSE(host.Create(window.m_hWnd, 1234));
    EXPECT_FALSE(host.HasWindow());
    EXPECT_EQ(GetDlgItem(window.m_hWnd, 1234), nullptr);
    EXPECT_FALSE(m.ProbePlateScannerGen1(&host, L"C:\\VARNIK\\Images\\"));
    EXPECT_TRUE(ReadLines(log).empty());
    window.Pump();
    EXPECT_TRUE(window.Responds());
    SetEnvironmentVariableA("LUMENO_SIM", nullptr);
    SetEnvironmentVariableW(L"LUMENO_SIM_LOG", nullptr);
    if (SUCCEEDED(hrOle))
        OleUninitialize();
}

TEST(DetectionPlateScanner, AnnouncementsFromTheLinuxSide) {
    STestWindow window;
    CSystemProbePorts system;
    CMateriel m(system.Ports(), OwnFolder());
    g_pDatagramTarget = &m;
    // The port is the machine's: another build's run may hold it for a while.
    for (int i = 0; i < 120 && !PortIsFree(); ++i)
        Sleep(500);
    ASSERT_TRUE(PortIsFree());
    ASSERT_TRUE(m.StartPlateScannerListener(reinterpret_cast<uintptr_t>(window.m_hWnd)));
    EXPECT_FALSE(PortIsFree());

    const std::string done = std::string(OSTREL_TEST_BIN_UNIX) + "/announcer_done.txt";
    const std::wstring doneWin = FromUnix(done.c_str());
    const std::vector<const char*> items = {
        "LG2-0001/192.168.0.10/12LG",
        "LG2-0002/192.168.0.11/3401/be",
        "LG2-0001/192.168.0.99/3401",
        "BAD-LENGTH/10.0.0.1/12LG/len",
        "BAD-SHORT/10.0.0.2/12LG/short",
        "BAD-LONG/10.0.0.3/12LG/long",
        "BAD-MARKER/10.0.0.4/12LG/marker",
        "BAD-TYPE/10.0.0.5/12LG/type",
        "ABCDEFGHIJKLMNOP/10.0.0.16/61LL",
        "S3/10.0.0.3/12LG",
        "S4/10.0.0.4/12LG",
        "S5/10.0.0.5/12LG",
        "S6/10.0.0.6/12LG",
        "S7/10.0.0.7/12LG",
        "S8/10.0.0.8/12LG",
        "S9/10.0.0.9/12LG/be",
        "S11/10.0.0.11/12LG",
        "LG2-0002/10.0.0.12/12LG",
    };
    ASSERT_TRUE(StartAnnouncer(items, done));
    const DWORD start = GetTickCount();
    while (GetFileAttributesW(doneWin.c_str()) == INVALID_FILE_ATTRIBUTES &&
           GetTickCount() - start < 20000) {
        window.Pump();
        Sleep(10);
    }
    ASSERT_NE(GetFileAttributesW(doneWin.c_str()), INVALID_FILE_ATTRIBUTES) << "no announcer";
    for (int i = 0; i < 50; ++i) {
        window.Pump();
        Sleep(10);
    }

    struct SEntry {
        const wchar_t *serial, *ip, *firmware;
    } expected[] = {
        {L"LG2-0001", L"192.168.0.10", L"1.1.2 (LG)"},
        {L"LG2-0002", L"192.168.0.11", L"01.34"},
        {L"ABCDEFGHIJKLMNOP", L"10.0.0.16", L"6.6.1 (LL)"},
        {L"S3", L"10.0.0.3", L"1.1.2 (LG)"},
        {L"S4", L"10.0.0.4", L"1.1.2 (LG)"},
        {L"S5", L"10.0.0.5", L"1.1.2 (LG)"},
        {L"S6", L"10.0.0.6", L"1.1.2 (LG)"},
        {L"S7", L"10.0.0.7", L"1.1.2 (LG)"},
        {L"S8", L"10.0.0.8", L"1.1.2 (LG)"},
        {L"S9", L"10.0.0.9", L"1.1.2 (LG)"},
    };
    ASSERT_EQ(m.GetPlateScannerCount(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(m.GetPlateScannerSerial(i), expected[i].serial) << i;
        EXPECT_EQ(m.GetPlateScannerIp(i), expected[i].ip) << i;
        EXPECT_EQ(m.GetPlateScannerFirmware(i), expected[i].firmware) << i;
    }
    m.StopPlateScannerListener();
    EXPECT_TRUE(PortIsFree());
    g_pDatagramTarget = nullptr;
    EXPECT_EQ(m.GetPlateScannerCount(), 10);
}
