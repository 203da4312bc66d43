// The sensor-server client against a scripted server: the commands each
// operation sends, with the DATA they carry, and how answers land in members.
#include "materiel.h"
#include "probe_fakes.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

using namespace ostrel;

namespace {

struct SReply {
    std::wstring m_strResult;
    int m_nReadyAfterReads = 1; // 0: never ready
};

struct SSent {
    unsigned m_nCommand;
    std::wstring m_strData;
    bool operator==(const SSent& o) const {
        return m_nCommand == o.m_nCommand && m_strData == o.m_strData;
    }
};

std::ostream& operator<<(std::ostream& os, const SSent& s) {
    return os << s.m_nCommand << "[" << std::string(s.m_strData.begin(), s.m_strData.end()) << "]";
}

// A server process and its mailbox: a command posted gets its scripted
// RESULT and READY 1 after the scripted number of READY reads.
class CFakeServer : public IServerPlatform, public IMailboxFile, public IWaitClock {
public:
    bool m_bRunning = false; // a server window exists
    bool m_bStartable = true;
    bool m_bIdles = true;
    bool m_bHonoursQuit = true;
    std::map<unsigned, std::deque<SReply>> m_replies;
    std::vector<SSent> m_sent;
    std::vector<std::string> m_process; // process calls in order
    std::map<std::wstring, std::wstring> m_ini;
    unsigned m_nSleptMs = 0;
    int m_nReadyReads = 0;
    int m_nStarts = 0;
    unsigned m_nAnswerChars = 0;
    uintptr_t m_nNextHandle = 0x100;
    uintptr_t m_hLive = 0; // handle of the process that runs, 0 when none
    bool m_bExited = false;

    void Script(unsigned command, std::vector<SReply> replies) {
        for (auto& r : replies)
            m_replies[command].push_back(r);
    }

    uintptr_t FindServerWindow() override { return m_bRunning ? 0x77 : 0; }
    bool StartServer(const std::wstring& exe, SServerProcess& p) override {
        m_process.push_back("start " + std::string(exe.begin(), exe.end()));
        if (!m_bStartable)
            return false;
        ++m_nStarts;
        p.m_hProcess = m_hLive = m_nNextHandle++;
        p.m_dwThreadId = 4242;
        m_bRunning = true;
        m_bExited = false;
        return true;
    }
    bool WaitUntilIdle(const SServerProcess&, unsigned ms) override {
        m_process.push_back("idle " + std::to_string(ms));
        return m_bIdles;
    }
    bool WaitForExit(const SServerProcess& p, unsigned ms) override {
        m_process.push_back("wait " + std::to_string(ms));
        return p.m_hProcess == m_hLive && m_bExited;
    }
    unsigned RegisterCommandMessage() override { return 0xC123; }
    bool PostCommand(uintptr_t hWnd, unsigned msg, unsigned command) override {
        EXPECT_EQ(hWnd, 0x77u);
        EXPECT_EQ(msg, 0xC123u);
        m_sent.push_back({command, m_ini[L"DATA"]});
        auto& queue = m_replies[command];
        m_pending = queue.empty() ? SReply{} : queue.front();
        if (!queue.empty())
            queue.pop_front();
        m_nReadsLeft = m_pending.m_nReadyAfterReads;
        return true;
    }
    void PostQuit(const SServerProcess& p) override {
        m_process.push_back("quit " + std::to_string(p.m_dwThreadId));
        if (m_bHonoursQuit)
            Exit();
    }
    bool GetExitCode(const SServerProcess&, uint32_t& code) override {
        code = m_bExited ? 0 : 259;
        return true;
    }
    void Terminate(const SServerProcess&, uint32_t code) override {
        m_process.push_back("terminate " + std::to_string(code));
        Exit();
    }
    void Release(SServerProcess& p) override {
        m_process.push_back("release");
        p = SServerProcess();
    }

    void WriteString(const std::wstring& path, const std::wstring& key,
                     const std::wstring& value) override {
        EXPECT_EQ(path, L"C:\\Tools\\TORVEX.INI");
        m_ini[key] = value;
    }
    int ReadInt(const std::wstring&, const std::wstring& key, int def) override {
        if (key == L"READY") {
            ++m_nReadyReads;
            if (m_nReadsLeft > 0 && --m_nReadsLeft == 0) {
                m_ini[L"RESULT"] = m_pending.m_strResult;
                m_ini[L"READY"] = L"1";
            }
        }
        auto it = m_ini.find(key);
        return it == m_ini.end() ? def : std::stoi(it->second);
    }
    std::wstring ReadString(const std::wstring&, const std::wstring& key, const std::wstring& def,
                            unsigned chars) override {
        m_nAnswerChars = chars;
        auto it = m_ini.find(key);
        return it == m_ini.end() ? def : it->second.substr(0, chars - 1);
    }
    void Sleep(unsigned ms) override { m_nSleptMs += ms; }

private:
    void Exit() {
        m_bExited = true;
        m_bRunning = false;
    }
    SReply m_pending;
    int m_nReadsLeft = 0;
};

struct SFixture {
    CFakeServer server;
    test::CNullInventory inventory;
    test::CNullDatagrams datagrams;
    CMateriel materiel{{server, server, server, inventory, datagrams}, L"C:\\Tools\\"};
    SFixture() { server.m_bRunning = true; }
};

const std::wstring kBox = L"\\\\?\\usb#vid_1a2b&pid_123a#5&1&0#{guid}";

std::vector<SSent> Group(unsigned read, const std::wstring& device) {
    return {{20, device}, {read, device}, {21, device}};
}

} // namespace

TEST(SensorClient, DeviceOperationsSendTheirGroupsAndFillMembers) {
    SFixture f;
    f.server.Script(40, {{L"1;1122334455;1560"}});
    f.server.Script(41, {{L"ABCDEF;0213"}});
    f.server.Script(43, {{L"4"}});
    f.server.Script(46, {{L"5600"}});
    EXPECT_TRUE(f.materiel.ReadSensorIdentity(kBox));
    EXPECT_TRUE(f.materiel.ReadBoxIdentity(kBox));
    EXPECT_TRUE(f.materiel.ReadLinkTypeText(kBox));
    EXPECT_TRUE(f.materiel.ReadBatteryLevel(kBox));
    std::vector<SSent> expected;
    for (unsigned read : {40u, 41u, 43u, 46u})
        for (const SSent& s : Group(read, kBox))
            expected.push_back(s);
    EXPECT_EQ(f.server.m_sent, expected);
    EXPECT_EQ(f.materiel.m_strSensorSerial, L"1122334455");
    EXPECT_EQ(f.materiel.m_strSensorExposures, L"1560");
    EXPECT_EQ(f.materiel.m_strBoxSerial, L"ABCDEF");
    EXPECT_EQ(f.materiel.m_strBoxFirmware, L"0213");
    EXPECT_EQ(f.materiel.m_strLinkType, L"Wireless");
    EXPECT_EQ(f.materiel.m_strBattery, L"5600 mV");
    EXPECT_EQ(f.server.m_ini[L"DATA"], L"");
    EXPECT_EQ(f.server.m_nAnswerChars, 260u);
}

TEST(SensorClient, AnswerParsing) {
    struct Case {
        unsigned command;
        const wchar_t* answer;
        const wchar_t* first;  // serial, box serial, link type or battery
        const wchar_t* second; // exposures or firmware (nullptr: single member)
    } cases[] = {
        {40, L"0;A123;4711", L"A123", L"4711"},
        {40, L"0;A123", L"(unknown)", L"(unknown)"},
        {40, L"0;;4711", L"(unknown)", L"(unknown)"}, // an empty serial does not shift 4711 in
        {40, L"", L"(unknown)", L"(unknown)"},
        {41, L"ABCDEF;0213", L"ABCDEF", L"0213"},
        {41, L";0213", L"(unknown)", L"(unknown)"},
        {43, L"1", L"USB 1.1", nullptr},
        {43, L"2", L"USB 2.0-1.1", nullptr},
        {43, L"3", L"USB 2.0", nullptr},
        {43, L"5", L"(unknown)", nullptr},
        {43, L"33", L"(unknown)", nullptr},
        {46, L"", L"(unknown)", nullptr},
        {46, L"4100", L"4100 mV", nullptr},
    };
    for (const Case& c : cases) {
        SFixture f;
        f.server.Script(c.command, {{c.answer}});
        std::wstring first, second;
        switch (c.command) {
        case 40:
            f.materiel.ReadSensorIdentity(kBox);
            first = f.materiel.m_strSensorSerial;
            second = f.materiel.m_strSensorExposures;
            break;
        case 41:
            f.materiel.ReadBoxIdentity(kBox);
            first = f.materiel.m_strBoxSerial;
            second = f.materiel.m_strBoxFirmware;
            break;
        case 43:
            f.materiel.ReadLinkTypeText(kBox);
            first = f.materiel.m_strLinkType;
            break;
        default:
            f.materiel.ReadBatteryLevel(kBox);
            first = f.materiel.m_strBattery;
        }
        EXPECT_EQ(first, c.first) << c.command << " " << c.answer;
        if (c.second) {
            EXPECT_EQ(second, c.second) << c.command << " " << c.answer;
        }
    }
}

TEST(SensorClient, DirectSensorDetails) {
    SFixture f;
    const std::wstring d0 = L"\\\\?\\usb#vid_0c45&pid_0001#a",
                       d1 = L"\\\\?\\usb#vid_0c45&pid_0001#b";
    f.server.Script(10, {{d0}});
    f.server.Script(12, {{d1}});
    f.server.Script(214, {{L"3300;5010;3120;1800"}, {L"3290;;3100;1790"}});
    f.server.Script(213, {{L"T2;X;300;0;2"}, {L"T2;X;-1;0;Large"}});
    f.server.Script(210, {{L"25;65;812"}, {L" -7x;+41;"}});
    ASSERT_TRUE(f.materiel.FindDirectSensor());
    EXPECT_TRUE(f.materiel.PrepareDirectSensor(d0));
    EXPECT_EQ(f.server.m_ini[L"DATA"], d0); // left set for the acquisition
    EXPECT_TRUE(f.materiel.ReadDirectSensorDetails(d0));
    ASSERT_TRUE(f.materiel.FindSecondDirectSensor());
    EXPECT_TRUE(f.materiel.ReadDirectSensorDetails(d1));

    const std::vector<SSent> expected = {
        {10, L""}, {20, d0},  {30, d0}, {20, d0}, {30, d0},  {214, d0}, {21, d0},  {213, d0},
        {210, d0}, {12, L""}, {20, d1}, {30, d1}, {214, d1}, {21, d1},  {213, d1}, {210, d1}};
    EXPECT_EQ(f.server.m_sent, expected);
    EXPECT_EQ(f.materiel.m_strCpldMv[0], L"3300");
    EXPECT_EQ(f.materiel.m_strUsbMv[0], L"5010");
    EXPECT_EQ(f.materiel.m_strSensorMv[0], L"3120");
    EXPECT_EQ(f.materiel.m_strCpuMv[0], L"1800");
    EXPECT_EQ(f.materiel.m_strCpldVersion[0], L"12Ch");
    EXPECT_EQ(f.materiel.m_strSensorSize[0], L"Size 2");
    EXPECT_EQ(f.materiel.m_nFaultCode[0], 25);
    EXPECT_EQ(f.materiel.m_nStateFlags[0], 65);
    EXPECT_EQ(f.materiel.m_strPhotodiode[0], L"812");
    // Sensor 1: an empty field keeps the others in place.
    EXPECT_EQ(f.materiel.m_strCpldMv[1], L"3290");
    EXPECT_EQ(f.materiel.m_strUsbMv[1], L"");
    EXPECT_EQ(f.materiel.m_strSensorMv[1], L"3100");
    EXPECT_EQ(f.materiel.m_strCpuMv[1], L"1790");
    EXPECT_EQ(f.materiel.m_strCpldVersion[1], L"FFFFFFFFh");
    EXPECT_EQ(f.materiel.m_strSensorSize[1], L"Large");
    EXPECT_EQ(f.materiel.m_nFaultCode[1], -7);
    EXPECT_EQ(f.materiel.m_nStateFlags[1], 41);
    EXPECT_EQ(f.materiel.m_strPhotodiode[1], L"");
    EXPECT_EQ(f.server.m_ini[L"DATA"], L"");
}

TEST(SensorClient, DetailsWithoutAnswersKeepDefaultsAndOldStatus) {
    SFixture f;
    f.materiel.m_nFaultCode[0] = 9;
    f.materiel.m_strPhotodiode[0] = L"old";
    EXPECT_TRUE(f.materiel.ReadDirectSensorDetails(L"dev"));
    EXPECT_EQ(f.materiel.m_strUsbMv[0], L"(unknown)");
    EXPECT_EQ(f.materiel.m_strCpldVersion[0], L"(unknown)");
    EXPECT_EQ(f.materiel.m_strSensorSize[0], L"(unknown)");
    EXPECT_EQ(f.materiel.m_nFaultCode[0], 9);
    EXPECT_EQ(f.materiel.m_strPhotodiode[0], L"old");
}

TEST(SensorClient, Searches) {
    { // the wired box is the second device; "pid_123" is compared case-sensitively
        SFixture f;
        f.server.Script(10, {{L"usb#vid_1&PID_123a"}});
        f.server.Script(12, {{L"usb#vid_1&pid_123b"}});
        EXPECT_TRUE(f.materiel.FindWiredSensor());
        EXPECT_EQ(f.materiel.m_strWiredSensor, L"usb#vid_1&pid_123b");
        EXPECT_EQ(f.server.m_sent, (std::vector<SSent>{{10, L""}, {12, L""}}));
    }
    { // a repeated DetectUsbNext answer ends the search
        SFixture f;
        f.materiel.m_strWiredSensor = L"before";
        f.server.Script(10, {{L"usb#pid_5841"}});
        f.server.Script(12, {{L"usb#pid_0101"}, {L"usb#pid_0101"}, {L"usb#pid_123"}});
        EXPECT_FALSE(f.materiel.FindWiredSensor());
        EXPECT_EQ(f.server.m_sent.size(), 3u);
        EXPECT_EQ(f.materiel.m_strWiredSensor, L"before");
    }
    { // a failing DetectUsbNext ends it too
        SFixture f;
        f.server.Script(10, {{L"usb#pid_5841"}});
        f.server.Script(12, {{L"", 0}});
        EXPECT_FALSE(f.materiel.FindWiredSensor());
        EXPECT_EQ(f.server.m_sent.size(), 2u);
    }
    { // upper-case PID_0001 is no direct sensor, but is kept as the device string
        SFixture f;
        f.server.Script(10, {{L"usb#vid_0c45&PID_0001"}});
        EXPECT_FALSE(f.materiel.FindDirectSensor());
        EXPECT_EQ(f.materiel.m_strDirectSensor[0], L"usb#vid_0c45&PID_0001");
    }
    { // the same device again is no second sensor
        SFixture f;
        f.server.Script(10, {{L"usb#pid_0001#a"}});
        f.server.Script(12, {{L"usb#pid_0001#a"}, {L""}, {L"", 0}});
        EXPECT_TRUE(f.materiel.FindDirectSensor());
        f.materiel.m_strDirectSensor[1] = L"kept";
        EXPECT_FALSE(f.materiel.FindSecondDirectSensor());
        EXPECT_FALSE(f.materiel.FindSecondDirectSensor());
        EXPECT_FALSE(f.materiel.FindSecondDirectSensor());
        EXPECT_EQ(f.materiel.m_strDirectSensor[1], L"kept");
    }
}

TEST(SensorClient, ReadyPollingAndTimeOut) {
    { // READY turns 1 at the 150th read: success after 149 pauses
        SFixture f;
        f.server.Script(43, {{L"2", 150}});
        std::wstring answer = L"before";
        EXPECT_TRUE(f.materiel.SendServerCommand(43, answer));
        EXPECT_EQ(answer, L"2");
        EXPECT_EQ(f.server.m_nReadyReads, 150);
        EXPECT_EQ(f.server.m_nSleptMs, 149u * 100u);
    }
    { // never ready: 150 reads, each followed by 100 ms, answer unchanged
        SFixture f;
        f.server.Script(43, {{L"2", 0}});
        std::wstring answer = L"before";
        EXPECT_FALSE(f.materiel.SendServerCommand(43, answer));
        EXPECT_EQ(answer, L"before");
        EXPECT_EQ(f.server.m_nReadyReads, 150);
        EXPECT_EQ(f.server.m_nSleptMs, 15000u);
    }
    { // InitLink timing out skips the rest, StopLink included
        SFixture f;
        f.server.Script(20, {{L"", 0}});
        EXPECT_FALSE(f.materiel.ReadSensorIdentity(kBox));
        EXPECT_EQ(f.server.m_sent, (std::vector<SSent>{{20, kBox}}));
        EXPECT_EQ(f.materiel.m_strSensorSerial, L"(unknown)");
        EXPECT_EQ(f.server.m_ini[L"DATA"], L"");
    }
    { // the read timing out still sends StopLink
        SFixture f;
        f.server.Script(41, {{L"X;1", 0}});
        EXPECT_FALSE(f.materiel.ReadBoxIdentity(kBox));
        EXPECT_EQ(f.server.m_sent, Group(41, kBox));
        EXPECT_EQ(f.materiel.m_strBoxSerial, L"(unknown)");
    }
    { // details: InitLink failing sends nothing more
        SFixture f;
        f.server.Script(20, {{L"", 0}, {L"", 0}});
        EXPECT_FALSE(f.materiel.ReadDirectSensorDetails(L"dev"));
        EXPECT_FALSE(f.materiel.PrepareDirectSensor(L"dev"));
        EXPECT_EQ(f.server.m_sent, (std::vector<SSent>{{20, L"dev"}, {20, L"dev"}}));
    }
}

TEST(SensorClient, ServerFoundRunningIsLeftAlone) {
    SFixture f;
    std::wstring answer;
    EXPECT_TRUE(f.materiel.SendServerCommand(10, answer));
    f.materiel.StopServer();
    EXPECT_TRUE(f.server.m_process.empty());
    EXPECT_FALSE(f.materiel.HoldsServerProcess());
}

TEST(SensorClient, StartedServerIsStoppedAndForgotten) {
    struct Case {
        bool honoursQuit;
        std::vector<std::string> stop;
    } cases[] = {
        {true, {"quit 4242", "wait 2000", "release"}},
        {false, {"quit 4242", "wait 2000", "terminate 0", "release"}},
    };
    for (const Case& c : cases) {
        SFixture f;
        f.server.m_bRunning = false;
        f.server.m_bHonoursQuit = c.honoursQuit;
        std::wstring answer;
        EXPECT_TRUE(f.materiel.SendServerCommand(10, answer));
        EXPECT_TRUE(f.materiel.SendServerCommand(12, answer));
        EXPECT_EQ(f.server.m_nStarts, 1);
        EXPECT_EQ(f.server.m_process,
                  (std::vector<std::string>{"start C:\\Tools\\TORVEX.EXE", "idle 5000"}));
        EXPECT_TRUE(f.materiel.HoldsServerProcess());
        f.server.m_process.clear();
        f.materiel.StopServer();
        EXPECT_EQ(f.server.m_process, c.stop);
        EXPECT_FALSE(f.materiel.HoldsServerProcess());
        // A later stop has nothing to post to or wait on.
        f.server.m_process.clear();
        f.materiel.StopServer();
        EXPECT_TRUE(f.server.m_process.empty());
    }
}

TEST(SensorClient, DestroyedModelStopsTheServerItStarted) {
    CFakeServer server;
    test::CNullInventory inventory;
    test::CNullDatagrams datagrams;
    {
        CMateriel materiel({server, server, server, inventory, datagrams}, L"C:\\Tools\\");
        std::wstring answer;
        EXPECT_TRUE(materiel.SendServerCommand(10, answer));
        server.m_process.clear();
    }
    EXPECT_EQ(server.m_process, (std::vector<std::string>{"quit 4242", "wait 2000", "release"}));
}

TEST(SensorClient, ServerThatCannotStartOrNeverShowsItsWindow) {
    {
        SFixture f;
        f.server.m_bRunning = false;
        f.server.m_bStartable = false;
        std::wstring answer = L"x";
        EXPECT_FALSE(f.materiel.SendServerCommand(10, answer));
        EXPECT_EQ(answer, L"x");
        EXPECT_TRUE(f.server.m_ini.empty()); // the mailbox was not touched
        EXPECT_FALSE(f.materiel.ReadSensorIdentity(kBox));
        EXPECT_EQ(f.materiel.m_strSensorSerial, L"(unknown)");
        EXPECT_TRUE(f.server.m_sent.empty());
    }
    { // a server that never idles and never shows a window: bounded waits
        class CNoWindow : public CFakeServer {
        public:
            uintptr_t FindServerWindow() override { return 0; }
        };
        CNoWindow server;
        test::CNullInventory inventory;
        test::CNullDatagrams datagrams;
        server.m_bIdles = false;
        CMateriel materiel({server, server, server, inventory, datagrams}, L"C:\\Tools\\");
        EXPECT_EQ(materiel.FindOrStartServer(), 0u);
        EXPECT_EQ(server.m_nSleptMs, 15000u);       // the window is looked for 15 s at most
        EXPECT_TRUE(materiel.HoldsServerProcess()); // still ours to stop
        materiel.StopServer();
        EXPECT_FALSE(materiel.HoldsServerProcess());
    }
}
