// The direct sensors' commands through the dispatcher against simulated
// sensors: detection order, every answer format, memory pages, status
// waits, and what a misbehaving sensor makes of each.
#include "test_support.h"

using namespace torvex;
using namespace torvex::test;

namespace {

// The simulator's defaults, spelt out: identity "TS2-<size>-<serial>;R3",
// serials 71 and 72, version "FW 2.04.11", CPLD bytes as named.
constexpr const char* kBoth = "direct=85,12;box=5841";

std::string PathOf(CServer& server, size_t nSensor) {
    return sim::SimDirectPath(server.m_sim.UsbBus().Sensor(nSensor));
}

} // namespace

TEST(DirectCommands, DetectionOrderSlotZeroSlotOneThenTheBox) {
    CServer server(kBoth);
    const SReply first = server.Send(kCmdDetectUsb);
    EXPECT_EQ(first.m_nError, kOk);
    EXPECT_EQ(first.m_strResult, PathOf(server, 0));
    EXPECT_EQ(server.Send(kCmdDetectUsbNext).m_strResult, PathOf(server, 1));
    const SReply box = server.Send(kCmdDetectUsbNext);
    EXPECT_EQ(box.m_nError, kOk);
    EXPECT_NE(box.m_strResult.find("pid_5841"), std::string::npos) << box.m_strResult;
    EXPECT_EQ(server.Send(kCmdDetectUsbNext).m_nError, kNoMoreDevices);
    // DetectUsb starts over.
    EXPECT_EQ(server.Send(kCmdDetectUsb).m_strResult, PathOf(server, 0));

    CServer single("direct=12");
    EXPECT_EQ(single.Send(kCmdDetectUsb).m_strResult, PathOf(single, 0)) << "size 2: slot 1";
    EXPECT_EQ(single.Send(kCmdDetectUsbNext).m_nError, kNoMoreDevices);
}

TEST(DirectCommands, AnswerFormatsOfTheSelectedSlot) {
    CServer server(kBoth);
    server.Send(kCmdDetectUsb);
    server.Send(kCmdDetectUsbNext);
    const std::string s0 = PathOf(server, 0), s1 = PathOf(server, 1);
    struct Case {
        unsigned command;
        std::string data;
        int error;
        const char* result;
    } cases[] = {
        {kCmdReadSensor, s0, kOk, "1;TS2-1-00071;71"},
        {kCmdReadSensor, s1, kOk, "2;TS2-2-00072;72"},
        {kCmdReadBox, s0, kOk, "TS2-1-00071;FW 2.04.11"},
        {kCmdReadDeviceInfo, s1, kOk, "TS2-2-00072;FW 2.04.11;18;72;2"},
        {kCmdReadDeviceInfo, s0, kOk, "TS2-1-00071;FW 2.04.11;133;71;1"},
        {kCmdReadDeviceValues, s0, kOk, "3300;5020;1800;1210"},
        {kCmdReadDeviceStatus, s0, kOk, "0;8;17"},
        {kCmdReadState, s0, kOk, "0;0"},
        {kCmdReadEnergy, s0, kOk, "0"},
        {kCmdReadDevicePath, s1, kOk, s1.c_str()},
        {kCmdWaitDeviceStatus, "8", kOk, ""},
        {kCmdWaitDeviceStatus, "264", kOk, ""}, // low byte 8
        {kCmdWaitDeviceStatus, "64", kStatusWaitTimeout, ""},
        {kCmdWaitDeviceStatus, "", kBadData, ""},
        {kCmdSendFrame, "176;1;1;0;0;0;0;0", kOk, ""},
        {kCmdSetAcquisitionValue, "30", kOk, ""},
    };
    for (const Case& c : cases) {
        const SReply r = server.Send(c.command, c.data);
        EXPECT_EQ(r.m_nError, c.error) << c.command << " " << c.data;
        EXPECT_EQ(r.m_strResult, c.result) << c.command << " " << c.data;
    }
    EXPECT_TRUE(server.m_sim.Sensor().Received().empty()) << "no frame reached the box";
}

TEST(DirectCommands, AccessPage) {
    CServer server("direct=85");
    server.Send(kCmdDetectUsb);
    sim::CDirectSensor& sensor = server.m_sim.UsbBus().Sensor(0);
    // Memory byte i of the simulated sensor is (7 i) mod 256.
    auto memory = [](size_t nFrom, size_t n) {
        std::string text;
        for (size_t i = nFrom; i < nFrom + n; ++i)
            text += (text.empty() ? "" : ";") + std::to_string((i * 7) % 256);
        return text;
    };
    server.m_store.Write("TORVEX", "PAGE", "stale");
    SReply r = server.Send(kCmdAccessPage, "R;141;0;64");
    EXPECT_EQ(r.m_nError, kOk);
    EXPECT_EQ(r.m_strResult, "");
    EXPECT_EQ(server.m_store.Get("TORVEX", "PAGE"), memory(0, 64));
    r = server.Send(kCmdAccessPage, "r;141;3;4");
    EXPECT_EQ(server.m_store.Get("TORVEX", "PAGE"), memory(12, 4)) << "page 3 of 4 bytes";
    EXPECT_EQ(sensor.LastValue(), 3u);

    // Any other request answers in RESULT and clears PAGE.
    r = server.Send(kCmdAccessPage, "R;135;0;4");
    EXPECT_EQ(r.m_strResult, "0;0;0;71");
    EXPECT_EQ(server.m_store.Get("TORVEX", "PAGE"), "");

    // Writing: PAGE's values until an empty field give the data and length.
    server.m_store.Write("TORVEX", "PAGE", "1;2;300;;9");
    r = server.Send(kCmdAccessPage, "W;5;4096;0");
    EXPECT_EQ(r.m_nError, kOk);
    EXPECT_EQ(r.m_strResult, "1;2;44");
    EXPECT_EQ(sensor.LastCode(), 5);
    EXPECT_EQ(sensor.LastValue(), 4096u);
    EXPECT_EQ(sensor.LastOutgoing(), (std::vector<uint8_t>{1, 2, 44}));

    // Length 0: the request without a data phase.
    r = server.Send(kCmdAccessPage, "R;141;0;0");
    EXPECT_EQ(r.m_nError, kOk);
    EXPECT_EQ(server.m_store.Get("TORVEX", "PAGE"), "");

    std::string many;
    for (int i = 0; i < 257; ++i)
        many += "1;";
    std::string full = many.substr(0, many.size() - 2); // 256 values
    for (const char* bad : {"R;141;0", "R;141;0;64;1", "", "R;141;0;257", "R;141;0;-1", "R;x;0;4",
                            "R;256;0;4", "R;141;4294967296;4", "R;141;0;4x"}) {
        const SReply e = server.Send(kCmdAccessPage, bad);
        EXPECT_EQ(e.m_nError, kBadData) << bad;
        EXPECT_EQ(e.m_strReady, "1");
    }
    server.m_store.Write("TORVEX", "PAGE", many);
    EXPECT_EQ(server.Send(kCmdAccessPage, "W;5;0;0").m_nError, kBadData) << "257 values";
    server.m_store.Write("TORVEX", "PAGE", full);
    EXPECT_EQ(server.Send(kCmdAccessPage, "W;5;0;0").m_nError, kOk) << "256 values fit";
    EXPECT_EQ(sensor.LastOutgoing().size(), 256u);
}

TEST(DirectCommands, MisbehavingSensors) {
    struct Case {
        const char* sim;
        unsigned command;
        int error;
        const char* result;
    } cases[] = {
        {"dfault=working:8F:2", kCmdReadDeviceValues, kOk, "3300;5020;1800;1210"},
        {"dfault=sequence:8F", kCmdReadDeviceValues, kSequenceMismatch, ""},
        {"dfault=status:8F:3", kCmdReadDeviceValues, kDeviceUnsupported, ""},
        {"dfault=silent:8F", kCmdReadDeviceValues, kTimeout, ""},
        // Only the first identity request's failure is told (21).
        {"dfault=status:88:255", kCmdReadSensor, kFirstRequestFailed, ""},
        {"dfault=status:88:255", kCmdReadBox, kFirstRequestFailed, ""},
        {"dfault=status:87:255", kCmdReadSensor, kOk, "1;TS2-1-00071;0"},
        {"dfault=short:86:8", kCmdReadSensor, kOk, "1;TS2-1-;71"},
        {"dfault=status:88:255", kCmdReadDeviceInfo, kOk, ";FW 2.04.11;133;71;1"},
        {"dnoep=81", kCmdReadDeviceStatus, kOk, "224;0;0"},
        {"dnoep=81", kCmdWaitDeviceStatus, kNoStatusEndpoint, ""},
    };
    for (const Case& c : cases) {
        CServer server(std::string("direct=85;") + c.sim);
        ASSERT_EQ(server.Send(kCmdDetectUsb).m_nError, kOk) << c.sim;
        const SReply r = server.Send(c.command, "8");
        EXPECT_EQ(r.m_nError, c.error) << c.sim << " command " << c.command;
        EXPECT_EQ(r.m_strResult, c.result) << c.sim << " command " << c.command;
    }
    CServer working("direct=85;dfault=working:8F:2");
    working.Send(kCmdDetectUsb);
    working.Send(kCmdReadDeviceValues);
    EXPECT_EQ(working.m_sim.UsbBus().Sensor(0).PollCount(), 2) << "status 1, 1, 0: two polls";
}

TEST(DirectCommands, StopAcquisitionDisconnectsAndClosesTheSlot) {
    CServer server(kBoth);
    server.Send(kCmdDetectUsb);
    server.Send(kCmdDetectUsbNext);
    EXPECT_EQ(server.Send(kCmdStopAcquisition, PathOf(server, 1)).m_nError, kOk);
    EXPECT_EQ(server.m_sim.UsbBus().Sensor(1).LastCode(), 0x02);
    EXPECT_FALSE(server.m_slots.HoldsSensor(1));
    EXPECT_TRUE(server.m_slots.HoldsSensor(0));
    EXPECT_EQ(server.m_sim.UsbBus().Sensor(0).LastCode(), 0x84) << "slot 0 untouched";
}

// The selected slot loses its sensor while the other keeps direct routing:
// the status wait names the empty slot instead of reading through nothing.
TEST(DirectCommands, WaitOnASlotWhoseSensorWentAway) {
    CServer server(kBoth);
    server.Send(kCmdDetectUsb);
    server.Send(kCmdDetectUsbNext);
    server.m_sim.UsbBus().Sensor(1).AddFault({sim::EDirectFault::Gone, 0x8F, 0, -1});
    EXPECT_EQ(server.Send(kCmdReadDeviceValues, PathOf(server, 1)).m_nError, kTimeout);
    EXPECT_FALSE(server.m_slots.HoldsSensor(1));
    EXPECT_EQ(server.Send(kCmdWaitDeviceStatus, "8").m_nError, kNoSlotSensor);
    EXPECT_EQ(server.Send(kCmdReadDeviceStatus).m_nError, kNoSlotSensor);
    EXPECT_EQ(server.Send(kCmdReadDeviceValues, PathOf(server, 0)).m_nError, kOk);
}

TEST(DirectCommands, CommandNumbersBeyondThirtyTwoBits) {
    CServer server(kBoth);
    const SReply r = server.Send((uint64_t{1} << 32) + kCmdDetectUsb);
    EXPECT_EQ(r.m_nError, kRejected);
    EXPECT_EQ(r.m_strResult, "");
    EXPECT_FALSE(server.m_slots.HoldsSensor(0)) << "nothing was detected";
    EXPECT_EQ(server.Send(kCmdDetectUsb).m_nError, kOk);
}
