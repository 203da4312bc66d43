// TORVEX.exe served to a separate client process through the mailbox
// handshake, against simulated devices and on the real (empty) device path.
#include "server_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

using namespace torvex::client;

namespace {

std::wstring ServerExe() {
    return OwnFolder() + L"TORVEX.exe";
}

struct SExpect {
    unsigned command;
    const char* data; // nullptr: DATA left as it is
    int error;
    const char* result; // nullptr: not checked
};

void RunTable(CServerProcess& server, const std::vector<SExpect>& table, const char* what) {
    for (const SExpect& e : table) {
        const SAnswer a = e.data ? server.Send(e.command, e.data) : server.Send(e.command);
        ASSERT_TRUE(a.m_bAnswered) << what << ": command " << e.command << " timed out";
        EXPECT_EQ(a.m_nError, e.error) << what << ": command " << e.command;
        if (e.result) {
            EXPECT_EQ(a.m_strResult, e.result) << what << ": command " << e.command;
        }
        EXPECT_LT(a.m_nPolls, 60) << what << ": command " << e.command << " was slow";
    }
}

} // namespace

TEST(ServerWine, BoxCommandsThroughTheMailbox) {
    CServerProcess server(ServerExe(), "box=5841;clock=virtual");
    ASSERT_TRUE(server.Started());
    const SAnswer found = server.Send(10, "");
    ASSERT_TRUE(found.m_bAnswered);
    EXPECT_EQ(found.m_nError, 0);
    EXPECT_NE(found.m_strResult.find("pid_5841"), std::string::npos) << found.m_strResult;
    const std::string box = found.m_strResult;
    RunTable(server,
             {
                 {12, nullptr, 1168, ""},
                 {20, box.c_str(), 0, ""},
                 {40, nullptr, 0, "1;1122334455;1560"},
                 {41, nullptr, 0, "ABCDEF;0213"},
                 {43, nullptr, 0, "1"},
                 {42, nullptr, 0, "0;0"},
                 {32, nullptr, 0, ""},
                 {32, nullptr, 21, ""},
                 {36, "0", 1, ""},
                 {36, "61", 1, ""},
                 {36, "30", 21, ""},
                 {42, box.c_str(), 0, "0;1"},
                 {35, box.c_str(), 0, ""},
                 {36, "30", 0, ""},
                 {37, "1", 0, ""},
                 {37, "2", 1, ""},
                 {38, "1;0", 0, ""},
                 {50, "5;6", 0, ""},
                 {51, "1;1", 0, ""},
                 {52, box.c_str(), 0, ""},
                 {4200, "176;1;2;0;0;0;0;0", 0, "176;1;220;5;0;0;0;0"}, // 1500 exposures
                 {4200, "176;1;2;0;0;0;0", 0, ""},
                 {30, box.c_str(), 0, ""},
                 {46, nullptr, 0, ""},
                 {99, nullptr, 22, ""},
                 {11, nullptr, 0, ""},  // Bluefind beside Wine's own Bluetooth: no sensor
                 {44, "3", 0, nullptr}, // the box's image: the temporary bitmap
                 {45, nullptr, 0, nullptr},
                 {210, nullptr, 10, ""},
                 {212, "R;141;0;64", 10, ""},
                 {300, "C:\\no\\such.bmp", 2, ""},
                 {200, nullptr, 1, ""},
                 {201, nullptr, 0, ""},
                 {21, nullptr, 0, ""},
             },
             "box");
    EXPECT_EQ(server.Read("BLEMISH", "NUMBER"), "3");
    EXPECT_EQ(server.Read("BLEMISH", "3"), "5;6");
}

TEST(ServerWine, WirelessSensorOnSimulatedPort) {
    CServerProcess server(ServerExe(), "wireless=7;clock=virtual;fault=badenv:B001:0:1");
    ASSERT_TRUE(server.Started());
    RunTable(server,
             {
                 {20, "\\\\.\\COM7", 0, ""},
                 {40, nullptr, 13, ""}, // the first B0 01 answer comes in a bad envelope
                 {40, nullptr, 0, "1;1122334455;1560"},
                 {41, nullptr, 0, "ABCDEF;0213"},
                 {46, nullptr, 0, "5600"},
                 {43, nullptr, 0, "4"},
                 {32, nullptr, 0, ""},
                 {32, nullptr, 21, ""},
                 {42, nullptr, 0, "0;1"},
                 {35, nullptr, 0, ""},
                 {36, "10", 0, ""},
                 {37, "0", 0, ""},
                 {38, "0;1", 0, ""},
                 {50, "1;2", 0, ""},
                 {51, "0;0", 0, ""},
                 {52, nullptr, 0, ""},
                 {4200, "176;3;1;0;0;0;0;0", 0, "176;3;1;0;0;0;0;0"},
                 {30, nullptr, 0, ""},
                 {12, nullptr, 1168, ""},
                 {21, nullptr, 0, ""},
                 {20, "\\\\.\\COM8", 0, ""},
                 {46, nullptr, 2, ""}, // no such port
                 {21, nullptr, 0, ""},
             },
             "wireless");
    EXPECT_EQ(server.Read("BLEMISH", "NUMBER"), "3");
    EXPECT_EQ(server.Read("BLEMISH", "3"), "1;2");
}

TEST(ServerWine, PolledBoxWaitsForTheStateAnswer) {
    CServerProcess server(ServerExe(), "box=123;clock=virtual;fault=late:B003:7000");
    ASSERT_TRUE(server.Started());
    RunTable(server, {{10, "", 0, nullptr}, {43, nullptr, 0, "0"}, {42, nullptr, 0, "0;0"}},
             "polled");
}

// A device that stops answering, answers busy or rejects, or disappears: each
// command still ends with READY 1 and its code, and the next one is served.
TEST(ServerWine, FaultsEndEveryCommand) {
    struct Case {
        const char* sim;
        std::vector<SExpect> table;
    } cases[] = {
        {"box=5841;clock=virtual;fault=silent:*",
         {{20, "", 0, ""}, {40, nullptr, 121, ""}, {41, nullptr, 121, ""}, {43, nullptr, 0, "1"}}},
        {"box=5841;clock=virtual;fault=busy:B001",
         {{20, "", 0, ""}, {40, nullptr, 170, ""}, {41, nullptr, 0, nullptr}}},
        {"box=123A;clock=virtual;fault=reject:*",
         {{20, "", 0, ""}, {40, nullptr, 22, ""}, {52, nullptr, 22, ""}}},
        {"box=5841;clock=virtual;fault=late:B002:6000", {{20, "", 0, ""}, {41, nullptr, 1460, ""}}},
        {"box=5841;clock=virtual;fault=gone:*:4",
         {{20, "", 0, ""}, {40, nullptr, 1167, ""}, {40, nullptr, 2, ""}, {10, nullptr, 1168, ""}}},
        {"wireless=7;clock=virtual;fault=silent:C00A",
         {{20, "\\\\.\\COM7", 0, ""},
          {46, nullptr, 997, ""},
          {46, nullptr, 997, ""},
          {40, nullptr, 0, nullptr}}},
        {"wireless=7;clock=virtual;fault=gone:*:2",
         {{20, "\\\\.\\COM7", 0, ""},
          {40, nullptr, 1167, ""},
          {40, nullptr, 2, ""},
          {21, nullptr, 0, ""}}},
    };
    for (const Case& c : cases) {
        CServerProcess server(ServerExe(), c.sim);
        ASSERT_TRUE(server.Started()) << c.sim;
        RunTable(server, c.table, c.sim);
        RunTable(server, {{99, nullptr, 22, ""}}, c.sim);
    }
}

// Without the switch every port is the real one: Wine has no box and no
// such serial port, and the answers say so.
TEST(ServerWine, RealDevicePathAnswersHonestly) {
    CServerProcess server(ServerExe(), nullptr);
    ASSERT_TRUE(server.Started());
    RunTable(server,
             {
                 {10, "", 1168, ""},
                 {20, "", 0, ""},
                 {40, nullptr, 1168, ""},
                 {20, "\\\\.\\COM42", 0, ""},
                 {40, nullptr, 2, ""},
                 {21, nullptr, 0, ""},
                 {11, nullptr, 0, ""},
                 // The direct sensors' class has no interface under Wine.
                 {200, nullptr, 1, ""},
                 {210, nullptr, 10, ""},
             },
             "real");
}

TEST(ServerWine, MailboxFollowsTheExecutablesName) {
    const std::wstring other = OwnFolder() + L"Other.exe";
    ASSERT_TRUE(::CopyFileW(ServerExe().c_str(), other.c_str(), FALSE));
    {
        CServerProcess server(other, "box=5841;clock=virtual");
        ASSERT_TRUE(server.Started());
        EXPECT_NE(server.Mailbox().find("Other.INI"), std::string::npos);
        RunTable(server, {{20, "", 0, ""}, {43, nullptr, 0, "1"}}, "Other.exe");
        EXPECT_EQ(server.Read("TORVEX", "READY"), "1");
    }
    ::DeleteFileW(other.c_str());
}

TEST(ServerWine, WirelessSearchLibraryBinding) {
    const std::wstring folder = OwnFolder() + L"with_bluefind\\";
    const std::wstring exe = folder + L"TORVEX.exe";
    ASSERT_TRUE(::CopyFileW(ServerExe().c_str(), exe.c_str(), FALSE));
    struct Case {
        const char* result;
        int error;
        const char* port;
    } cases[] = {{nullptr, 0, "\\\\.\\COM7"}, {"-7", -7, ""}, {"1168", 0, ""}};
    for (const Case& c : cases) {
        ::SetEnvironmentVariableA("BLUEFIND_STAND_IN_RESULT", c.result);
        CServerProcess server(exe, "clock=virtual");
        ASSERT_TRUE(server.Started());
        RunTable(server, {{11, "", c.error, c.port}}, c.result ? c.result : "found");
    }
    ::SetEnvironmentVariableA("BLUEFIND_STAND_IN_RESULT", nullptr);
}

// A watcher reads the whole mailbox file as fast as it can while commands
// run: whenever it sees READY 1, RESULT and ERROR already hold their final
// values. (ReadState is left out: its inner StopAcquisition answers first.)
TEST(ServerWine, ReadyIsNeverWrittenBeforeTheFinalAnswer) {
    CServerProcess server(ServerExe(), "box=5841"); // real clock: ReadSensor pauses 500 ms
    ASSERT_TRUE(server.Started());
    const std::string path = server.Mailbox();
    struct SSnapshot {
        std::string ready, result, error;
    };
    auto snapshot = [&path](SSnapshot& s) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        std::string line;
        bool bSection = false, bReady = false, bResult = false, bError = false;
        while (std::getline(all, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty() && line[0] == '[') {
                bSection = line == "[TORVEX]";
                continue;
            }
            if (!bSection)
                continue;
            const size_t eq = line.find('=');
            if (eq == std::string::npos)
                continue;
            const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
            if (key == "READY")
                s.ready = value, bReady = true;
            else if (key == "RESULT")
                s.result = value, bResult = true;
            else if (key == "ERROR")
                s.error = value, bError = true;
        }
        return bReady && bResult && bError; // a file caught while being rewritten is skipped
    };
    struct SCommand {
        unsigned command;
        const char* data;
    } commands[] = {{10, ""},      {40, nullptr}, {41, nullptr},
                    {52, nullptr}, {99, nullptr}, {36, "0"}};
    ASSERT_TRUE(server.Send(43, "").m_bAnswered); // every key is in the file from now on
    for (const SCommand& c : commands) {
        std::atomic<bool> bStop{false};
        std::vector<SSnapshot> seen;
        if (c.data)
            server.Write("TORVEX", "DATA", c.data);
        server.Write("TORVEX", "READY", "0");
        std::thread watcher([&] {
            while (!bStop) {
                SSnapshot s;
                if (snapshot(s))
                    seen.push_back(s);
            }
        });
        const SAnswer a = server.Send(c.command);
        ::Sleep(150); // let the watcher look at the settled file too
        bStop = true;
        watcher.join();
        ASSERT_TRUE(a.m_bAnswered) << c.command;
        size_t nReadyOnes = 0;
        for (const SSnapshot& s : seen) {
            if (s.ready != "1")
                continue;
            ++nReadyOnes;
            EXPECT_EQ(s.result, a.m_strResult) << "command " << c.command;
            EXPECT_EQ(s.error, std::to_string(a.m_nError)) << "command " << c.command;
        }
        EXPECT_GT(nReadyOnes, 0u) << "command " << c.command;
        if (c.command == 40) { // pauses 500 ms: the watcher must have seen it running
            EXPECT_GT(seen.size(), nReadyOnes + 10);
        }
    }
}

namespace {

struct SFound {
    DWORD m_dwProcess;
    const wchar_t* m_pTitle;
    HWND m_hWnd;
};

// A top-level window of the server process with this title, waited for.
HWND WaitForServerWindow(DWORD dwProcess, const wchar_t* pTitle) {
    for (int i = 0; i < 100; ++i) {
        SFound found{dwProcess, pTitle, nullptr};
        ::EnumWindows(
            [](HWND h, LPARAM l) -> BOOL {
                auto* f = reinterpret_cast<SFound*>(l);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(h, &pid);
                wchar_t title[128] = {};
                ::GetWindowTextW(h, title, 128);
                if (pid == f->m_dwProcess && std::wstring(title) == f->m_pTitle &&
                    ::IsWindowVisible(h)) {
                    f->m_hWnd = h;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        if (found.m_hWnd)
            return found.m_hWnd;
        ::Sleep(50);
    }
    return nullptr;
}

// Text of the message box's static text control.
std::string MessageText(HWND hBox) {
    std::string text;
    ::EnumChildWindows(
        hBox,
        [](HWND h, LPARAM l) -> BOOL {
            wchar_t cls[32] = {};
            ::GetClassNameW(h, cls, 32);
            if (std::wstring(cls) == L"Static") {
                char buf[512] = {};
                ::GetWindowTextA(h, buf, sizeof buf);
                if (buf[0])
                    *reinterpret_cast<std::string*>(l) = buf;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

void CloseBox(HWND hBox) {
    ::PostMessageW(hBox, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && ::IsWindow(hBox); ++i)
        ::Sleep(20);
}

} // namespace

// The developer's menu of the hidden frame, and the about box.
TEST(ServerWine, MenuItemsAndAboutBox) {
    CServerProcess server(ServerExe(), "box=5841;clock=virtual");
    ASSERT_TRUE(server.Started());
    const HWND hFrame = server.Window();

    ::PostMessageW(hFrame, WM_COMMAND, 0xE140, 0); // About
    const HWND hAbout = WaitForServerWindow(server.ProcessId(), L"About TORVEX");
    ASSERT_TRUE(hAbout);
    char text[64] = {};
    ::GetDlgItemTextA(hAbout, 1001, text, sizeof text);
    EXPECT_STREQ(text, "TORVEX Version 1.0");
    CloseBox(hAbout);
    EXPECT_FALSE(::IsWindow(hAbout));

    ::PostMessageW(hFrame, WM_COMMAND, 32771, 0); // Detect USB: sent, then shown
    HWND hBox = WaitForServerWindow(server.ProcessId(), L"TORVEX");
    ASSERT_TRUE(hBox);
    const std::string path = MessageText(hBox);
    EXPECT_NE(path.find("pid_5841"), std::string::npos) << path;
    EXPECT_EQ(server.Read("TORVEX", "READY"), "1");
    CloseBox(hBox);

    server.Write("TORVEX", "DATA", path);
    ::PostMessageW(hFrame, WM_COMMAND, 32773, 0); // Init Link: posted
    ::Sleep(300);
    ::PostMessageW(hFrame, WM_COMMAND, 32776, 0); // Read Sensor
    hBox = WaitForServerWindow(server.ProcessId(), L"TORVEX");
    ASSERT_TRUE(hBox);
    EXPECT_EQ(MessageText(hBox), "1;1122334455;1560");
    CloseBox(hBox);

    // Stop Link writes the neutral answer, then copies RESULT into DATA.
    server.Write("TORVEX", "READY", "0");
    ::PostMessageW(hFrame, WM_COMMAND, 32774, 0);
    for (int i = 0; i < 50 && server.Read("TORVEX", "READY") != "1"; ++i)
        ::Sleep(50);
    EXPECT_EQ(server.Read("TORVEX", "DATA"), "");
    EXPECT_EQ(server.Read("TORVEX", "ERROR"), "0");
    RunTable(server, {{99, nullptr, 22, ""}}, "after the menu");
}
