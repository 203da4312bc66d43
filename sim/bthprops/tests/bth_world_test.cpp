// The scripted Bluetooth world behind the stand-in module.
#include "bth_world.h"

#include <gtest/gtest.h>

namespace bthsim {
namespace {

const char kScript[] = "# three devices\n"
                       "radios 2\n"
                       "device 0012345678AB paired services=1101,1105 name=TESSEL W # 42\n"
                       "device 001122334455 remembered away name=Phone\n"
                       "device 00AABBCCDDEE blank=2 pin=1234 radio=1 name=TESSEL 2\n";

SSearchParams Params(bool a, bool r, bool u, bool c, bool inquiry) {
    SSearchParams p;
    p.m_bReturnAuthenticated = a;
    p.m_bReturnRemembered = r;
    p.m_bReturnUnknown = u;
    p.m_bReturnConnected = c;
    p.m_bIssueInquiry = inquiry;
    return p;
}

TEST(BthWorld, ScriptAndSearchRules) {
    CBthWorld world;
    std::string error;
    ASSERT_TRUE(world.Load(kScript, error)) << error;
    EXPECT_EQ(world.Radios(), 2);
    ASSERT_EQ(world.Devices().size(), 3u);
    EXPECT_EQ(world.Devices()[0].m_strName, L"TESSEL W # 42"); // '#' inside a name stays
    EXPECT_EQ(world.Devices()[0].m_services.size(), 2u);

    struct {
        int radio;
        SSearchParams params;
        std::vector<size_t> found;
    } cases[] = {
        {-1, Params(true, true, true, true, false), {0, 1}}, // remembered ones, no inquiry
        {-1, Params(true, true, true, true, true), {0, 2}},  // those in range
        {-1, Params(true, false, false, false, true), {0}},  // paired and in range
        {-1, Params(false, false, true, false, true), {2}},  // unknown
        {1, Params(true, true, true, true, true), {2}},
        {0, Params(false, false, false, true, true), {}}, // nothing connected
    };
    for (const auto& c : cases)
        EXPECT_EQ(world.Search(c.radio, c.params), c.found);

    for (const char* bad : {"radios x\n", "device 12 name=x\n", "device 0012345678AB odd\n",
                            "devices 0012345678AB\n", "device 000000000000 name=zero\n"}) {
        CBthWorld w;
        EXPECT_FALSE(w.Load(bad, error)) << bad;
        EXPECT_EQ(error.rfind("line 1: ", 0), 0u) << error;
    }
}

TEST(BthWorld, PairingServicesAndRemoval) {
    CBthWorld world;
    std::string error;
    ASSERT_TRUE(world.Load(kScript, error)) << error;
    SDeviceInfo info;
    EXPECT_EQ(world.GetInfo(0x00AABBCCDDEE, info), 0u);
    EXPECT_EQ(info.m_strName, L"");
    EXPECT_EQ(world.GetInfo(0x00AABBCCDDEE, info), 0u);
    EXPECT_EQ(world.GetInfo(0x00AABBCCDDEE, info), 0u);
    EXPECT_EQ(info.m_strName, L"TESSEL 2");

    const bluefind::SGuid serial = bluefind::kSerialPortService;
    EXPECT_EQ(world.SetService(0x00AABBCCDDEE, serial, true), 1244u); // not paired
    EXPECT_EQ(world.Authenticate(0x00AABBCCDDEE, L"8629"), 1244u);
    EXPECT_EQ(world.Authenticate(0x001122334455, L"8629"), 1167u); // away
    EXPECT_EQ(world.Authenticate(0x00AABBCCDDEE, L"1234"), 0u);
    EXPECT_EQ(world.SetService(0x00AABBCCDDEE, serial, true), 0u);
    std::vector<SGuid> services;
    EXPECT_EQ(world.Services(0x00AABBCCDDEE, 20, services), 0u);
    EXPECT_EQ(services, std::vector<SGuid>{serial});
    EXPECT_EQ(world.Services(0x0012345678AB, 1, services), 234u); // two installed
    EXPECT_EQ(services.size(), 1u);
    EXPECT_EQ(world.Remove(0x0012345678AB), 0u);
    EXPECT_EQ(world.Remove(0x0012345678AC), 1168u);
    EXPECT_EQ(world.Search(-1, Params(true, true, false, false, false)),
              (std::vector<size_t>{1, 2}));

    // The state survives a reload from its saved script.
    EXPECT_TRUE(world.TakeChanged());
    EXPECT_FALSE(world.TakeChanged());
    const std::string saved = world.Save();
    EXPECT_EQ(saved, "radios 2\n"
                     "device 0012345678AB pin=8629 blank=0 radio=0 name=TESSEL W # 42\n"
                     "device 001122334455 remembered away pin=8629 blank=0 radio=0 name=Phone\n"
                     "device 00AABBCCDDEE paired services=1101 pin=1234 blank=0 radio=1 "
                     "name=TESSEL 2\n");
    CBthWorld again;
    ASSERT_TRUE(again.Load(saved, error)) << error;
    EXPECT_EQ(again.Save(), saved);

    EXPECT_EQ(world.TakeJournal(),
              (std::vector<std::string>{
                  "info 00AABBCCDDEE", "info 00AABBCCDDEE", "info 00AABBCCDDEE",
                  "enable 00AABBCCDDEE {00001101-0000-1000-8000-00805F9B34FB} -> 1244",
                  "pair 00AABBCCDDEE passkey=8629 -> 1244",
                  "pair 001122334455 passkey=8629 -> 1167", "pair 00AABBCCDDEE passkey=1234 -> 0",
                  "enable 00AABBCCDDEE {00001101-0000-1000-8000-00805F9B34FB} -> 0",
                  "services 00AABBCCDDEE max 20", "services 0012345678AB max 1",
                  "remove 0012345678AB -> 0", "remove 0012345678AC -> 1168",
                  "find radio=-1 auth=1 rem=1 unk=0 con=0 inquiry=0 timeout=0"}));
}

} // namespace
} // namespace bthsim
