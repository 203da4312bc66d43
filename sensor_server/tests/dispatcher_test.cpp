// The dispatcher's contract: answer order, routing, target selection, and
// that every command ends with READY 1 whatever the device does.
#include "test_support.h"

#include <random>

using namespace torvex;
using namespace torvex::test;

namespace {

// Slots holding direct sensors, to check the routing around them.
class CHeldSlots final : public IDirectSlots {
public:
    bool HoldsSensor(int n) const override { return m_bHeld[n]; }
    std::string DevicePath(int n) const override { return m_path[n]; }
    int OpenSlot(int) override { return kNoSlotSensor; }
    void CloseSlot(int n) override { m_bHeld[n] = false; }
    int EnsureSlot(int n) override { return m_bHeld[n] ? kOk : kNoSlotSensor; }
    void DropVanished() override {}
    int Request(uint8_t, uint16_t, uint32_t, uint8_t*, bool, int,
                std::array<uint8_t, 2>*) override {
        return kTimeout;
    }
    int StatusOf(int, SDeviceStatus&) override { return kTimeout; }
    int WaitStatus(uint8_t, uint32_t, int) override { return kTimeout; }
    int ReadImageData(int, uint8_t*, size_t& n, uint32_t) override {
        n = 0;
        return kTimeout;
    }
    bool m_bHeld[2] = {true, true};
    std::string m_path[2] = {"\\\\?\\usb#vid_1ce6&pid_0001#s0", "\\\\?\\usb#vid_1ce6&pid_0001#s1"};
};

} // namespace

TEST(Dispatcher, UnknownCommandAnswers22) {
    CServer server("box=5841");
    server.m_store.Write("TORVEX", "RESULT", "stale");
    const size_t n = server.m_store.m_writes.size();
    const SReply r = server.Send(99);
    EXPECT_EQ(r.m_strResult, "");
    EXPECT_EQ(r.m_nError, kRejected);
    EXPECT_EQ(r.m_strReady, "1");
    // RESULT, ERROR, READY 0 first, in this order.
    const auto& w = server.m_store.m_writes;
    ASSERT_GE(w.size(), n + 6);
    EXPECT_EQ(w[n + 1].m_strKey, "RESULT");
    EXPECT_EQ(w[n + 2].m_strKey, "ERROR");
    EXPECT_EQ(w[n + 3].m_strKey, "READY");
    EXPECT_EQ(w[n + 3].m_strValue, "0");
}

TEST(Dispatcher, BusyServerIgnoresCommandsWithoutWriting) {
    CServer server("box=5841");
    server.m_dispatcher.View().m_bBusy = true;
    server.m_store.Write("TORVEX", "READY", "0");
    const size_t n = server.m_store.m_writes.size();
    EXPECT_FALSE(server.m_dispatcher.Dispatch(kCmdReadLinkType));
    EXPECT_EQ(server.m_store.m_writes.size(), n);
}

TEST(Dispatcher, LaterStagesAnswerHonestly) {
    struct Case {
        unsigned command;
        const char* data;
        int error;
        const char* result;
    } cases[] = {
        {kCmdReadDeviceStatus, "", kNoDirectSensor, ""},
        {kCmdWaitDeviceStatus, "", kNoDirectSensor, ""},
        {kCmdAccessPage, "R;141;0;64", kNoDirectSensor, ""},
        {kCmdReadDeviceInfo, "", kNoDirectSensor, ""},
        {kCmdReadDeviceValues, "", kNoDirectSensor, ""},
        {kCmdAcquireImage, "", kNoDirectSensor, ""},
        {kCmdCaptureOscillogram, "", kNoDirectSensor, ""},
        {kCmdReadEnergy, "", kNoDirectSensor, ""},
        {kCmdReadImage, "3", kNoLink, ""}, // no link opened yet
        {kCmdReadTransferRate, "", kOk, "0"},
        {kCmdFilterImage, "C:\\none.bmp", kFileMissing, ""},
        {kCmdFilterImage, "C:\\there.bmp", kBadData, ""}, // there, but unreadable
        {kCmdReadDevicePath, "", kBadValue, ""},
        {kCmdCloseDevices, "", kOk, ""},
    };
    for (const auto& c : cases) {
        CServer server("box=5841");
        server.m_hooks.m_strExisting = "C:\\there.bmp";
        const SReply r = server.Send(c.command, c.data);
        EXPECT_EQ(r.m_nError, c.error) << c.command;
        EXPECT_EQ(r.m_strResult, c.result) << c.command;
        EXPECT_EQ(r.m_strReady, "1") << c.command;
    }
}

TEST(Dispatcher, DetectUsbFindsTheBoxAndDataSelectsIt) {
    CServer server("box=5841");
    const SReply found = server.Send(kCmdDetectUsb);
    EXPECT_EQ(found.m_nError, 0);
    std::string path;
    ASSERT_EQ(server.m_sim.BoxPort().FindBox(path), kOk);
    EXPECT_EQ(found.m_strResult, path);
    EXPECT_EQ(server.m_dispatcher.View().m_strSavedBoxPath, found.m_strResult);
    EXPECT_EQ(server.m_hooks.m_nCursor, 0) << "wait cursor shown and removed";
    EXPECT_EQ(server.Send(kCmdDetectUsbNext).m_nError, kNoMoreDevices);

    // Any command whose DATA is the saved box path selects link kind 1.
    server.Send(kCmdInitLink, "\\\\.\\COM3");
    EXPECT_EQ(server.m_dispatcher.Link().m_nKind, kLinkSerial);
    server.Send(kCmdReadTransferRate, found.m_strResult);
    EXPECT_EQ(server.m_dispatcher.Link().m_nKind, kLinkUsb);
    // DATA naming nothing open leaves the link as it was.
    server.Send(kCmdInitLink, "\\\\.\\COM3");
    server.Send(kCmdReadTransferRate, "\\\\?\\usb#other");
    EXPECT_EQ(server.m_dispatcher.Link().m_nKind, kLinkSerial);
    // Empty DATA does not match a saved path that is empty either.
    CServer fresh("");
    fresh.Send(kCmdInitLink, "\\\\.\\COM3");
    fresh.Send(kCmdReadTransferRate, "");
    EXPECT_EQ(fresh.m_dispatcher.Link().m_nKind, kLinkSerial);

    CServer none("");
    const SReply r = none.Send(kCmdDetectUsb);
    EXPECT_EQ(r.m_nError, kNoMoreDevices);
    EXPECT_EQ(r.m_strResult, "");
}

TEST(Dispatcher, InitLinkAndStopLink) {
    CServer server("wireless=4");
    EXPECT_EQ(server.Send(kCmdInitLink, "\\\\.\\COM4").m_nError, 0);
    EXPECT_EQ(server.m_dispatcher.Link().m_nKind, kLinkSerial);
    EXPECT_TRUE(server.m_sim.SerialPort()->IsOpen());
    EXPECT_EQ(server.Send(kCmdReadLinkType).m_strResult, "4");
    EXPECT_EQ(server.Send(kCmdStopLink).m_nError, 0);
    EXPECT_FALSE(server.m_sim.SerialPort()->IsOpen());
    EXPECT_EQ(server.m_dispatcher.Link().m_nKind, kLinkNone);
    EXPECT_EQ(server.Send(kCmdStopLink).m_nError, 0) << "1117 is not negative: answered 0";
    // A port that is not there is not reported by InitLink.
    EXPECT_EQ(server.Send(kCmdInitLink, "\\\\.\\COM5").m_nError, 0);
    EXPECT_EQ(server.Send(kCmdReadSensor).m_nError, sim::kErrFileNotFound);
    // A second InitLink to another port does not keep the first one serving.
    EXPECT_EQ(server.Send(kCmdInitLink, "\\\\.\\COM4").m_nError, 0);
    EXPECT_EQ(server.Send(kCmdInitLink, "\\\\.\\COM6").m_nError, 0);
    EXPECT_FALSE(server.m_sim.SerialPort()->IsOpen());
    EXPECT_EQ(server.Send(kCmdReadBattery).m_nError, sim::kErrFileNotFound);
    // StopLink closes the port even when DATA switched the link to a box meanwhile.
    EXPECT_EQ(server.Send(kCmdInitLink, "\\\\.\\COM4").m_nError, 0);
    server.m_dispatcher.View().m_strSavedBoxPath = "\\\\?\\usb#box";
    server.Send(kCmdReadTransferRate, "\\\\?\\usb#box");
    EXPECT_EQ(server.m_dispatcher.Link().m_nKind, kLinkUsb);
    server.Send(kCmdStopLink);
    EXPECT_FALSE(server.m_sim.SerialPort()->IsOpen());
    // Empty DATA: box link, discovered at the first exchange.
    CServer box("box=5841");
    EXPECT_EQ(box.Send(kCmdInitLink, "").m_nError, 0);
    EXPECT_EQ(box.m_dispatcher.Link().m_nKind, kLinkUsb);
    EXPECT_EQ(box.Send(kCmdReadSensor).m_nError, 0);
    EXPECT_NE(box.m_dispatcher.Link().m_strDevicePath, "");
}

TEST(Dispatcher, ReadLinkTypeByFamily) {
    struct Case {
        const char* sim;
        const char* expected;
    } cases[] = {{"box=123", "0"},  {"box=123A", "2"}, {"box=123B", "3"}, {"box=5841", "1"},
                 {"box=0101", "2"}, {"box=0102", "3"}, {"box=7777", "5"}, {"", "5"}};
    for (const auto& c : cases) {
        CServer server(c.sim);
        server.Send(kCmdInitLink, "");
        const SReply r = server.Send(kCmdReadLinkType);
        EXPECT_EQ(r.m_strResult, c.expected) << c.sim;
        EXPECT_EQ(r.m_nError, 0) << c.sim;
        EXPECT_FALSE(server.m_sim.BoxPort().IsOpen());
    }
}

TEST(Dispatcher, DetectWirelessFollowsTheLibrary) {
    struct Case {
        bool present;
        int result;
        const char* port;
        int error;
        const char* expected;
    } cases[] = {
        {false, 0, "", 0, ""}, // library or export missing
        {true, 0, "\\\\.\\COM7", 0, "\\\\.\\COM7"},
        {true, 0, "", 0, ""},
        {true, 1168, "", 0, ""}, // positive: its own failure, answered 0
        {true, -5, "", -5, ""},
    };
    for (const auto& c : cases) {
        CServer server("");
        server.m_bluefind.m_bPresent = c.present;
        server.m_bluefind.m_nResult = c.result;
        server.m_bluefind.m_strPort = c.port;
        const SReply r = server.Send(kCmdDetectWireless);
        EXPECT_EQ(r.m_nError, c.error);
        EXPECT_EQ(r.m_strResult, c.expected);
    }
}

// Direct sensors open: box-only commands answer 0 and send nothing; direct
// DATA selects the slot.
TEST(Dispatcher, RoutingWithDirectSensorsOpen) {
    CMemoryStore store;
    CFakeHooks hooks;
    CFakeBluefind bluefind;
    CHeldSlots slots;
    sim::CVirtualClock unused;
    sim::CSimulation simulation(sim::ParseSimConfig("box=5841;clock=virtual"), unused);
    CAbsentSerialPort serial;
    CMemoryFiles files;
    CFakeImageShell imageShell;
    CCommandDispatcher dispatcher(SServerPorts{store, simulation.BoxPort(), serial,
                                               simulation.Clock(), hooks, bluefind, slots, files,
                                               imageShell});
    auto send = [&](unsigned nCommand, const std::string& data) {
        store.Write("TORVEX", "DATA", data);
        dispatcher.Dispatch(nCommand);
        return std::stoi(store.Get("TORVEX", "ERROR"));
    };
    store.Write("BLEMISH", "1", "x");
    for (unsigned n : {kCmdSetAcquisitionValue, kCmdSetControlMode, kCmdWriteBlemish,
                       kCmdSetBlemishMode, kCmdSendFrame, kCmdReadBlemish})
        EXPECT_EQ(send(n, "176;1;1;0;0;0;0;0"), 0) << n;
    EXPECT_TRUE(simulation.Sensor().Received().empty());
    EXPECT_EQ(store.m_values.count("BLEMISH"), 0u) << "52 with a direct sensor clears BLEMISH";
    EXPECT_EQ(send(kCmdReadDeviceStatus, ""), kTimeout) << "reaches the slot's status read";

    send(kCmdReadLinkType, slots.m_path[1]);
    EXPECT_EQ(dispatcher.Link().m_nSelectedSlot, 1);
    EXPECT_EQ(dispatcher.Link().m_nKind, kLinkUsbWithDirect);
    send(kCmdReadLinkType, "nothing");
    EXPECT_EQ(dispatcher.Link().m_nSelectedSlot, 1);
    send(kCmdReadDevicePath, slots.m_path[0]);
    EXPECT_EQ(store.Get("TORVEX", "RESULT"), slots.m_path[0]);
}

// A device that misbehaves in any way: each command still answers, leaves
// nothing open, and the next command is served.
TEST(Dispatcher, EveryCommandEndsReadyWhateverTheDevice) {
    const char* faults[] = {"busy:*",      "reject:*", "silent:*", "wrong:*",
                            "late:*:6000", "gone:*:3", "badenv:*", "silent:B001"};
    const unsigned commands[] = {
        kCmdStartAcquisition,    kCmdStopAcquisition, kCmdStartAcquisitionMode2,
        kCmdSetAcquisitionValue, kCmdSetControlMode,  kCmdSetOptionBits,
        kCmdReadSensor,          kCmdReadBox,         kCmdReadState,
        kCmdReadLinkType,        kCmdReadBattery,     kCmdWriteBlemish,
        kCmdSetBlemishMode,      kCmdReadBlemish,     kCmdSendFrame,
        kCmdStopAcquisition};
    for (const char* link : {"box=5841", "box=123A", "wireless=7"}) {
        for (const char* fault : faults) {
            const std::string sim = std::string(link) + ";fault=" + fault;
            CServer server(sim);
            server.m_nAllowedEarlyReady = 1;
            const bool bWireless = link[0] == 'w';
            server.Send(kCmdDetectUsb);
            server.Send(kCmdInitLink, bWireless ? "\\\\.\\COM7" : "");
            for (unsigned n : commands) {
                const SReply r = server.Send(n, n == kCmdSendFrame ? "176;3;1;0;0;0;0;0" : "1;1");
                EXPECT_EQ(r.m_strReady, "1") << sim << " command " << n;
                EXPECT_FALSE(server.m_sim.BoxPort().IsOpen()) << sim << " command " << n;
                if (server.m_sim.SerialPort()) {
                    EXPECT_FALSE(server.m_sim.SerialPort()->RequestRunning()) << sim;
                }
            }
            server.Send(kCmdStopLink);
            if (server.m_sim.SerialPort()) {
                EXPECT_FALSE(server.m_sim.SerialPort()->IsOpen()) << sim;
            }
            EXPECT_EQ(server.Send(99).m_nError, kRejected) << "still serving: " << sim;
        }
    }
}

// Whatever other programs leave in DATA, every command is answered.
TEST(Dispatcher, RandomDataNeverBreaksACommand) {
    const unsigned commands[] = {10,  11,  12,  20,  21,  30,  32,  35,  36,  37,  38,
                                 40,  41,  42,  43,  44,  45,  46,  50,  51,  52,  200,
                                 201, 210, 211, 212, 213, 214, 220, 221, 222, 300, 4200};
    std::mt19937 rng(5);
    const std::string pieces[] = {
        ";",          "-",          "+",           " ",    "0",    "7",  "255", "65536",
        "4294967296", "\\\\.\\COM", "\\\\.\\COM7", "\xff", "\x80", "\t", "x",   ""};
    for (const char* sim : {"box=123A", "wireless=7", "direct=85,12;box=123A"}) {
        CServer server(sim);
        server.m_nAllowedEarlyReady = 1; // ReadState may answer StopAcquisition first
        for (int round = 0; round < 3000; ++round) {
            std::string data;
            if (round % 50 == 0) {
                data.assign(5000, '9'); // longer than the mailbox's buffer
            } else {
                const int n = static_cast<int>(rng() % 12);
                for (int i = 0; i < n; ++i)
                    data += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
            }
            const unsigned command = commands[rng() % (sizeof commands / sizeof commands[0])];
            const SReply r = server.Send(command, data);
            ASSERT_EQ(r.m_strReady, "1") << sim << " " << command << " [" << data << "]";
            ASSERT_FALSE(server.m_sim.BoxPort().IsOpen());
        }
    }
}
