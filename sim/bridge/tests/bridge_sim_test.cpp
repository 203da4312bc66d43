#include "bridge_sim_config.h"

#include <gtest/gtest.h>

using namespace bridgesim;
using namespace vidlink;

namespace {

HResult Set(CBridgeChip& chip, uint32_t nId, uint32_t v) {
    return chip.SetProperty(nId, &v);
}

uint32_t Get(CBridgeChip& chip, uint32_t nId, HResult* pHr = nullptr) {
    uint32_t v = 0;
    const HResult hr = chip.GetProperty(nId, &v);
    if (pHr)
        *pHr = hr;
    return v;
}

} // namespace

TEST(BridgeSimConfig, ItemsSetTheBridgeAndTheCamera) {
    const SSimSetup s = ParseBridgeConfig(
        "gen=2;chip=0x41;rcaddr=48;rccode=0x11;kept=7;remote=0x420080,0x430000;ac97=busy;"
        "camera=none;div=0;fw=A.10;pal=0;serial=ZZ000001;idle=3;busy=0;ready=0x21;busyreads=4;"
        "len=AA:7;bogus=1");
    const SBridgeSetup& b = s.m_bridge;
    EXPECT_EQ(EGeneration::Second, b.m_eGeneration);
    EXPECT_EQ(0x41, b.m_nChipId);
    EXPECT_EQ(48u, b.m_nRemoteAddress);
    EXPECT_EQ(0x11u, b.m_nRemoteCode);
    EXPECT_EQ(7u, b.m_nKept103B);
    EXPECT_EQ((std::vector<uint32_t>{0x420080, 0x430000}), b.m_remoteReadings);
    EXPECT_TRUE(b.m_bAc97AlwaysBusy);
    EXPECT_FALSE(b.m_bCamera);
    EXPECT_EQ(0, b.m_camera.m_nDivisor);
    EXPECT_EQ(0x0A, b.m_camera.m_nFwMajor);
    EXPECT_EQ(0x10, b.m_camera.m_nFwMinor);
    EXPECT_FALSE(b.m_camera.m_bPal);
    EXPECT_EQ("ZZ000001", b.m_camera.m_strSerial);
    EXPECT_EQ(3, b.m_camera.m_nIdlePort);
    EXPECT_EQ(0, b.m_camera.m_nBusyPort);
    EXPECT_EQ(0x21, b.m_camera.m_nReadyPort);
    EXPECT_EQ(4, b.m_camera.m_nBusyReads);
    EXPECT_EQ(7, b.m_camera.m_wrongLength.at(0xAA));
    EXPECT_EQ((std::vector<std::string>{"bogus=1"}), s.m_unknown);
}

TEST(BridgeSimChip, BusWithoutTheCameraFailsAndDetectFindsOnlyTheCamera) {
    SBridgeSetup setup;
    CBridgeChip chip(setup);
    HResult hr = 0;
    EXPECT_EQ(kHrNoControlWord, (Get(chip, kPropI2CData, &hr), hr));
    Set(chip, kPropDetectAddress, 0x4A);
    EXPECT_EQ(1u, Get(chip, kPropDetectFound));
    EXPECT_EQ(0x4Au, Get(chip, kPropDetectResult));
    Set(chip, kPropDetectAddress, 0x21);
    EXPECT_EQ(0u, Get(chip, kPropDetectFound));

    setup.m_bCamera = false;
    CBridgeChip empty(setup);
    Set(empty, kPropI2CControl, I2CControlWord(0x4A, 0x73, 4));
    EXPECT_EQ(kHrBusFailure, Set(empty, kPropI2CData, 0));
    // First-generation drivers have no chip properties.
    EXPECT_EQ(kHrUnknownProperty, (Get(empty, kPropChipId, &hr), hr));
}

TEST(BridgeSimChip, CodecKeepsItsRegistersAndIsBusyAfterEachCommand) {
    SBridgeSetup setup;
    setup.m_nAc97BusyReads = 2;
    CBridgeChip chip(setup);
    Set(chip, kPropRegControl, RegControlWord(kRegAc97Data, 2));
    Set(chip, kPropRegData, 0xBEEF);
    Set(chip, kPropRegControl, RegControlWord(kRegAc97Command, 1));
    Set(chip, kPropRegData, 0x26);
    Set(chip, kPropRegControl, RegControlWord(kRegAc97Status, 1));
    EXPECT_EQ(1u, Get(chip, kPropRegData));
    EXPECT_EQ(1u, Get(chip, kPropRegData));
    EXPECT_EQ(0u, Get(chip, kPropRegData));
    EXPECT_EQ(0xBEEF, chip.Ac97Register(0x26));
}

TEST(BridgeSimCamera, CommandsNeedTheKeyAndRepliesComeFromTheMailbox) {
    SCameraSetup setup;
    setup.m_nBusyReads = 1;
    CCameraMcu camera(setup);
    const uint8_t hello[] = {0xAB};
    camera.Write(true, 0x02, hello, 1); // no key yet: ignored
    EXPECT_TRUE(camera.Messages().empty());
    EXPECT_EQ(0x00, camera.ReadPort());
    const uint8_t key[] = {'w', 'e', 'x', 'u'};
    camera.Write(true, 0x73, key, 4);
    const uint8_t query[] = {0x01, 0x12, 0x08, 0x08};
    camera.Write(true, 0x05, query, 4);
    EXPECT_EQ((std::vector<std::string>{"0501120808"}), camera.Messages());
    EXPECT_EQ(0x10, camera.ReadPort());
    EXPECT_EQ(0x01, camera.ReadPort());
    uint8_t reply[9] = {};
    camera.Read(true, 0x73, reply, 4);
    camera.Read(false, 0, reply + 4, 4);
    camera.Read(false, 0, reply + 8, 1);
    EXPECT_EQ(std::string("\x09"
                          "AB123456",
                          9),
              std::string(reinterpret_cast<char*>(reply), 9));
}
