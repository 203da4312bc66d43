// The camera probe end to end on the host: probe, portable bridge library and
// the simulated bridge chip with its camera; only COM is missing.
#include "bridge_library.h"
#include "bridge_sim_config.h"
#include "camera_probe.h"
#include "materiel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

using namespace ostrel;
using namespace vidlink;
using bridgesim::CBridgeChip;
using bridgesim::ParseBridgeConfig;
using Log = std::vector<std::string>;

namespace {

// Every search creates a fresh chip, as binding a device creates a fresh filter.
class CSimFinder final : public IFilterFinder {
public:
    std::unique_ptr<IBridgeDriver> FindDriver(const std::string& strName) override {
        m_names.push_back(strName);
        if (!m_config)
            return nullptr;
        auto pChip = std::make_shared<CBridgeChip>(ParseBridgeConfig(*m_config).m_bridge);
        m_chips.push_back(pChip);
        struct SForward final : IBridgeDriver {
            std::shared_ptr<CBridgeChip> p;
            HResult SetProperty(uint32_t n, void* d) override { return p->SetProperty(n, d); }
            HResult GetProperty(uint32_t n, void* d) override { return p->GetProperty(n, d); }
        };
        auto pForward = std::make_unique<SForward>();
        pForward->p = pChip;
        return pForward;
    }
    // The chip the library holds: the first of the last open's two searches.
    CBridgeChip& Held() { return *m_chips.at(m_chips.size() - 2); }

    std::optional<std::string> m_config;
    std::vector<std::string> m_names;
    std::vector<std::shared_ptr<CBridgeChip>> m_chips;
};

class CLibraryBridge final : public ICameraBridge {
public:
    explicit CLibraryBridge(CBridgeLibrary& library) : m_library(library) {}
    int OpenInterface(const char* pszName) override { return m_library.OpenInterface(pszName); }
    int32_t SetI2C_I(uint32_t a, uint32_t s, uint32_t c, uint32_t* d) override {
        return m_library.SetI2C_I(a, s, c, d);
    }
    int32_t GetI2C_I(uint32_t a, uint32_t s, uint32_t c, uint32_t* d) override {
        return m_library.GetI2C_I(a, s, c, d);
    }
    int32_t GetI2C_NI(uint32_t a, uint32_t c, uint32_t* d) override {
        return m_library.GetI2C_NI(a, c, d);
    }
    int32_t GetPIO(uint32_t* d) override { return m_library.GetPIO(d); }

private:
    CBridgeLibrary& m_library;
};

class CFakeClock final : public IProbeClock {
public:
    uint64_t NowMs() override { return m_nNow; }
    void SleepMs(uint32_t nMs) override { m_nNow += nMs; }
    uint64_t m_nNow = 5000;
};

struct SProbeRig {
    SProbeRig() { first.m_config = ""; }
    CSimFinder first, second;
    CBridgeLibrary firstLibrary{EGeneration::First, first};
    CBridgeLibrary secondLibrary{EGeneration::Second, second};
    CLibraryBridge firstBridge{firstLibrary}, secondBridge{secondLibrary};
    CFakeClock clock;
    SCameraProbePorts ports{firstBridge, secondBridge, clock, nullptr};
    CMateriel materiel;
    bool Probe() { return materiel.ProbeCamera(ports); }
};

// The bus writes (or reads) of a log: the I2C properties only.
Log I2COnly(const Log& log) {
    Log out;
    for (const std::string& s : log)
        if (s.compare(1, 4, "1007") == 0 || s.compare(1, 4, "1008") == 0)
            out.push_back(s);
    return out;
}

} // namespace

TEST(CameraProbe, ReadsFirmwareVoltageStandardAndSerialInTheCommandOrder) {
    SProbeRig rig;
    ASSERT_TRUE(rig.Probe());
    EXPECT_EQ(L"1.7", rig.materiel.GetCameraFirmware());
    EXPECT_EQ(L"7285", rig.materiel.GetCameraVoltage()); // 306 / 42 V
    EXPECT_EQ(L"PAL", rig.materiel.GetCameraStandard());
    EXPECT_EQ(L"AB123456", rig.materiel.GetCameraSerial());
    EXPECT_EQ((Log{"02AB", "04A0011C", "02AA", "04A0011C", "0501010101", "0501120808", "04A0010C"}),
              rig.first.Held().Camera()->Messages());
    EXPECT_EQ((Log{"USB 2820 Video", "USB 2820 Video"}), rig.first.m_names);
    EXPECT_TRUE(rig.second.m_names.empty());
    // Pauses and ready polls: close to a second.
    EXPECT_GE(rig.clock.m_nNow - 5000, 800u);

    SProbeRig ntsc;
    ntsc.first.m_config = "pal=0;serial=X\xE9"
                          "000001";
    ASSERT_TRUE(ntsc.Probe());
    EXPECT_EQ(L"NTSC", ntsc.materiel.GetCameraStandard());
    EXPECT_EQ(L"X\u00E9000001", ntsc.materiel.GetCameraSerial()); // 8-bit text widened
}

TEST(CameraProbe, MessagesAreWrittenAfterTheKeyInGroupsOfAtMostFiveBytes) {
    const struct {
        const char* m_pszMessage;
        Log m_writes; // after the key
    } cases[] = {
        {"02AB", {"S1007=014A0201", "S1008=000000AB"}},
        {"04A0011C", {"S1007=014A0403", "S1008=001C01A0"}},
        {"0501010101", {"S1007=014A0504", "S1008=01010101"}},
        {"06A102030405", {"S1007=014A0604", "S1008=040302A1", "S1007=014A0500", "S1008=00000000"}},
        {"07a10203040506",
         {"S1007=014A0704", "S1008=040302A1", "S1007=014A0501", "S1008=00000006"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszMessage);
        SProbeRig rig;
        ASSERT_EQ(1, rig.firstLibrary.OpenInterface("USB 2820 Video"));
        rig.first.Held().ClearLog();
        SCameraLink link{rig.firstBridge, kFirstBridgeName, rig.clock};
        EXPECT_TRUE(SendCameraCommand(c.m_pszMessage, link));
        Log expected{"S1007=014A7304", "S1008=75786577"}; // "wexu"
        expected.insert(expected.end(), c.m_writes.begin(), c.m_writes.end());
        EXPECT_EQ(expected, rig.first.Held().Log());
        EXPECT_EQ(5050u, rig.clock.m_nNow);
    }
    SProbeRig rig;
    ASSERT_EQ(1, rig.firstLibrary.OpenInterface("USB 2820 Video"));
    rig.first.Held().ClearLog();
    SCameraLink link{rig.firstBridge, kFirstBridgeName, rig.clock};
    for (const char* pszRefused : {"02A", "0G", "0"}) {
        EXPECT_FALSE(SendCameraCommand(pszRefused, link));
    }
    EXPECT_TRUE(rig.first.Held().Log().empty());
}

TEST(CameraProbe, NineByteReplyTakesOneIndexedAndTwoPlainReads) {
    SProbeRig rig;
    ASSERT_EQ(1, rig.firstLibrary.OpenInterface("USB 2820 Video"));
    SCameraLink link{rig.firstBridge, kFirstBridgeName, rig.clock};
    ASSERT_TRUE(SendCameraCommand("0501120808", link));
    ASSERT_TRUE(WaitCameraReady(link));
    rig.first.Held().ClearLog();
    CameraReply reply;
    ASSERT_TRUE(ReadCameraReply(reply, link));
    EXPECT_EQ((Log{"S1007=014A7304", "G1008=31424109", "S1007=004A0004", "G1008=35343332",
                   "S1007=004A0001", "G1008=00000036"}),
              I2COnly(rig.first.Held().Log()));
    EXPECT_EQ(std::string("\x09"
                          "AB123456"),
              std::string(reinterpret_cast<char*>(reply)));
}

TEST(CameraProbe, ReadyNeedsANonzeroPortWithBit10Clear) {
    const struct {
        const char* m_pszReady;
        bool m_bProbe;
    } cases[] = {{"ready=0x10", false}, {"ready=0x00", false}, {"ready=0x01", true},
                 {"ready=0x21", true},  {"ready=0x31", false}, {"ready=0x0100", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszReady);
        SProbeRig rig;
        rig.first.m_config = c.m_pszReady;
        EXPECT_EQ(c.m_bProbe, rig.Probe());
        if (!c.m_bProbe) {
            // Three commands waited 2500 ms each before the identity query failed.
            EXPECT_GE(rig.clock.m_nNow - 5000, 3 * 2500u);
            EXPECT_EQ(L"", rig.materiel.GetCameraSerial());
        }
    }
}

TEST(CameraProbe, WrongReplyLengthsAndMissingRepliesKeepWhatWasKnown) {
    SProbeRig rig;
    rig.first.m_config = "len=AA:7";
    EXPECT_FALSE(rig.Probe());
    EXPECT_EQ(L"0.0", rig.materiel.GetCameraFirmware());

    rig.first.m_config = "";
    ASSERT_TRUE(rig.Probe());
    // Later queries answered with other lengths leave standard and serial alone.
    rig.first.m_config = "pal=0;serial=ZZ999999;len=01:3;fw=2.0";
    ASSERT_TRUE(rig.Probe());
    EXPECT_EQ(L"2.0", rig.materiel.GetCameraFirmware());
    EXPECT_EQ(L"PAL", rig.materiel.GetCameraStandard());
    EXPECT_EQ(L"AB123456", rig.materiel.GetCameraSerial());
}

TEST(CameraProbe, DivisorZeroGivesAnUnknownVoltage) {
    SProbeRig rig;
    rig.first.m_config = "div=0";
    ASSERT_TRUE(rig.Probe());
    EXPECT_EQ(L"(unknown)", rig.materiel.GetCameraVoltage());
    EXPECT_EQ(L"1.7", rig.materiel.GetCameraFirmware());
}

TEST(CameraProbe, FallsBackToTheSecondGenerationAndGivesUpQuicklyWhenNeitherOpens) {
    SProbeRig rig;
    rig.first.m_config.reset();
    rig.second.m_config = "gen=2;chip=65;serial=CD000002";
    ASSERT_TRUE(rig.Probe());
    EXPECT_EQ(L"CD000002", rig.materiel.GetCameraSerial());
    EXPECT_EQ((Log{"USB 2820 Video", "USB 2820 Video"}), rig.first.m_names);
    EXPECT_EQ((Log{"Varnik cameras driver", "Varnik cameras driver"}), rig.second.m_names);
    // The new register layout: the port is read at 0x84.
    const Log& log = rig.second.Held().Log();
    EXPECT_NE(log.end(), std::find(log.begin(), log.end(), "S1005=00008401"));
    EXPECT_EQ(log.end(), std::find(log.begin(), log.end(), "S1005=00000901"));

    SProbeRig none;
    none.first.m_config.reset();
    const uint64_t nStart = none.clock.m_nNow;
    EXPECT_FALSE(none.Probe());
    EXPECT_EQ(nStart, none.clock.m_nNow);
}

TEST(CameraProbe, FailedKeyWriteReopensTheLibraryOnceAndFailsTheCommand) {
    SProbeRig rig;
    rig.first.m_config = "camera=none";
    EXPECT_FALSE(rig.Probe());
    // Opening: two searches; each of the three commands up to the identity
    // query reopens once (two searches again).
    EXPECT_EQ(2u + 3 * 2u, rig.first.m_names.size());
}

TEST(CameraAccessors, TextsOfTheCameraMembers) {
    CMateriel m;
    EXPECT_EQ(L"0.0", m.GetCameraFirmware());
    EXPECT_EQ(L"0", m.GetCameraVoltage());
    EXPECT_EQ(L"NTSC", m.GetCameraStandard());
    const struct {
        uint8_t m_nMajor, m_nMinor;
        const wchar_t* m_pszText;
    } firmware[] = {{1, 7, L"1.7"}, {0x0A, 0x10, L"A.10"}, {0xFF, 0, L"FF.0"}};
    for (const auto& f : firmware) {
        m.m_nCameraFwMajor = f.m_nMajor;
        m.m_nCameraFwMinor = f.m_nMinor;
        EXPECT_EQ(f.m_pszText, m.GetCameraFirmware());
    }
    const struct {
        float m_fVolts;
        const wchar_t* m_pszText;
    } voltage[] = {{306.0f / 42.0f, L"7285"},
                   {306.0f / 255.0f, L"1200"},
                   {306.0f, L"306000"},
                   {5.0f, L"5000"},
                   {std::numeric_limits<float>::quiet_NaN(), L"(unknown)"},
                   {std::numeric_limits<float>::infinity(), L"(unknown)"}};
    for (const auto& v : voltage) {
        m.m_fCameraVolts = v.m_fVolts;
        EXPECT_EQ(v.m_pszText, m.GetCameraVoltage());
    }
}
