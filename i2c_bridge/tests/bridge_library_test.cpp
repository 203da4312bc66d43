#include "bridge_library.h"
#include "fake_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace vidlink;
using vidlink::test::CFakeFinder;
using vidlink::test::SDriverScript;
using Log = std::vector<std::string>;

namespace {

struct SLibraryFixture {
    explicit SLibraryFixture(EGeneration eGeneration)
        : finder(script), library(eGeneration, finder) {}
    // Opens and forgets what the open itself recorded.
    void Open() {
        ASSERT_EQ(1, library.OpenInterface("USB 2820 Video"));
        script.m_log.clear();
    }
    SDriverScript script;
    CFakeFinder finder;
    CBridgeLibrary library;
};

struct SAccessCase {
    const char* m_pszName;
    EGeneration m_eGeneration;
    std::function<HResult(CBridgeLibrary&, uint32_t&)> m_fnCall;
    uint32_t m_nDataIn;
    Log m_expected;
    uint32_t m_nDataOut;
};

} // namespace

TEST(BridgeLibrary, EachAccessBuildsItsControlWordsAndMovesTheCallersVariable) {
    const EGeneration g1 = EGeneration::First, g2 = EGeneration::Second;
    const SAccessCase cases[] = {
        {"GetI2C_I",
         g1,
         [](CBridgeLibrary& l, uint32_t& d) { return l.GetI2C_I(0x4A, 0x73, 4, &d); },
         0,
         {"S1007=014A7304", "G1008=11223344"},
         0x11223344},
        {"SetI2C_I",
         g1,
         [](CBridgeLibrary& l, uint32_t& d) { return l.SetI2C_I(0x14A, 0x205, 0x104, &d); },
         0x01010101,
         {"S1007=014A0504", "S1008=01010101"},
         0x01010101},
        {"GetI2C_NI",
         g1,
         [](CBridgeLibrary& l, uint32_t& d) { return l.GetI2C_NI(0x4A, 1, &d); },
         0,
         {"S1007=004A0001", "G1008=11223344"},
         0x11223344},
        {"SetI2C_NI",
         g2,
         [](CBridgeLibrary& l, uint32_t& d) { return l.SetI2C_NI(0x30, 2, &d); },
         0xBEEF,
         {"S1007=00300002", "S1008=0000BEEF"},
         0xBEEF},
        {"GetReg",
         g1,
         [](CBridgeLibrary& l, uint32_t& d) { return l.GetReg(0x09, 1, &d); },
         0,
         {"S1005=00000901", "G1006=00000055"},
         0x55},
        {"SetReg",
         g2,
         [](CBridgeLibrary& l, uint32_t& d) { return l.SetReg(0x10, 2, &d); },
         0x1234,
         {"S1005=00001002", "S1006=00001234"},
         0x1234},
        {"DetectI2C",
         g1,
         [](CBridgeLibrary& l, uint32_t&) { return l.DetectI2C(0x4A); },
         0,
         {"S100B=0000004A"},
         0},
        {"DetectI2CEx",
         g1,
         [](CBridgeLibrary& l, uint32_t& d) { return l.DetectI2CEx(0x4A, &d); },
         7,
         {"S100B=0000004A", "G1014=00000001", "G1013=0000004B"},
         0x4B},
        {"GetPIO",
         g1,
         [](CBridgeLibrary& l, uint32_t& d) { return l.GetPIO(&d); },
         0,
         {"S1005=00000801", "G1006=00000055", "S1005=00000901", "G1006=00000055"},
         0x55},
        {"SetPIO",
         g1,
         [](CBridgeLibrary& l, uint32_t& d) { return l.SetPIO(&d); },
         0x3C,
         {"S1005=00000801", "S1006=0000003C"},
         0x3C},
        {"GetAC97 first",
         g1,
         [](CBridgeLibrary& l, uint32_t& d) { return l.GetAC97(0x26, &d); },
         0,
         {"S1005=00004201", "S1006=000000A6", "S1005=00004301", "G1006=00000055", "S1005=00004301",
          "G1006=00000000", "S1005=00004002", "G1006=00000055"},
         0x55},
        {"GetAC97 second",
         g2,
         [](CBridgeLibrary& l, uint32_t& d) { return l.GetAC97(0x26, &d); },
         0,
         {"S1005=00004301", "G1006=00000055", "S1005=00004301", "G1006=00000000", "S1005=00004201",
          "S1006=000000A6", "S1005=00004002", "G1006=00000055"},
         0x55},
        {"SetAC97 first",
         g1,
         [](CBridgeLibrary& l, uint32_t& d) { return l.SetAC97(0x02, &d); },
         0x8000,
         {"S1005=00004002", "S1006=00008000", "S1005=00004201", "S1006=00000002", "S1005=00004301",
          "G1006=00000055", "S1005=00004301", "G1006=00000000"},
         0x8000},
        {"SetAC97 second",
         g2,
         [](CBridgeLibrary& l, uint32_t& d) { return l.SetAC97(0x02, &d); },
         0x8000,
         {"S1005=00004301", "G1006=00000055", "S1005=00004301", "G1006=00000000", "S1005=00004002",
          "S1006=00008000", "S1005=00004201", "S1006=00000002"},
         0x8000},
        {"GetProp",
         g1,
         [](CBridgeLibrary& l, uint32_t& d) { return l.GetProp(0x2222, &d); },
         0,
         {"G2222=11223344"},
         0x11223344},
        {"SetProp",
         g1,
         [](CBridgeLibrary& l, uint32_t& d) { return l.SetProp(0x2223, &d); },
         9,
         {"S2223=00000009"},
         9},
    };
    for (const SAccessCase& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        SLibraryFixture f(c.m_eGeneration);
        f.Open();
        // Register reads answer 0x55 (busy bit set) once, then 0: one busy poll.
        int nRegReads = 0;
        f.script.m_fnNext = [&](uint32_t nId) -> uint32_t {
            if (nId == kPropRegData)
                return (!f.script.m_log.empty() && f.script.m_log.back() == "S1005=00004301" &&
                        nRegReads++ > 0)
                           ? 0
                           : 0x55;
            if (nId == kPropDetectFound)
                return 1;
            if (nId == kPropDetectResult)
                return 0x4B;
            return 0x11223344;
        };
        uint32_t nData = c.m_nDataIn;
        EXPECT_EQ(0, c.m_fnCall(f.library, nData));
        EXPECT_EQ(c.m_expected, f.script.m_log);
        EXPECT_EQ(c.m_nDataOut, nData);
    }
}

TEST(BridgeLibrary, FailedTransferClearsTheControlWordAndReturnsTheFailingStatus) {
    const HResult kFail = static_cast<HResult>(0x8007001F);
    SLibraryFixture f(EGeneration::First);
    f.Open();
    uint32_t nData = 0;
    f.script.m_failures["G1008"] = kFail;
    EXPECT_EQ(kFail, f.library.GetI2C_I(0x4A, 0x73, 4, &nData));
    EXPECT_EQ((Log{"S1007=014A7304", "G1008!", "S1007=00000000"}), f.script.m_log);

    f.script.m_log.clear();
    f.script.m_failures = {{"S1005=00000902", kFail}};
    nData = 0x77;
    EXPECT_EQ(kFail, f.library.SetReg(0x09, 2, &nData));
    EXPECT_EQ((Log{"S1005=00000902!", "S1005=00000000"}), f.script.m_log);

    // Positive statuses are not failures: the data transfer goes on.
    f.script.m_log.clear();
    f.script.m_failures = {{"S1005=00000901", 1}};
    EXPECT_EQ(0, f.library.GetReg(0x09, 1, &nData));
    EXPECT_EQ(2u, f.script.m_log.size());
}

TEST(BridgeLibrary, StatusesWithoutContextWithoutInterfaceAndOfTheLibrarysOwnChecks) {
    for (EGeneration eGeneration : {EGeneration::First, EGeneration::Second}) {
        SLibraryFixture f(eGeneration);
        uint32_t d = 0;
        const std::function<HResult()> exports[] = {
            [&] { return f.library.DetectI2C(1); },
            [&] { return f.library.DetectI2CEx(1, &d); },
            [&] { return f.library.GetI2C_I(1, 2, 1, &d); },
            [&] { return f.library.SetI2C_I(1, 2, 1, &d); },
            [&] { return f.library.GetI2C_NI(1, 1, &d); },
            [&] { return f.library.SetI2C_NI(1, 1, &d); },
            [&] { return f.library.GetReg(1, 1, &d); },
            [&] { return f.library.SetReg(1, 1, &d); },
            [&] { return f.library.GetPIO(&d); },
            [&] { return f.library.SetPIO(&d); },
            [&] { return f.library.GetAC97(1, &d); },
            [&] { return f.library.SetAC97(1, &d); },
        };
        const HResult kNotSupported = eGeneration == EGeneration::Second ? kStatusNotSupported : 0;
        for (const auto& call : exports)
            EXPECT_EQ(kStatusNoContext, call());
        if (eGeneration == EGeneration::Second) {
            EXPECT_EQ(kNotSupported, f.library.GetProp(1, &d));
            EXPECT_EQ(kNotSupported, f.library.SetProp(1, &d));
        } else {
            EXPECT_EQ(kStatusNoContext, f.library.GetProp(1, &d));
        }

        // First search misses, the check finds the device: a context without interface.
        f.finder.m_nMisses = 1;
        EXPECT_EQ(1, f.library.OpenInterface("x"));
        for (const auto& call : exports)
            EXPECT_EQ(kStatusNoInterface, call());
        EXPECT_TRUE(f.script.m_log.empty());

        f.Open();
        f.library.CloseInterface();
        f.library.CloseInterface(); // twice is harmless
        for (const auto& call : exports)
            EXPECT_EQ(kStatusNoContext, call());
        EXPECT_TRUE(f.script.m_log.empty());
        EXPECT_EQ(0, f.script.m_nLive);
    }
}

TEST(BridgeLibrary, DetectI2CExReportsNoDeviceAndPassesFailures) {
    SLibraryFixture f(EGeneration::First);
    f.Open();
    uint32_t nResult = 99;
    EXPECT_EQ(kStatusNoDevice, f.library.DetectI2CEx(0x21, &nResult)); // found reads 0
    EXPECT_EQ(0u, nResult);
    EXPECT_EQ((Log{"S100B=00000021", "G1014=00000000"}), f.script.m_log);
    f.script.m_failures = {{"S100B=00000021", -5}};
    EXPECT_EQ(-5, f.library.DetectI2CEx(0x21, &nResult));
}

TEST(BridgeLibrary, PortMaskMismatchGivesFive) {
    SLibraryFixture f(EGeneration::First);
    f.Open();
    f.library.Context()->m_nPortMask = 0x03;
    f.script.m_getValues[kPropRegData] = 0x01; // direction register lacks bit 0x02
    uint32_t nData = 0x01;
    EXPECT_EQ(kStatusMismatch, f.library.GetPIO(&nData));
    EXPECT_EQ((Log{"S1005=00000801", "G1006=00000001"}), f.script.m_log);
    f.script.m_log.clear();
    EXPECT_EQ(kStatusMismatch, f.library.SetPIO(&nData));
    EXPECT_TRUE(f.script.m_log.empty());
    nData = 0x07;
    EXPECT_EQ(0, f.library.SetPIO(&nData));
}

TEST(BridgeLibrary, Ac97GivesFiveAfter2000BusyPollsOrAFailedPoll) {
    for (EGeneration eGeneration : {EGeneration::First, EGeneration::Second}) {
        for (bool bSet : {false, true}) {
            SLibraryFixture f(eGeneration);
            f.Open();
            f.script.m_getValues[kPropRegData] = 0x01;
            uint32_t nData = 0;
            EXPECT_EQ(kStatusMismatch,
                      bSet ? f.library.SetAC97(4, &nData) : f.library.GetAC97(4, &nData));
            EXPECT_EQ(2000,
                      std::count(f.script.m_log.begin(), f.script.m_log.end(), "S1005=00004301"));
            // The second generation gives up before touching the codec.
            const bool bCommandSent =
                std::count(f.script.m_log.begin(), f.script.m_log.end(), "S1005=00004201") > 0;
            EXPECT_EQ(eGeneration == EGeneration::First, bCommandSent);
        }
    }
    SLibraryFixture f(EGeneration::First);
    f.Open();
    f.script.m_failures["G1006"] = -1;
    uint32_t nData = 0;
    EXPECT_EQ(kStatusMismatch, f.library.GetAC97(4, &nData));
}

TEST(BridgeLibrary, OpenChecksTheDeviceTwiceAndReleasesWhatItReplaces) {
    SLibraryFixture f(EGeneration::First);
    EXPECT_EQ(1, f.library.OpenInterface("USB 2820 Video"));
    EXPECT_EQ((std::vector<std::string>{"USB 2820 Video", "USB 2820 Video"}), f.finder.m_names);
    EXPECT_EQ(1, f.script.m_nLive); // the check's interface is released
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(1, f.library.OpenInterface("USB 2820 Video"));
    EXPECT_EQ(1, f.script.m_nLive);

    f.finder.m_bNone = true;
    EXPECT_EQ(0, f.library.OpenInterface("USB 2820 Video"));
    EXPECT_FALSE(f.library.HasContext());
    EXPECT_EQ(0, f.script.m_nLive);

    // The check fails after a successful search: the first interface goes too.
    SLibraryFixture g(EGeneration::First);
    struct SecondMiss final : IFilterFinder {
        explicit SecondMiss(SDriverScript& s) : inner(s) {}
        std::unique_ptr<IBridgeDriver> FindDriver(const std::string& n) override {
            return ++calls == 2 ? nullptr : inner.FindDriver(n);
        }
        CFakeFinder inner;
        int calls = 0;
    } secondMiss(g.script);
    CBridgeLibrary library(EGeneration::First, secondMiss);
    EXPECT_EQ(0, library.OpenInterface("a"));
    EXPECT_EQ(0, g.script.m_nLive);
}

TEST(BridgeLibrary, SecondGenerationReadsItsPropertiesAtOpenAndPicksTheRegisterLayout) {
    const struct {
        uint32_t m_nChip;
        bool m_bNew;
    } cases[] = {{50, true},  {51, false},   {65, true},   {69, false}, {100, true},
                 {112, true}, {117, true},   {118, false}, {145, true}, {147, false},
                 {148, true}, {0x132, true}, {0x20, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_nChip);
        SLibraryFixture f(EGeneration::Second);
        f.script.m_getValues = {{kPropKept103B, 7},
                                {kPropRemoteCode, 0x11},
                                {kPropRemoteAddress, 0x30},
                                {kPropChipId, c.m_nChip}};
        ASSERT_EQ(1, f.library.OpenInterface("Varnik cameras driver"));
        ASSERT_EQ(4u, f.script.m_log.size());
        char chipLine[16];
        std::snprintf(chipLine, sizeof chipLine, "G101C=%08X", c.m_nChip);
        EXPECT_EQ((Log{"G103B=00000007", "G1027=00000011", "G1028=00000030", chipLine}),
                  Log(f.script.m_log.begin(), f.script.m_log.begin() + 4));
        const SBridgeContext& ctx = *f.library.Context();
        EXPECT_EQ(static_cast<uint8_t>(c.m_nChip), ctx.m_nChipId);
        EXPECT_EQ(c.m_bNew, ctx.m_bNewLayout);
        EXPECT_EQ(0x30u, ctx.m_nRemoteAddress);
        EXPECT_EQ(0x11u, ctx.m_nRemoteCode);
        EXPECT_EQ(7u, ctx.m_nKept103B);
        f.script.m_log.clear();
        f.script.m_getValues = {{kPropRegData, 0x21}};
        uint32_t nPort = 0;
        EXPECT_EQ(0, f.library.GetPIO(&nPort));
        const Log expected =
            c.m_bNew ? Log{"S1005=00008001", "G1006=00000021", "S1005=00008401", "G1006=00000021"}
                     : Log{"S1005=00000801", "G1006=00000021", "S1005=00000901", "G1006=00000021"};
        EXPECT_EQ(expected, f.script.m_log);
    }
    // The first generation reads nothing at open.
    SLibraryFixture f(EGeneration::First);
    ASSERT_EQ(1, f.library.OpenInterface("USB 2820 Video"));
    EXPECT_TRUE(f.script.m_log.empty());
}

TEST(BridgeLibrary, SecondGenerationEmulatesTheRemoteControlOnReadsOfItsAddress) {
    // v: bits 16-23 key, bits 8-15 code, bit 7 toggle, bits 0-6 nonzero on a held key.
    const struct {
        uint32_t m_nCode; // 0: any
        std::vector<uint32_t> m_readings;
        std::vector<uint32_t> m_expected;
    } cases[] = {
        // A new toggle gives the key, the same toggle "no key" (255) or "held" (254).
        {0, {0x00420080, 0x00420080, 0x00420081, 0x00430000}, {0x42, 255, 254, 0x43}},
        // Keys 254 and 255 both read as 255.
        {0, {0x00FE0080, 0x00FF0000}, {255, 255}},
        // Another remote's code: 255, and its toggle is not taken.
        {0x11, {0x00422280, 0x00421180}, {255, 0x42}},
    };
    for (const auto& c : cases) {
        SLibraryFixture f(EGeneration::Second);
        f.script.m_getValues = {
            {kPropRemoteAddress, 0x30}, {kPropRemoteCode, c.m_nCode}, {kPropChipId, 0x20}};
        f.Open();
        size_t nNext = 0;
        f.script.m_fnNext = [&](uint32_t nId) -> uint32_t {
            if (nId == kPropRegData && f.script.m_log.back() == "S1005=00004504")
                return c.m_readings[nNext++];
            return 0x99;
        };
        for (size_t i = 0; i < c.m_readings.size(); ++i) {
            uint32_t nData = 0;
            // Plain reads of the address, and indexed reads at sub-address 0.
            const HResult hr = i % 2 ? f.library.GetI2C_I(0x30, 0, 1, &nData)
                                     : f.library.GetI2C_NI(0x30, 1, &nData);
            EXPECT_EQ(0, hr);
            EXPECT_EQ(c.m_expected[i], nData) << i;
        }
        EXPECT_EQ((Log{"S1005=00004504",
                       "G1006=" +
                           [&] {
                               char t[9];
                               std::snprintf(t, sizeof t, "%08X", c.m_readings[0]);
                               return std::string(t);
                           }(),
                       "S1005=00004401", "G1006=00000099"}),
                  Log(f.script.m_log.begin(), f.script.m_log.begin() + 4));
        // Other addresses and sub-addresses go to the bus.
        f.script.m_log.clear();
        uint32_t nData = 0;
        f.library.GetI2C_I(0x30, 1, 1, &nData);
        f.library.GetI2C_NI(0x31, 1, &nData);
        EXPECT_EQ((Log{"S1007=01300101", "G1008=00000099", "S1007=00310001", "G1008=00000099"}),
                  f.script.m_log);
    }
    // With the new register layout the emulation answers 50 and reads nothing.
    SLibraryFixture f(EGeneration::Second);
    f.script.m_getValues = {{kPropRemoteAddress, 0x30}, {kPropChipId, 65}};
    f.Open();
    uint32_t nData = 0;
    EXPECT_EQ(kStatusRemoteNewLayout, f.library.GetI2C_NI(0x30, 1, &nData));
    EXPECT_TRUE(f.script.m_log.empty());
    // The first generation has no emulation.
    SLibraryFixture g(EGeneration::First);
    g.Open();
    EXPECT_EQ(0, g.library.GetI2C_NI(0x30, 1, &nData));
    EXPECT_EQ("S1007=00300001", g.script.m_log[0]);
}
