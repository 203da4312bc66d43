// TORVEX.exe with simulated direct sensors, served to a separate client
// process: detection order, the answer format of every direct command,
// memory pages into PAGE, status waits, faults of the sensor.
#include "server_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace torvex::client;

namespace {

std::wstring ServerExe() {
    return OwnFolder() + L"TORVEX.exe";
}

// Paths the simulated sensors of serial 71 and 72 have.
std::string SensorPath(unsigned nSerial) {
    return "\\\\?\\usb#vid_1ce6&pid_0001#000000" + std::to_string(nSerial) +
           "#{f0a2d454-3de2-40cd-bae7-09efc799ec08}";
}

struct SStep {
    WPARAM command;
    std::string data; // "-": DATA left as it is
    int error;
    std::string result;
};

void RunSteps(CServerProcess& server, const std::vector<SStep>& steps) {
    for (const SStep& s : steps) {
        const SAnswer a = s.data == "-" ? server.Send(s.command) : server.Send(s.command, s.data);
        ASSERT_TRUE(a.m_bAnswered) << "command " << s.command << " timed out";
        EXPECT_EQ(a.m_nError, s.error) << "command " << s.command << " " << s.data;
        EXPECT_EQ(a.m_strResult, s.result) << "command " << s.command << " " << s.data;
    }
}

} // namespace

TEST(DirectWine, DetectionAndAnswerFormats) {
    CServerProcess server(ServerExe(), "direct=85,12;box=5841;clock=virtual");
    ASSERT_TRUE(server.Started());
    const std::string s0 = SensorPath(71), s1 = SensorPath(72);
    const SAnswer first = server.Send(10, "");
    EXPECT_EQ(first.m_strResult, s0);
    EXPECT_EQ(server.Send(12).m_strResult, s1);
    const SAnswer box = server.Send(12);
    EXPECT_EQ(box.m_nError, 0);
    EXPECT_NE(box.m_strResult.find("pid_5841"), std::string::npos) << box.m_strResult;
    EXPECT_EQ(server.Send(12).m_nError, 1168);

    RunSteps(server, {
                         {40, s0, 0, "1;TS2-1-00071;71"},
                         {41, "-", 0, "TS2-1-00071;FW 2.04.11"},
                         {42, "-", 0, "0;0"},
                         {213, s1, 0, "TS2-2-00072;FW 2.04.11;18;72;2"},
                         {40, "-", 0, "2;TS2-2-00072;72"},
                         {214, s0, 0, "3300;5020;1800;1210"},
                         {210, "-", 0, "0;8;17"},
                         {211, "8", 0, ""},
                         {211, "64", 239, ""},
                         {211, "", 11, ""},
                         {212, "R;141;0;64;9", 11, ""},
                         {212, "R;141;0;300", 11, ""},
                         {222, "-", 0, "0"},
                         {200, s1, 0, s1},
                         {4200, "176;1;1;0;0;0;0;0", 0, ""},
                         {(WPARAM{1} << 32) + 10, "", 22, ""},
                         {35, s1, 0, ""},
                         {201, "-", 0, ""},
                         {210, "-", 10, ""},
                     });
}

TEST(DirectWine, PagesPollsAndSequence) {
    CServerProcess server(ServerExe(),
                          "direct=85;clock=virtual;dfault=sequence:8F:0:1;dfault=working:87:2:1");
    ASSERT_TRUE(server.Started());
    ASSERT_EQ(server.Send(10, "").m_nError, 0);
    // The first 0x8F is answered with another sequence number; the first 0x87
    // (the serial number of ReadSensor) answers "working" twice, then done.
    RunSteps(server, {
                         {214, "-", 6815, ""},
                         {214, "-", 0, "3300;5020;1800;1210"},
                         {40, "-", 0, "1;TS2-1-00071;71"},
                     });
    const SAnswer page = server.Send(212, "R;141;0;64");
    EXPECT_EQ(page.m_nError, 0);
    EXPECT_EQ(page.m_strResult, "");
    std::string expected;
    for (int i = 0; i < 64; ++i)
        expected += (i ? ";" : "") + std::to_string((i * 7) % 256);
    EXPECT_EQ(server.Read("TORVEX", "PAGE"), expected);

    server.Write("TORVEX", "PAGE", "4;5;6");
    const SAnswer write = server.Send(212, "W;5;0;0");
    EXPECT_EQ(write.m_nError, 0);
    EXPECT_EQ(write.m_strResult, "4;5;6");
}
