// Box and wireless commands through the dispatcher, against simulated devices.
#include "test_support.h"

using namespace torvex;
using namespace torvex::test;

namespace {

const std::string kCom = "\\\\.\\COM7";

// DetectUsb, then InitLink with the found path, as the reporter does it.
SReply LinkBox(CServer& server) {
    const SReply found = server.Send(kCmdDetectUsb);
    EXPECT_EQ(found.m_nError, 0);
    server.Send(kCmdInitLink, found.m_strResult);
    return found;
}

// The box, or the wireless sensor on its port.
void Link(CServer& server, bool bWireless) {
    if (bWireless)
        server.Send(kCmdInitLink, kCom);
    else
        LinkBox(server);
}

} // namespace

TEST(SensorCommands, ReadSensorOnBoxAndWireless) {
    struct Case {
        const char* sim;
        bool wireless;
        const char* expected;
    } cases[] = {
        // serial block 11 22 33 44 55 00 00 00 -> bytes 87..80; exposures 1500 + (160 - 100)
        {"box=5841", false, "1;1122334455;1560"},
        {"box=123B;type=C;exposures=7", false, "42;1122334455;67"},
        // A zero serial block: the B0 01 01 bytes, leading zeros dropped.
        {"box=5841;serial=0;type=Q", false, "255;123456;1560"},
        {"wireless=7;type=B", true, "2;1122334455;1560"},
    };
    for (const auto& c : cases) {
        CServer server(c.sim);
        Link(server, c.wireless);
        const SReply r = server.Send(kCmdReadSensor);
        EXPECT_EQ(r.m_nError, 0) << c.sim;
        EXPECT_EQ(r.m_strResult, c.expected) << c.sim;
        EXPECT_EQ(r.m_strReady, "1");
        EXPECT_FALSE(server.m_sim.BoxPort().IsOpen());
    }
}

TEST(SensorCommands, ReadSensorPulsesArmOnlyWhenNotArmed) {
    CServer server("box=5841");
    LinkBox(server);
    const auto& frames = server.m_sim.Sensor().Received();
    server.Send(kCmdReadSensor);
    ASSERT_GE(frames.size(), 3u);
    EXPECT_EQ(frames[0], MakeFrame(0xA0, 0x01, 0, 0, 0, 0, 0, 0xA1));
    EXPECT_EQ(frames[1], MakeFrame(0xA0, 0x30, 0, 0, 0, 0, 0, 0xD0));
    EXPECT_EQ(server.Send(kCmdStartAcquisition).m_nError, 0);
    const size_t n = frames.size();
    server.Send(kCmdReadSensor);
    EXPECT_EQ(frames[n][0], 0xB0) << "armed: no pulse";
}

TEST(SensorCommands, ReadBox) {
    struct Case {
        const char* sim;
        bool wireless;
        const char* expected;
    } cases[] = {
        {"box=5841", false, "ABCDEF;0213"},
        {"box=5841;boxserial=0102030405060708", false, "0102030405060708;0213"},
        {"wireless=7;boxserial=0102030405060708", true, "010203040506;0213"},
        {"wireless=7;boxserial=FFFFFFFF00000000", true, "ABCDEF;0213"},
    };
    for (const auto& c : cases) {
        CServer server(c.sim);
        Link(server, c.wireless);
        const SReply r = server.Send(kCmdReadBox);
        EXPECT_EQ(r.m_nError, 0) << c.sim;
        EXPECT_EQ(r.m_strResult, c.expected) << c.sim;
    }
    // The firmware word's own failure is not reported.
    CServer late("box=5841;fault=late:B00202:6000");
    LinkBox(late);
    const SReply r = late.Send(kCmdReadBox);
    EXPECT_EQ(r.m_nError, 0);
    EXPECT_EQ(r.m_strResult, "ABCDEF;0000");
}

TEST(SensorCommands, TimingRuleTurnsLateSuccessIntoTimeout) {
    struct Case {
        const char* sim;
        unsigned command;
        int expected;
    } cases[] = {
        {"box=5841;fault=late:A030:5001", kCmdStopAcquisition, kOk}, // no reply read: never late
        {"box=5841;fault=late:C00B:5001", kCmdSetOptionBits, kTimeout},
        {"box=5841;fault=late:C00B:4999", kCmdSetOptionBits, kOk},
        {"box=5841;fault=late:B003:9000", kCmdReadState, kOk}, // 10000 ms for ReadState
        {"box=5841;fault=late:B003:10001", kCmdReadState, kTimeout},
        {"box=5841;fault=late:B001:5001", kCmdReadSensor, kTimeout},
        {"wireless=7;fault=late:C00A:5500", kCmdReadBattery, kTimeout},
    };
    for (const auto& c : cases) {
        CServer server(c.sim);
        server.m_nAllowedEarlyReady = 1; // ReadState may stop the acquisition first
        if (std::string(c.sim).rfind("wireless", 0) == 0)
            server.Send(kCmdInitLink, kCom);
        else
            LinkBox(server);
        const SReply r = server.Send(c.command);
        EXPECT_EQ(r.m_nError, c.expected) << c.sim;
        if (c.expected != kOk) {
            EXPECT_EQ(r.m_strResult, "") << c.sim;
        }
    }
}

TEST(SensorCommands, AcquisitionValueAndControlModeRanges) {
    struct Case {
        unsigned command;
        const char* data;
        int expected;
        size_t frames; // frames the sensor got from the command
    } cases[] = {
        {kCmdSetAcquisitionValue, "0", kBadValue, 0}, {kCmdSetAcquisitionValue, "61", kBadValue, 0},
        {kCmdSetAcquisitionValue, "60", kOk, 1},      {kCmdSetAcquisitionValue, "", kOk, 1},
        {kCmdSetAcquisitionValue, "257", kOk, 1}, // low byte 1
        {kCmdSetControlMode, "2", kBadValue, 0},      {kCmdSetControlMode, "1", kOk, 1},
        {kCmdSetControlMode, "", kBadValue, 0}, // default 3
    };
    for (const auto& c : cases) {
        CServer server("box=5841");
        LinkBox(server);
        const size_t n = server.m_sim.Sensor().Received().size();
        EXPECT_EQ(server.Send(c.command, c.data).m_nError, c.expected)
            << c.command << " " << c.data;
        EXPECT_EQ(server.m_sim.Sensor().Received().size() - n, c.frames) << c.data;
    }
    CServer server("box=5841");
    LinkBox(server);
    server.Send(kCmdSetAcquisitionValue, "257");
    EXPECT_EQ(server.m_sim.Sensor().AcquisitionValue(), 1);
    EXPECT_EQ(server.Send(kCmdStartAcquisition).m_nError, 0);
    EXPECT_EQ(server.Send(kCmdSetAcquisitionValue, "5").m_nError, kAlreadyArmed);
    EXPECT_EQ(server.Send(kCmdStartAcquisitionMode2).m_nError, kAlreadyArmed);
    EXPECT_EQ(server.Send(kCmdStopAcquisition).m_nError, 0);
    EXPECT_EQ(server.Send(kCmdStartAcquisitionMode2).m_nError, 0);
    EXPECT_TRUE(server.m_sim.Sensor().Armed());
}

TEST(SensorCommands, OptionBitsWriteOnlyWhenChanged) {
    CServer server("box=5841"); // option word starts at 0x0001
    LinkBox(server);
    EXPECT_EQ(server.Send(kCmdSetOptionBits, "1;1").m_nError, 0);
    EXPECT_EQ(server.m_sim.Sensor().OptionWord(), 0x0007);
    EXPECT_EQ(server.m_sim.Sensor().Received().back(),
              MakeFrame(0xC0, 0x0C, 0xA0, 0x08, 0x07, 0x00));
    const size_t n = server.m_sim.Sensor().Received().size();
    EXPECT_EQ(server.Send(kCmdSetOptionBits, "5;-1").m_nError, 0);
    EXPECT_EQ(server.m_sim.Sensor().Received().size(), n + 1) << "unchanged: only the read";
    EXPECT_EQ(server.Send(kCmdSetOptionBits, "0").m_nError, 0);
    EXPECT_EQ(server.m_sim.Sensor().OptionWord(), 0x0001);
}

TEST(SensorCommands, ReadStateFlags) {
    struct Case {
        const char* sim;
        bool armFirst;
        const char* expected;
    } cases[] = {
        {"box=5841;ready=1", false, "1;0"},
        {"box=5841", true, "0;1"},
        {"box=5841", false, "0;0"}, // second look: bit 4 clear runs StopAcquisition
    };
    for (const auto& c : cases) {
        CServer server(c.sim);
        LinkBox(server);
        if (c.armFirst)
            server.Send(kCmdStartAcquisition);
        server.m_nAllowedEarlyReady = 1;
        const SReply r = server.Send(kCmdReadState);
        EXPECT_EQ(r.m_nError, 0) << c.sim;
        EXPECT_EQ(r.m_strResult, c.expected) << c.sim;
    }
    // The inner StopAcquisition writes its own answer, READY 1 included, first.
    CServer server("box=5841");
    LinkBox(server);
    server.m_nAllowedEarlyReady = 1;
    const size_t n = server.m_store.m_writes.size();
    server.Send(kCmdReadState);
    int nReadyOnes = 0;
    for (size_t i = n; i < server.m_store.m_writes.size(); ++i)
        nReadyOnes += server.m_store.m_writes[i].m_strKey == "READY" &&
                      server.m_store.m_writes[i].m_strValue == "1";
    EXPECT_EQ(nReadyOnes, 2);
    EXPECT_EQ(server.m_sim.Sensor().Received().back(), MakeFrame(0xA0, 0x30, 0, 0, 0, 0, 0, 0xD0));
}

// Byte 4 and byte 6 of the state replies, every branch of the decision: a
// second look only when the first reply is neither armed nor active (bit 4).
TEST(SensorCommands, ReadStateDecisionTable) {
    const CFrame kStop = MakeFrame(0xA0, 0x30, 0, 0, 0, 0, 0, 0xD0);
    struct Case {
        const char* states; // flags and mode of the first, then the second reply
        const char* expected;
        size_t queries;
        bool stops;
    } cases[] = {
        {"0100", "1;0", 1, false},      {"0140", "1;0", 1, false}, // ready wins
        {"0040", "0;1", 1, false},      {"0080", "0;1", 1, false},
        {"0050", "0;1", 1, false},      {"0010", "0;1", 1, false},
        {"0210", "0;0", 1, false}, // hold
        {"0410", "0;0", 1, true},  // stop wanted
        {"0610", "0;0", 1, false}, // hold before stop
        {"0000,0100", "1;0", 2, false}, {"0000,0000", "0;0", 2, true},
        {"0000,0040", "0;0", 2, true}, // armed bits do not count the second time
        {"0000,0210", "0;0", 2, false}, {"0000,0010", "0;1", 2, false},
        {"0000,0410", "0;1", 2, false},
    };
    for (const auto& c : cases) {
        CServer server(std::string("box=5841;state=") + c.states);
        LinkBox(server);
        server.m_nAllowedEarlyReady = 1;
        const size_t n = server.m_sim.Sensor().Received().size();
        const SReply r = server.Send(kCmdReadState);
        EXPECT_EQ(r.m_nError, 0) << c.states;
        EXPECT_EQ(r.m_strResult, c.expected) << c.states;
        const auto& got = server.m_sim.Sensor().Received();
        ASSERT_EQ(got.size() - n, c.queries + (c.stops ? 1 : 0)) << c.states;
        for (size_t i = 0; i < c.queries; ++i)
            EXPECT_EQ(got[n + i], MakeFrame(0xB0, 0x03, 0x01, 0, 0, 0, 0, 0xB4)) << c.states;
        if (c.stops) {
            EXPECT_EQ(got.back(), kStop) << c.states;
        }
        EXPECT_EQ(server.m_dispatcher.View().m_bArmed, std::string(c.expected) == "0;1")
            << c.states;
    }
}

TEST(SensorCommands, ReadBattery) {
    CServer wireless("wireless=7;battery=204");
    wireless.Send(kCmdInitLink, kCom);
    EXPECT_EQ(wireless.Send(kCmdReadBattery).m_strResult, "5600"); // 204 * 7000 / 255
    CServer rounding("wireless=7;battery=1");
    rounding.Send(kCmdInitLink, kCom);
    EXPECT_EQ(rounding.Send(kCmdReadBattery).m_strResult, "27"); // 27.45 -> 27
    CServer failing("wireless=7;fault=busy:C00A");
    failing.Send(kCmdInitLink, kCom);
    const SReply r = failing.Send(kCmdReadBattery);
    EXPECT_EQ(r.m_strResult, "");
    EXPECT_EQ(r.m_nError, kBusy);
    CServer box("box=5841");
    LinkBox(box);
    const size_t n = box.m_sim.Sensor().Received().size();
    const SReply onBox = box.Send(kCmdReadBattery);
    EXPECT_EQ(onBox.m_strResult, "");
    EXPECT_EQ(onBox.m_nError, 0);
    EXPECT_EQ(box.m_sim.Sensor().Received().size(), n);
}

TEST(SensorCommands, BlemishTable) {
    CServer server("box=5841");
    LinkBox(server);
    EXPECT_EQ(server.Send(kCmdReadBlemish).m_nError, 0);
    EXPECT_EQ(server.m_store.Get("BLEMISH", "NUMBER"), "2");
    EXPECT_EQ(server.m_store.Get("BLEMISH", "1"), "10;20");
    EXPECT_EQ(server.m_store.Get("BLEMISH", "2"), "300;4000");
    EXPECT_EQ(server.Send(kCmdWriteBlemish, "65535;7").m_nError, 0);
    EXPECT_EQ(server.Send(kCmdReadBlemish).m_nError, 0);
    EXPECT_EQ(server.m_store.Get("BLEMISH", "3"), "65535;7");
    EXPECT_EQ(server.m_store.Get("BLEMISH", "NUMBER"), "3");
    EXPECT_EQ(server.Send(kCmdSetBlemishMode, "4;0").m_nError, 0);
    EXPECT_EQ(server.m_sim.Sensor().Received().back(), MakeFrame(0x70, 0x05, 1, 0));

    // End marker first: NUMBER = 0 and nothing else; 0xFF markers count too.
    for (const char* sim : {"box=5841;blemish=0", "box=5841;blemish=0;marker=FF"}) {
        CServer empty(sim);
        LinkBox(empty);
        empty.m_store.Write("BLEMISH", "7", "old");
        EXPECT_EQ(empty.Send(kCmdReadBlemish).m_nError, 0);
        EXPECT_EQ(empty.m_store.m_values["BLEMISH"].size(), 1u) << sim;
        EXPECT_EQ(empty.m_store.Get("BLEMISH", "NUMBER"), "0") << sim;
    }
    // A failure ends the loop: entries so far stay, no NUMBER.
    CServer failing("box=5841;fault=busy:7003:0:1");
    LinkBox(failing);
    EXPECT_EQ(failing.Send(kCmdReadBlemish).m_nError, kBusy);
    EXPECT_EQ(failing.m_store.Get("BLEMISH", "NUMBER"), "<none>");
    // A full table of 256 entries has no end marker: no NUMBER either.
    CServer full("box=5841;blemish=256");
    LinkBox(full);
    EXPECT_EQ(full.Send(kCmdReadBlemish).m_nError, 0);
    EXPECT_EQ(full.m_store.Get("BLEMISH", "256"), "256;1255");
    EXPECT_EQ(full.m_store.Get("BLEMISH", "NUMBER"), "<none>");
}

TEST(SensorCommands, SendFrame) {
    CServer server("box=5841");
    LinkBox(server);
    SReply r = server.Send(kCmdSendFrame, "176;1;1;0;0;0;0;0");
    EXPECT_EQ(r.m_nError, 0);
    EXPECT_EQ(r.m_strResult, "176;1;65;0;0;18;52;86");
    const size_t n = server.m_sim.Sensor().Received().size();
    r = server.Send(kCmdSendFrame, "176;1;1;0;0;0;0");
    EXPECT_EQ(r.m_nError, 0);
    EXPECT_EQ(r.m_strResult, "");
    EXPECT_EQ(server.m_sim.Sensor().Received().size(), n) << "fewer than eight: nothing sent";
    r = server.Send(kCmdSendFrame, "176;1;1;0;0;0;0;9"); // bad checksum sent unchanged
    EXPECT_EQ(r.m_nError, kRejected);
    EXPECT_EQ(r.m_strResult, "");
}

// Counter at 32000 or more: the sensor's memory is saved, re-initialised with
// the confirmation key, and written back before the arm frame.
TEST(SensorCommands, PreArmMaintenance) {
    CServer server("box=5841;exposures=32000");
    LinkBox(server);
    EXPECT_EQ(server.Send(kCmdStartAcquisition).m_nError, 0);
    const sim::CSensorModel& s = server.m_sim.Sensor();
    EXPECT_EQ(s.Exposures(), 0) << "the sensor took the key";
    EXPECT_EQ(s.Blemish().size(), 2u) << "blemish table written back";
    EXPECT_EQ(s.Block(0)[92], 0);
    EXPECT_EQ(s.Block(0)[96], 0);
    EXPECT_EQ(s.Block(0)[80], 0x55) << "serial kept";
    EXPECT_EQ(s.Block(1)[5], 5);
    EXPECT_TRUE(s.Armed());
    EXPECT_EQ(s.Received().back(), MakeFrame(0xA0, 0x01, 0, 0, 0, 0, 0, 0xA1));

    CServer below("box=5841;exposures=31999");
    LinkBox(below);
    EXPECT_EQ(below.Send(kCmdStartAcquisition).m_nError, 0);
    EXPECT_EQ(below.m_sim.Sensor().Received().size(), 2u) << "counter read, then arm";

    CServer failing("box=5841;exposures=40000;fault=reject:9001");
    LinkBox(failing);
    EXPECT_EQ(failing.Send(kCmdStartAcquisition).m_nError, kRejected);
    EXPECT_FALSE(failing.m_sim.Sensor().Armed());
    EXPECT_EQ(failing.Send(kCmdStartAcquisition).m_nError, kRejected) << "not armed: retried";
}
