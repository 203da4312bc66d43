// The simulators' own rules that the server's tests rely on.
#include "sim_config.h"
#include "simulation.h"
#include "status_codes.h"

#include <gtest/gtest.h>

using namespace torvex;
using namespace torvex::sim;

TEST(SimConfig, ParsesDevicesFaultsAndSetup) {
    const SSimConfig c = ParseSimConfig(
        "box=123A;wireless=7;clock=virtual;fault=late:B003:3000:2;fault=busy:*;serial=AB;"
        "blemish=3;marker=FF;battery=9;type=C;ready=1;nonsense=1;fault=odd");
    EXPECT_EQ(c.m_strBoxPid, "123A");
    EXPECT_EQ(c.m_nWirelessPort, 7);
    EXPECT_TRUE(c.m_bVirtualClock);
    ASSERT_EQ(c.m_faults.size(), 2u);
    EXPECT_EQ(c.m_faults[0].m_eKind, EFault::Late);
    EXPECT_EQ(c.m_faults[0].m_wWord, 0x03B0);
    EXPECT_EQ(c.m_faults[0].m_nArg, 3000u);
    EXPECT_EQ(c.m_faults[0].m_nTimes, 2);
    EXPECT_EQ(c.m_faults[1].m_wWord, kAnyWord);
    EXPECT_EQ(c.m_setup.m_nSerial, 0xABu);
    EXPECT_EQ(c.m_setup.m_blemish.size(), 3u);
    EXPECT_EQ(c.m_setup.m_nEndMarker, 0xFF);
    EXPECT_EQ(c.m_setup.m_cType, 'C');
    EXPECT_EQ(c.m_unknown.size(), 2u);
}

TEST(WirelessSimulator, AnswersEnvelopesAndSkipsGarbage) {
    CVirtualClock clock;
    CFaultPlan faults;
    CSensorModel model(SSensorSetup{});
    CWirelessSimulator sensor(model, faults, clock);
    CFrame frame = MakeFrame(0xB0, 0x01, 0x02);
    FillChecksum(frame);
    const CEnvelope env = BuildEnvelope(frame);
    const uint8_t junk[] = {0x00, 0xA5, 0x13};
    sensor.Receive(junk, sizeof junk);
    sensor.Receive(env.data(), 6); // split across two writes
    sensor.Receive(env.data() + 6, env.size() - 6);
    ASSERT_EQ(sensor.Available(), kEnvelopeSize);
    CEnvelope reply{};
    ASSERT_EQ(sensor.Take(reply.data(), reply.size()), kEnvelopeSize);
    CFrame out{};
    EXPECT_TRUE(OpenEnvelope(reply, out));
    EXPECT_EQ(out[0], 0xB0);
    EXPECT_EQ(out[2], 1500 & 0xFF);

    // Frames without an answer get none.
    CFrame stop = MakeFrame(0xA0, 0x30);
    FillChecksum(stop);
    const CEnvelope quiet = BuildEnvelope(stop);
    sensor.Receive(quiet.data(), quiet.size());
    EXPECT_EQ(sensor.Available(), 0u);
    EXPECT_FALSE(model.Armed());
}

TEST(BoxSimulator, PolledFamiliesEchoAndAnswerWhenDue) {
    CVirtualClock clock;
    CFaultPlan faults;
    SFaultRule late;
    late.m_eKind = EFault::Late;
    late.m_wWord = 0x01B0;
    late.m_nArg = 300;
    late.m_nTimes = 1;
    faults.Add(late);
    CSensorModel model(SSensorSetup{});
    CBoxSimulator box("123B", model, faults, clock);
    EXPECT_TRUE(box.Polled());
    CFrame f = MakeFrame(0xB0, 0x01, 0x01);
    FillChecksum(f);
    ASSERT_EQ(box.Write(f.data()), 0);
    CFrame r{};
    ASSERT_EQ(box.Read(r.data()), 0);
    EXPECT_EQ(r, CFrame{}) << "nothing yet";
    clock.Advance(300);
    ASSERT_EQ(box.Read(r.data()), 0);
    EXPECT_EQ(r[2], 'A');

    CBoxSimulator single("5841", model, faults, clock);
    EXPECT_FALSE(single.Polled());
    CFrame stop = MakeFrame(0xA0, 0x30);
    FillChecksum(stop);
    ASSERT_EQ(single.Write(stop.data()), 0);
    EXPECT_EQ(single.Read(r.data()), kErrSemTimeout) << "no answer to read";
}

TEST(SimConfig, DirectSensorsAndTheirFaults) {
    const SSimConfig c = ParseSimConfig(
        "direct=85,12;dstatus=48,08;dstate=255;dfault=working:8F:2:1;dfault=gone:*:3;"
        "dfault=nope:84;dnoep=81");
    ASSERT_EQ(c.m_direct.size(), 2u);
    EXPECT_EQ(c.m_direct[0].m_nCpld, 0x85);
    EXPECT_EQ(c.m_direct[0].m_strIdentity, "TS2-1-00071;R3");
    EXPECT_EQ(c.m_direct[1].m_strIdentity, "TS2-2-00072;R3");
    EXPECT_EQ(c.m_direct[1].m_statusFlags, (std::vector<uint8_t>{0x48, 0x08}));
    EXPECT_EQ(c.m_direct[1].m_nStateCode, 255);
    ASSERT_EQ(c.m_directFaults.size(), 2u);
    EXPECT_EQ(c.m_directFaults[0].m_eKind, EDirectFault::Working);
    EXPECT_EQ(c.m_directFaults[0].m_nRequest, 0x8F);
    EXPECT_EQ(c.m_directFaults[0].m_nArg, 2u);
    EXPECT_EQ(c.m_directFaults[0].m_nTimes, 1);
    EXPECT_EQ(c.m_directFaults[1].m_nRequest, -1);
    EXPECT_EQ(c.m_missingEndpoints, (std::vector<uint8_t>{0x81}));
    EXPECT_EQ(c.m_unknown.size(), 1u);
}

TEST(SimConfig, UnpluggedInImagePerSensor) {
    const SSimConfig both = ParseSimConfig("dgone=4;direct=85,12;dgone=-,2");
    ASSERT_EQ(both.m_direct.size(), 2u);
    EXPECT_EQ(both.m_direct[0].m_acquisition.m_nGoneInImage, 0u);
    EXPECT_EQ(both.m_direct[1].m_acquisition.m_nGoneInImage, 2u);
    const SSimConfig first = ParseSimConfig("direct=85,12;dgone=1");
    EXPECT_EQ(first.m_direct[0].m_acquisition.m_nGoneInImage, 1u);
    EXPECT_EQ(first.m_direct[1].m_acquisition.m_nGoneInImage, 0u);
    EXPECT_EQ(ParseSimConfig("direct=85;dgone=-3").m_direct[0].m_acquisition.m_nGoneInImage, 0u);
    EXPECT_TRUE(first.m_unknown.empty());
}
