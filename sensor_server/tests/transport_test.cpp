#include "test_support.h"

#include "transport.h"

using namespace torvex;
using namespace torvex::test;

namespace {

// A transport wired straight to simulated devices.
struct STransportRig {
    explicit STransportRig(const std::string& strSim)
        : m_sim(sim::ParseSimConfig(strSim + ";clock=virtual"), m_unused),
          m_transport(m_link, m_sim.BoxPort(), Serial(), m_sim.Clock(), m_hooks) {}
    ISerialPort& Serial() {
        if (m_sim.SerialPort())
            return *m_sim.SerialPort();
        return m_absent;
    }
    int OpenUsb() { return m_transport.OpenLink(kLinkUsb, nullptr); }
    int OpenCom(const std::string& name) { return m_transport.OpenLink(kLinkSerial, &name); }
    uint64_t Now() { return m_sim.Clock().NowMs(); }

    sim::CVirtualClock m_unused;
    CAbsentSerialPort m_absent;
    CFakeHooks m_hooks;
    SLinkState m_link;
    sim::CSimulation m_sim;
    CTransport m_transport;
};

} // namespace

TEST(Transport, BoxAnswersAndFaults) {
    struct Case {
        const char* sim;
        CFrame frame;
        int expected;
    } cases[] = {
        {"box=5841", MakeFrame(0xB0, 0x01, 0x01), kOk},
        {"box=5841;fault=busy:B001", MakeFrame(0xB0, 0x01, 0x01), kBusy},
        {"box=5841;fault=reject:B001", MakeFrame(0xB0, 0x01, 0x01), kRejected},
        {"box=5841;fault=wrong:B001", MakeFrame(0xB0, 0x01, 0x01), kWrongReply},
        {"box=5841;fault=silent:B001", MakeFrame(0xB0, 0x01, 0x01), sim::kErrSemTimeout},
        {"box=5841;fault=gone:*:0", MakeFrame(0xB0, 0x01, 0x01), sim::kErrDeviceNotConnected},
        {"box=123A", MakeFrame(0xB0, 0x01, 0x01), kOk},
        {"box=123A;fault=busy:B001", MakeFrame(0xB0, 0x01, 0x01), kBusy},
        {"box=123A;fault=reject:B001", MakeFrame(0xB0, 0x01, 0x01), kRejected},
        {"box=123A;fault=silent:B001", MakeFrame(0xB0, 0x01, 0x01), kWrongReply},
        {"", MakeFrame(0xB0, 0x01, 0x01), kNoMoreDevices},
        {"box=5841", MakeFrame(0xA0, 0x30), kOk}, // no reply read
        {"box=5841", MakeFrame(0x20, 0x01), kOk}, // unknown class: beep, no reply
        {"box=5841", MakeFrame(0xB0, 0x01, 0x01, 0, 0, 0, 0, 0x01), kRejected}, // sent as is
    };
    for (const auto& c : cases) {
        STransportRig rig(c.sim);
        ASSERT_EQ(rig.OpenUsb(), kOk);
        CFrame f = c.frame;
        EXPECT_EQ(rig.m_transport.ExchangeFrame(f), c.expected) << c.sim;
        EXPECT_FALSE(rig.m_sim.BoxPort().IsOpen()) << c.sim << ": the box stays closed";
    }
}

TEST(Transport, UnknownClassBeepsWithoutReading) {
    STransportRig rig("box=5841");
    ASSERT_EQ(rig.OpenUsb(), kOk);
    CFrame f = MakeFrame(0x20, 0x01);
    EXPECT_EQ(rig.m_transport.ExchangeFrame(f), kOk);
    EXPECT_EQ(rig.m_hooks.m_nBeeps, 1);
}

TEST(Transport, NoLinkAndLinkKinds) {
    STransportRig rig("box=5841");
    CFrame f = MakeFrame(0xB0, 0x01, 0x01);
    EXPECT_EQ(rig.m_transport.ExchangeFrame(f), kNoLink);
    EXPECT_EQ(rig.m_transport.OpenLink(7, nullptr), kLinkKindBad);
    EXPECT_EQ(rig.m_transport.OpenLink(kLinkSerial, nullptr), kLinkPathMissing);
    EXPECT_EQ(rig.m_link.m_nKind, kLinkNone);
    EXPECT_EQ(rig.m_transport.CloseLink(), kLinkKindBad);
    EXPECT_EQ(rig.m_transport.PulseArm(), kNoLink);
}

TEST(Transport, PolledBoxWaitsLongerOnlyForStateRequests) {
    struct Case {
        const char* sim;
        CFrame frame;
        int expected;
        uint64_t minElapsed, maxElapsed;
    } cases[] = {
        // B0 03 may take up to 7500 ms on a polled box.
        {"box=123;fault=late:B003:7000", MakeFrame(0xB0, 0x03, 0x01), kOk, 7000, 7100},
        {"box=123;fault=late:B003:9000", MakeFrame(0xB0, 0x03, 0x01), kWrongReply, 7500, 7600},
        // Any other frame: 200 ms.
        {"box=123;fault=late:B001:150", MakeFrame(0xB0, 0x01, 0x01), kOk, 150, 260},
        {"box=123;fault=late:B001:400", MakeFrame(0xB0, 0x01, 0x01), kWrongReply, 200, 300},
        // Busy keeps the box polled until the limit: then the last answer counts.
        {"box=123;fault=busy:B001", MakeFrame(0xB0, 0x01, 0x01), kBusy, 200, 300},
    };
    for (const auto& c : cases) {
        STransportRig rig(c.sim);
        ASSERT_EQ(rig.OpenUsb(), kOk);
        ASSERT_EQ(rig.m_transport.DetectBox(), kOk);
        const uint64_t t0 = rig.Now();
        CFrame f = c.frame;
        EXPECT_EQ(rig.m_transport.ExchangeFrame(f), c.expected) << c.sim;
        const uint64_t elapsed = rig.Now() - t0;
        EXPECT_GE(elapsed, c.minElapsed) << c.sim;
        EXPECT_LE(elapsed, c.maxElapsed) << c.sim;
    }
}

TEST(Transport, PolledBoxSkipsTheReplyOfD001) {
    STransportRig rig("box=123;fault=silent:D001");
    ASSERT_EQ(rig.OpenUsb(), kOk);
    ASSERT_EQ(rig.m_transport.DetectBox(), kOk);
    const uint64_t t0 = rig.Now();
    CFrame f = MakeFrame(0xD0, 0x01, 0x05);
    EXPECT_EQ(rig.m_transport.ExchangeFrame(f), kOk);
    EXPECT_EQ(rig.Now(), t0);
}

TEST(Transport, PidFamilyBits) {
    struct Case {
        const char* path;
        uint8_t bits;
    } cases[] = {
        {"\\\\?\\usb#vid_1a2b&pid_123#x", kPidBit0},
        {"\\\\?\\usb#vid_1a2b&pid_123a#x", kPidBit0 | kPidBit1},
        {"\\\\?\\usb#vid_1a2b&pid_123b#x", kPidBit0 | kPidBit2},
        {"\\\\?\\usb#vid_1a2b&pid_5841#x", kPidBit1},
        {"\\\\?\\usb#vid_1a2b&pid_0101#x", kPidBit0 | kPidBit1},
        {"\\\\?\\usb#vid_1a2b&pid_0102#x", kPidBit0 | kPidBit2},
        {"\\\\?\\usb#vid_1a2b&pid_7777#x", 0},
        {"\\\\?\\usb#vid_1a2b#pid_123#x", 0}, // needs the "&"
    };
    for (const auto& c : cases)
        EXPECT_EQ(PidBitsOfPath(c.path), c.bits) << c.path;
}

TEST(Transport, FirstContactLearnsTheFamily) {
    struct Case {
        const char* sim;
        uint8_t bits;
    } cases[] = {{"box=123A", kPidBit0 | kPidBit1}, {"box=5841", kPidBit1}};
    for (const auto& c : cases) {
        STransportRig rig(c.sim);
        // A path given by the client: no discovery, so no family bits yet.
        std::string path;
        ASSERT_EQ(rig.m_sim.BoxPort().FindBox(path), kOk);
        ASSERT_EQ(rig.m_transport.OpenLink(kLinkUsb, &path), kOk);
        EXPECT_EQ(rig.m_link.m_nPidBits, 0);
        CFrame f = MakeFrame(0xB0, 0x02, 0x02);
        EXPECT_EQ(rig.m_transport.ExchangeFrame(f), kOk) << c.sim;
        EXPECT_EQ(rig.m_link.m_nPidBits, c.bits) << c.sim;
    }
}

TEST(Transport, BlocksTravelAs32FramesOnOneOpening) {
    STransportRig rig("box=5841;serial=8877665544332211");
    ASSERT_EQ(rig.OpenUsb(), kOk);
    CBlock block{};
    ASSERT_EQ(rig.m_transport.ReadBlock(0, block), kOk);
    EXPECT_EQ(block[80], 0x11);
    EXPECT_EQ(block[87], 0x88);
    EXPECT_EQ(block[92], 100); // counter base
    const auto& got = rig.m_sim.Sensor().Received();
    ASSERT_EQ(got.size(), 32u);
    EXPECT_EQ(got[0], MakeFrame(0x90, 0x01, 0x00, 0x5A));
    EXPECT_EQ(got[31], MakeFrame(0x90, 0x01, 0x00, 0x01));

    CBlock data{};
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(3 * i);
    ASSERT_EQ(rig.m_transport.WriteBlock(1, data), kOk);
    EXPECT_EQ(got[32], MakeFrame(0x90, 0x02, 0x01, 0xA5, 0, 3, 6, 9));
    for (size_t i = 0; i < data.size(); ++i)
        ASSERT_EQ(rig.m_sim.Sensor().Block(1)[i], data[i]);
    EXPECT_FALSE(rig.m_sim.BoxPort().IsOpen());

    STransportRig failing("box=5841;fault=busy:9001");
    ASSERT_EQ(failing.OpenUsb(), kOk);
    EXPECT_EQ(failing.m_transport.ReadBlock(0, block), kBusy);
    EXPECT_EQ(failing.m_sim.Sensor().Received().size(), 1u) << "the first failure ends it";
}

TEST(Transport, SerialExchangeAndEnvelopeFaults) {
    struct Case {
        const char* sim;
        int expected;
        uint64_t elapsedAtLeast;
    } cases[] = {
        {"wireless=7", kOk, 0},
        {"wireless=7;fault=badenv:B001", kEnvelopeBad, 0},
        {"wireless=7;fault=busy:B001", kBusy, 0},
        {"wireless=7;fault=reject:B001", kRejected, 0},
        {"wireless=7;fault=silent:B001", kIoPending, 10000},
        {"wireless=7;fault=late:B001:3000", kOk, 3000},
    };
    for (const auto& c : cases) {
        STransportRig rig(c.sim);
        ASSERT_EQ(rig.OpenCom("\\\\.\\COM7"), kOk);
        EXPECT_TRUE(rig.m_sim.SerialPort()->IsOpen()) << "opened at once";
        const uint64_t t0 = rig.Now();
        CFrame f = MakeFrame(0xB0, 0x01, 0x01);
        EXPECT_EQ(rig.m_transport.ExchangeFrame(f), c.expected) << c.sim;
        EXPECT_GE(rig.Now() - t0, c.elapsedAtLeast) << c.sim;
        EXPECT_LT(rig.Now() - t0, c.elapsedAtLeast + 200) << c.sim;
        // Any failed exchange closes the port; success keeps it open.
        EXPECT_EQ(rig.m_sim.SerialPort()->IsOpen(), c.expected == kOk) << c.sim;
        if (c.expected == kEnvelopeBad) {
            EXPECT_EQ(f[0], 0xB0) << "the reply frame is still handed over";
        }
    }
}

TEST(Transport, SerialPortThatDisappearsIsClosedAndReopenedLazily) {
    STransportRig rig("wireless=7;fault=gone:*:2");
    ASSERT_EQ(rig.OpenCom("\\\\.\\COM7"), kOk);
    CFrame f = MakeFrame(0xB0, 0x01, 0x01);
    EXPECT_EQ(rig.m_transport.ExchangeFrame(f), kOk);
    f = MakeFrame(0xB0, 0x01, 0x02);
    EXPECT_EQ(rig.m_transport.ExchangeFrame(f), kOk);
    f = MakeFrame(0xB0, 0x01, 0x01); // the sensor is gone now
    EXPECT_NE(rig.m_transport.ExchangeFrame(f), kOk);
    EXPECT_FALSE(rig.m_sim.SerialPort()->IsOpen());
    f = MakeFrame(0xB0, 0x01, 0x01);
    EXPECT_EQ(rig.m_transport.ExchangeFrame(f), sim::kErrFileNotFound) << "reopening fails";
    EXPECT_FALSE(rig.m_sim.SerialPort()->IsOpen());
    EXPECT_EQ(rig.m_transport.CloseLink(), kOk);
}

TEST(Transport, SerialPortOpensLazilyWhenAbsentAtInitLink) {
    STransportRig rig("wireless=7");
    ASSERT_EQ(rig.OpenCom("\\\\.\\COM9"), kOk); // not there: not reported
    CFrame f = MakeFrame(0xB0, 0x01, 0x01);
    EXPECT_EQ(rig.m_transport.ExchangeFrame(f), sim::kErrFileNotFound);
}
