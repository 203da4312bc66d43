// The camera probe under Wine through the real libraries, bound at load time
// as the reporter binds them, and the simulated bridge registered in the
// prefix. A virtual clock runs the waits without sleeping, except where the
// real clock is the point.
#include "bridge_sim_fixture_win32.h"
#include "camera_probe_win32.h"
#include "materiel.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace ostrel;
using bridgesim::test::CSimDevices;
using bridgesim::test::kBdaReceiver;
using bridgesim::test::kVideoInput;
using Log = std::vector<std::string>;

namespace {

class CVirtualClock final : public IProbeClock {
public:
    uint64_t NowMs() override { return m_nNow; }
    void SleepMs(uint32_t nMs) override { m_nNow += nMs; }
    uint64_t m_nNow = 1000;
};

class CameraProbeWine : public bridgesim::test::CSimDevicesTest {
protected:
    bool Probe(CMateriel& materiel) {
        const SCameraProbePorts ports{FirstBridgeWin32(), SecondBridgeWin32(), m_clock, WidenAnsi};
        Devices().TakeLog();
        return materiel.ProbeCamera(ports);
    }

    CVirtualClock m_clock;
};

} // namespace

TEST_F(CameraProbeWine, PlainPrefixHasNoCameraAndSaysSoQuickly) {
    ASSERT_EQ(0u, Devices().Unregister());
    CMateriel materiel;
    const ULONGLONG nStart = GetTickCount64();
    EXPECT_FALSE(materiel.ProbeCamera(CameraProbePortsWin32())); // the real clock
    EXPECT_LT(GetTickCount64() - nStart, 3000u);
    EXPECT_EQ(L"", materiel.GetCameraSerial());
}

TEST_F(CameraProbeWine, FirstGenerationCameraGivesItsIdentityStandardAndSerial) {
    ASSERT_TRUE(Devices().Add(kVideoInput, L"cam1", L"USB 2820 Video Capture", L"gen=1"));
    CMateriel materiel;
    ASSERT_TRUE(Probe(materiel));
    EXPECT_EQ(L"1.7", materiel.GetCameraFirmware());
    EXPECT_EQ(L"7285", materiel.GetCameraVoltage());
    EXPECT_EQ(L"PAL", materiel.GetCameraStandard());
    EXPECT_EQ(L"AB123456", materiel.GetCameraSerial());

    // The serial reply: one indexed read of 4 bytes, then plain reads of 4 and 1.
    const Log log = Devices().TakeLog();
    auto serial = std::find(log.begin(), log.end(), "M0501120808");
    ASSERT_NE(log.end(), serial);
    Log reads;
    for (auto it = serial; it != log.end() && reads.size() < 6; ++it)
        if (it->compare(0, 5, "S1007") == 0 || it->compare(0, 5, "G1008") == 0)
            reads.push_back(*it);
    EXPECT_EQ((Log{"S1007=014A7304", "G1008=31424109", "S1007=004A0004", "G1008=35343332",
                   "S1007=004A0001", "G1008=00000036"}),
              reads);
    EXPECT_EQ(1, std::count(log.begin(), log.end(), "M02AA"));

    CMateriel ntsc;
    Devices().RemoveDevices();
    ASSERT_TRUE(Devices().Add(kVideoInput, L"cam1", L"USB 2820 Video", L"gen=1;pal=0"));
    ASSERT_TRUE(Probe(ntsc));
    EXPECT_EQ(L"NTSC", ntsc.GetCameraStandard());
}

TEST_F(CameraProbeWine, ReadyNeedsANonzeroPortWithoutBit10) {
    const struct {
        const wchar_t* m_pszConfig;
        bool m_bCamera;
    } cases[] = {{L"gen=1;ready=0x10", false},
                 {L"gen=1;ready=0x00", false},
                 {L"gen=1;ready=0x01", true},
                 {L"gen=1;ready=0x21", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.m_pszConfig);
        Devices().RemoveDevices();
        ASSERT_TRUE(Devices().Add(kVideoInput, L"cam1", L"USB 2820 Video", c.m_pszConfig));
        CMateriel materiel;
        EXPECT_EQ(c.m_bCamera, Probe(materiel));
    }
}

TEST_F(CameraProbeWine, WrongIdentityLengthGivesNoCamera) {
    ASSERT_TRUE(Devices().Add(kVideoInput, L"cam1", L"USB 2820 Video", L"gen=1;len=AA:7"));
    CMateriel materiel;
    EXPECT_FALSE(Probe(materiel));
    EXPECT_EQ(L"0.0", materiel.GetCameraFirmware());
}

TEST_F(CameraProbeWine, SecondGenerationServesWhenTheFirstDoesNotOpen) {
    // A second-generation driver only: the first library finds no interface.
    ASSERT_TRUE(Devices().Add(kBdaReceiver, L"cam2", L"Varnik cameras driver",
                              L"gen=2;chip=65;serial=CD000002;div=0"));
    CMateriel materiel;
    ASSERT_TRUE(Probe(materiel));
    EXPECT_EQ(L"CD000002", materiel.GetCameraSerial());
    EXPECT_EQ(L"(unknown)", materiel.GetCameraVoltage());
    const Log log = Devices().TakeLog();
    EXPECT_NE(log.end(), std::find(log.begin(), log.end(), "S1005=00008401")); // new layout
}

TEST_F(CameraProbeWine, RealClockProbeTakesAboutASecond) {
    ASSERT_TRUE(Devices().Add(kVideoInput, L"cam1", L"USB 2820 Video", L"gen=1"));
    CMateriel materiel;
    const ULONGLONG nStart = GetTickCount64();
    ASSERT_TRUE(materiel.ProbeCamera(CameraProbePortsWin32()));
    const ULONGLONG nElapsed = GetTickCount64() - nStart;
    EXPECT_GE(nElapsed, 800u);
    EXPECT_LT(nElapsed, 10000u);
    EXPECT_EQ(L"AB123456", materiel.GetCameraSerial());
}
