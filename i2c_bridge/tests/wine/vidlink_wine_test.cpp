// Both bridge libraries under Wine, loaded as a caller finds them: every
// export reached through its ordinal (Vidlink.dll) or decorated name
// (Vidlink_285.dll), over the real device enumeration and the simulated
// bridge filter registered in the prefix.
#include "bridge_sim_fixture_win32.h"
#include "version_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

using bridgesim::test::CSimDevices;
using bridgesim::test::kBdaReceiver;
using bridgesim::test::kVideoInput;
using Log = std::vector<std::string>;

namespace {

#ifdef OSTREL_TEST_PRERELEASE
const wchar_t* const kVersion = L"\u00DF.2.30.1.0";
#else
const wchar_t* const kVersion = L"v.2.30.1.0";
#endif

// dwFileType of the version resource, 0 when there is none.
DWORD FileType(const std::wstring& strPath) {
    DWORD dwHandle = 0;
    const DWORD dwSize = GetFileVersionInfoSizeW(strPath.c_str(), &dwHandle);
    if (dwSize == 0)
        return 0;
    std::string data(dwSize, '\0');
    VS_FIXEDFILEINFO* pInfo = nullptr;
    UINT uLen = 0;
    if (!GetFileVersionInfoW(strPath.c_str(), 0, dwSize, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&pInfo), &uLen) || !pInfo ||
        uLen < sizeof(VS_FIXEDFILEINFO))
        return 0;
    return pInfo->dwFileType;
}

constexpr int32_t kNoContext = static_cast<int32_t>(0x80070006);
constexpr int32_t kNotSupported = static_cast<int32_t>(0x80070001);

using OpenFn = int(__cdecl*)(const char*);
using CloseFn = void(__cdecl*)();
using AddrFn = int32_t(__cdecl*)(uint32_t);
using AddrPtrFn = int32_t(__cdecl*)(uint32_t, uint32_t*);
using I2CIFn = int32_t(__cdecl*)(uint32_t, uint32_t, uint32_t, uint32_t*);
using I2CNIFn = int32_t(__cdecl*)(uint32_t, uint32_t, uint32_t*);
using PtrFn = int32_t(__cdecl*)(uint32_t*);

struct SExport {
    const char* m_pszName;
    WORD m_nOrdinal;
};

// The export tables as callers rely on them.
const SExport kFirstExports[] = {
    {"Vidlink_OpenInterface", 10}, {"Vidlink_CloseInterface", 11}, {"Vidlink_DetectI2C", 20},
    {"Vidlink_DetectI2CEx", 21},   {"Vidlink_GetI2C_I", 22},       {"Vidlink_SetI2C_I", 23},
    {"Vidlink_GetI2C_NI", 24},     {"Vidlink_SetI2C_NI", 25},      {"Vidlink_GetReg", 26},
    {"Vidlink_SetReg", 27},        {"Vidlink_GetPIO", 28},         {"Vidlink_SetPIO", 29},
    {"Vidlink_GetAC97", 30},       {"Vidlink_SetAC97", 31},        {"Vidlink_GetProp", 32},
    {"Vidlink_SetProp", 33}};
const SExport kSecondExports[] = {
    {"_Z24Vidlink285_OpenInterfacePKc", 15}, {"_Z25Vidlink285_CloseInterfacev", 16},
    {"_Z20Vidlink285_DetectI2Cj", 11},       {"_Z22Vidlink285_DetectI2CExjPj", 14},
    {"_Z19Vidlink285_GetI2C_IjjjPj", 9},     {"_Z19Vidlink285_SetI2C_IjjjPj", 10},
    {"_Z20Vidlink285_GetI2C_NIjjPj", 12},    {"_Z20Vidlink285_SetI2C_NIjjPj", 13},
    {"_Z17Vidlink285_GetRegjjPj", 2},        {"_Z17Vidlink285_SetRegjjPj", 4},
    {"_Z17Vidlink285_GetPIOPj", 1},          {"_Z17Vidlink285_SetPIOPj", 3},
    {"_Z18Vidlink285_GetAC97jPj", 5},        {"_Z18Vidlink285_SetAC97jPj", 7},
    {"_Z18Vidlink285_GetPropjPj", 6},        {"_Z18Vidlink285_SetPropjPj", 8}};

// One library's exports, the first generation's by ordinal, the second's by name.
struct SLibrary {
    explicit SLibrary(bool bFirst) : m_bFirst(bFirst) {
        m_hModule = LoadLibraryW(
            (bridgesim::test::BinFolder() + (bFirst ? L"\\Vidlink.dll" : L"\\Vidlink_285.dll"))
                .c_str());
        const SExport* exports = bFirst ? kFirstExports : kSecondExports;
        for (size_t i = 0; i < 16; ++i)
            m_fns.push_back(bFirst
                                ? GetProcAddress(m_hModule, MAKEINTRESOURCEA(exports[i].m_nOrdinal))
                                : GetProcAddress(m_hModule, exports[i].m_pszName));
    }
    ~SLibrary() {
        if (m_hModule)
            FreeLibrary(m_hModule);
    }
    template <typename F> F Fn(size_t i) const {
        return reinterpret_cast<F>(reinterpret_cast<void*>(m_fns.at(i)));
    }
    int Open(const char* pszName) const { return Fn<OpenFn>(0)(pszName); }
    void Close() const { Fn<CloseFn>(1)(); }
    int32_t DetectI2C(uint32_t a) const { return Fn<AddrFn>(2)(a); }
    int32_t DetectI2CEx(uint32_t a, uint32_t* r) const { return Fn<AddrPtrFn>(3)(a, r); }
    int32_t GetI2C_I(uint32_t a, uint32_t s, uint32_t c, uint32_t* d) const {
        return Fn<I2CIFn>(4)(a, s, c, d);
    }
    int32_t SetI2C_I(uint32_t a, uint32_t s, uint32_t c, uint32_t* d) const {
        return Fn<I2CIFn>(5)(a, s, c, d);
    }
    int32_t GetI2C_NI(uint32_t a, uint32_t c, uint32_t* d) const { return Fn<I2CNIFn>(6)(a, c, d); }
    int32_t SetI2C_NI(uint32_t a, uint32_t c, uint32_t* d) const { return Fn<I2CNIFn>(7)(a, c, d); }
    int32_t GetReg(uint32_t r, uint32_t c, uint32_t* d) const { return Fn<I2CNIFn>(8)(r, c, d); }
    int32_t SetReg(uint32_t r, uint32_t c, uint32_t* d) const { return Fn<I2CNIFn>(9)(r, c, d); }
    int32_t GetPIO(uint32_t* d) const { return Fn<PtrFn>(10)(d); }
    int32_t SetPIO(uint32_t* d) const { return Fn<PtrFn>(11)(d); }
    int32_t GetAC97(uint32_t r, uint32_t* d) const { return Fn<AddrPtrFn>(12)(r, d); }
    int32_t SetAC97(uint32_t r, uint32_t* d) const { return Fn<AddrPtrFn>(13)(r, d); }
    int32_t GetProp(uint32_t i, uint32_t* d) const { return Fn<AddrPtrFn>(14)(i, d); }
    int32_t SetProp(uint32_t i, uint32_t* d) const { return Fn<AddrPtrFn>(15)(i, d); }

    // Every access export's status, in table order.
    std::vector<int32_t> AllStatuses() const {
        uint32_t d = 0;
        return {DetectI2C(0x4A),
                DetectI2CEx(0x4A, &d),
                GetI2C_I(0x4A, 0x73, 4, &d),
                SetI2C_I(0x4A, 2, 1, &d),
                GetI2C_NI(0x4A, 1, &d),
                SetI2C_NI(0x4A, 1, &d),
                GetReg(9, 1, &d),
                SetReg(8, 1, &d),
                GetPIO(&d),
                SetPIO(&d),
                GetAC97(2, &d),
                SetAC97(2, &d),
                GetProp(0x1014, &d),
                SetProp(0x100B, &d)};
    }

    bool m_bFirst;
    HMODULE m_hModule = nullptr;
    std::vector<FARPROC> m_fns;
};

std::vector<int32_t> Repeat(int32_t nStatus, int32_t nPropStatus) {
    std::vector<int32_t> statuses(12, nStatus);
    statuses.push_back(nPropStatus);
    statuses.push_back(nPropStatus);
    return statuses;
}

class VidlinkWine : public bridgesim::test::CSimDevicesTest {
protected:
    void SetUp() override {
        CSimDevicesTest::SetUp();
        m_first.Close();
        m_second.Close();
    }
    void TearDown() override {
        m_first.Close();
        m_second.Close();
        CSimDevicesTest::TearDown();
    }

    SLibrary m_first{true};
    SLibrary m_second{false};
};

} // namespace

TEST_F(VidlinkWine, ExportsAreReachedByOrdinalAndByTheirNames) {
    for (const SLibrary* pLibrary : {&m_first, &m_second}) {
        ASSERT_NE(nullptr, pLibrary->m_hModule);
        const SExport* exports = pLibrary->m_bFirst ? kFirstExports : kSecondExports;
        for (size_t i = 0; i < 16; ++i) {
            SCOPED_TRACE(exports[i].m_pszName);
            const FARPROC byName = GetProcAddress(pLibrary->m_hModule, exports[i].m_pszName);
            const FARPROC byOrdinal =
                GetProcAddress(pLibrary->m_hModule, MAKEINTRESOURCEA(exports[i].m_nOrdinal));
            EXPECT_NE(nullptr, byName);
            EXPECT_EQ(byName, byOrdinal);
        }
    }
    // The second generation has no undecorated names.
    EXPECT_EQ(nullptr, GetProcAddress(m_second.m_hModule, "Vidlink285_OpenInterface"));
}

TEST_F(VidlinkWine, BothLibrariesCarryTheProductVersion) {
    for (const wchar_t* pszName : {L"Vidlink.dll", L"Vidlink_285.dll"}) {
        std::wstring strText;
        EXPECT_TRUE(ostrel::GetFileVersionText(bridgesim::test::BinFolder() + L"\\" + pszName,
                                               ostrel::SVersionTextOptions().WithName().FourParts(),
                                               strText));
        EXPECT_EQ(std::wstring(pszName) + L" - " + kVersion, strText);
        EXPECT_EQ(static_cast<DWORD>(VFT_DLL),
                  FileType(bridgesim::test::BinFolder() + L"\\" + pszName))
            << "a library's version resource says it is a library";
    }
}

TEST_F(VidlinkWine, WithNothingRegisteredNeitherOpensAndBothSayInvalidHandle) {
    ASSERT_EQ(0u, Devices().Unregister());
    EXPECT_EQ(Repeat(kNoContext, kNoContext), m_first.AllStatuses());
    EXPECT_EQ(Repeat(kNoContext, kNotSupported), m_second.AllStatuses());
    const ULONGLONG nStart = GetTickCount64();
    EXPECT_EQ(0, m_first.Open("USB 2820 Video"));
    EXPECT_EQ(0, m_second.Open("Varnik cameras driver"));
    EXPECT_LT(GetTickCount64() - nStart, 3000u);
    EXPECT_EQ(Repeat(kNoContext, kNoContext), m_first.AllStatuses());
    EXPECT_EQ(Repeat(kNoContext, kNotSupported), m_second.AllStatuses());
}

TEST_F(VidlinkWine, FirstGenerationFindsADefaultNameAndBuildsTheControlWords) {
    ASSERT_TRUE(Devices().Add(kVideoInput, L"sim0", L"Webcam", L"gen=1"));
    ASSERT_TRUE(
        Devices().Add(kVideoInput, L"sim1", L"USB 2821 Video Grabber", L"gen=1;ac97reads=2"));
    ASSERT_EQ(1, m_first.Open("USB 2820 Video"));
    EXPECT_EQ(1, Devices().LiveFilters());
    Devices().TakeLog();

    uint32_t v = 0x12345678;
    EXPECT_EQ(0, m_first.GetI2C_I(0x4A, 0x73, 4, &v));
    EXPECT_EQ(0u, v); // no reply waits in the camera
    EXPECT_EQ(0, m_first.GetI2C_NI(0x4A, 1, &v));
    v = 0;
    EXPECT_EQ(0, m_first.GetReg(0x09, 1, &v));
    EXPECT_EQ((Log{"S1007=014A7304", "G1008=00000000", "S1007=004A0001", "G1008=00000000",
                   "S1005=00000901", "G1006=00000000"}),
              Devices().TakeLog());

    // The writes: data go out as they lie in the caller's variable.
    v = 0xAB;
    EXPECT_EQ(0, m_first.SetI2C_I(0x4A, 0x02, 1, &v));
    v = 0x3C;
    EXPECT_EQ(0, m_first.SetReg(0x10, 1, &v));
    EXPECT_EQ(0, m_first.SetPIO(&v));
    EXPECT_EQ(0, m_first.GetPIO(&v));
    EXPECT_EQ(0, m_first.DetectI2C(0x4A));
    EXPECT_EQ((Log{"S1007=014A0201", "S1008=000000AB", "S1005=00001001", "S1006=0000003C",
                   "S1005=00000801", "S1006=0000003C", "S1005=00000801", "G1006=0000003C",
                   "S1005=00000901", "G1006=00000000", "S100B=0000004A"}),
              Devices().TakeLog());

    uint32_t nResult = 99;
    EXPECT_EQ(21, m_first.DetectI2CEx(0x21, &nResult));
    EXPECT_EQ(0u, nResult);
    EXPECT_EQ(0, m_first.DetectI2CEx(0x4A, &nResult));
    EXPECT_EQ(0x4Au, nResult);
    EXPECT_EQ((Log{"S100B=00000021", "G1014=00000000", "S100B=0000004A", "G1014=00000001",
                   "G1013=0000004A"}),
              Devices().TakeLog());

    // The codec keeps what was written; each command is busy for two polls.
    v = 0x8008;
    EXPECT_EQ(0, m_first.SetAC97(0x02, &v));
    v = 0;
    EXPECT_EQ(0, m_first.GetAC97(0x02, &v));
    EXPECT_EQ(0x8008u, v & 0xFFFF);
    EXPECT_EQ((Log{"S1005=00004002", "S1006=00008008", "S1005=00004201", "S1006=00000002",
                   "S1005=00004301", "G1006=00000001", "S1005=00004301", "G1006=00000001",
                   "S1005=00004301", "G1006=00000000", "S1005=00004201", "S1006=00000082",
                   "S1005=00004301", "G1006=00000001", "S1005=00004301", "G1006=00000001",
                   "S1005=00004301", "G1006=00000000", "S1005=00004002", "G1006=00008008"}),
              Devices().TakeLog());

    // Properties pass straight to the driver, its failures included.
    v = 0x4A;
    EXPECT_EQ(0, m_first.SetProp(0x100B, &v));
    EXPECT_EQ(0, m_first.GetProp(0x1014, &v));
    EXPECT_EQ(1u, v);
    EXPECT_EQ(static_cast<int32_t>(0x80070490), m_first.GetProp(0x101C, &v));

    // A failed bus write clears the control word.
    Devices().TakeLog();
    v = 0;
    EXPECT_EQ(static_cast<int32_t>(0x8007001F), m_first.SetI2C_NI(0x22, 1, &v));
    EXPECT_EQ((Log{"S1007=00220001", "S1008=00000000", "S1007=00000000"}), Devices().TakeLog());

    m_first.Close();
    EXPECT_EQ(0, Devices().LiveFilters());
    EXPECT_EQ(Repeat(kNoContext, kNoContext), m_first.AllStatuses());
}

TEST_F(VidlinkWine, BusyCodecTimesOutAfter2000PollsInBothGenerations) {
    ASSERT_TRUE(Devices().Add(kVideoInput, L"sim1", L"USB 2820 Video", L"gen=1;ac97=busy"));
    ASSERT_TRUE(Devices().Add(kVideoInput, L"sim2", L"USB 2820 Device", L"gen=2;ac97=busy"));
    ASSERT_EQ(1, m_first.Open("USB 2820 Video"));
    ASSERT_EQ(1, m_second.Open("USB 2820 Device"));
    for (const SLibrary* pLibrary : {&m_first, &m_second}) {
        for (bool bSet : {false, true}) {
            Devices().TakeLog();
            uint32_t v = 0;
            EXPECT_EQ(5, bSet ? pLibrary->SetAC97(0x02, &v) : pLibrary->GetAC97(0x02, &v));
            EXPECT_EQ(2000, Devices().CountLog("S1005=00004301"));
        }
    }
}

TEST_F(VidlinkWine, ContextWithoutVendorInterfaceAnswersSixAndReopeningReleases) {
    ASSERT_TRUE(Devices().Add(kVideoInput, L"sim1", L"USB 2820 Video", L"gen=1"));
    Devices().RefuseVendor(1); // the first search fails, the check succeeds
    ASSERT_EQ(1, m_first.Open("USB 2820 Video"));
    Devices().TakeLog();
    EXPECT_EQ(Repeat(6, 6), m_first.AllStatuses());
    EXPECT_TRUE(Devices().TakeLog().empty());

    // Each open releases the context it replaces: one filter stays alive.
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(1, m_first.Open("USB 2820 Video"));
    EXPECT_EQ(1, Devices().LiveFilters());
    // Both searches refused: nothing stays open.
    Devices().RefuseVendor(2);
    EXPECT_EQ(0, m_first.Open("USB 2820 Video"));
    EXPECT_EQ(0, Devices().LiveFilters());
    EXPECT_EQ(Repeat(kNoContext, kNoContext), m_first.AllStatuses());
}

TEST_F(VidlinkWine, SecondGenerationSearchesTheBdaCategoryAndTheDefaultNames) {
    // Only in the second category, under the probe's name.
    ASSERT_TRUE(
        Devices().Add(kBdaReceiver, L"sim1", L"Varnik cameras driver #1", L"gen=2;chip=65"));
    EXPECT_EQ(0, m_first.Open("Varnik cameras driver"));
    ASSERT_EQ(1, m_second.Open("Varnik cameras driver"));
    Devices().TakeLog();
    uint32_t v = 0;
    EXPECT_EQ(0, m_second.GetPIO(&v));
    // Chip 65 has the new register layout.
    EXPECT_EQ((Log{"S1005=00008001", "G1006=00000000", "S1005=00008401", "G1006=00000000"}),
              Devices().TakeLog());
    EXPECT_EQ(kNotSupported, m_second.GetProp(0x1014, &v));
    EXPECT_EQ(kNotSupported, m_second.SetProp(0x100B, &v));
    EXPECT_TRUE(Devices().TakeLog().empty());

    // A default name in the video input category; the old layout.
    Devices().RemoveDevices();
    ASSERT_TRUE(Devices().Add(kVideoInput, L"sim2", L"USB 2861 Device", L"gen=2;chip=0x20"));
    ASSERT_EQ(1, m_second.Open("Varnik cameras driver"));
    Devices().TakeLog();
    EXPECT_EQ(0, m_second.GetPIO(&v));
    EXPECT_EQ((Log{"S1005=00000801", "G1006=00000000", "S1005=00000901", "G1006=00000000"}),
              Devices().TakeLog());
}

TEST_F(VidlinkWine, SecondGenerationFallsBackToTheRegistryDisplayName) {
    ASSERT_TRUE(Devices().Add(kBdaReceiver, L"simZ", L"Some tuner", L"gen=2"));
    EXPECT_EQ(0, m_second.Open("Varnik cameras driver"));
    ASSERT_TRUE(CSimDevices::SetDsName("@device:sw:{FD0A5AF4-B41D-11D2-9C95-00C04F7971E0}\\simZ"));
    EXPECT_EQ(1, m_second.Open("Varnik cameras driver"));
}

TEST_F(VidlinkWine, SecondGenerationReadsTheRemoteControlInsteadOfTheBus) {
    ASSERT_TRUE(Devices().Add(kVideoInput, L"sim1", L"USB 2820 Device",
                              L"gen=2;rcaddr=0x30;remote=0x00420080,0x00420080"));
    ASSERT_EQ(1, m_second.Open("USB 2820 Device"));
    Devices().TakeLog();
    uint32_t v = 0;
    EXPECT_EQ(0, m_second.GetI2C_NI(0x30, 1, &v));
    EXPECT_EQ(0x42u, v);
    EXPECT_EQ(0, m_second.GetI2C_I(0x30, 0, 1, &v));
    EXPECT_EQ(255u, v); // same toggle, no key held
    EXPECT_EQ((Log{"S1005=00004504", "G1006=00420080", "S1005=00004401", "G1006=00000000",
                   "S1005=00004504", "G1006=00420080", "S1005=00004401", "G1006=00000000"}),
              Devices().TakeLog());
}

TEST_F(VidlinkWine, ComIsHeldOnlyWhileAContextExistsOnTheOpeningThread) {
    ASSERT_TRUE(Devices().Add(kVideoInput, L"sim1", L"USB 2820 Video", L"gen=1"));
    // S_OK from CoInitializeEx: nobody else holds COM on this thread.
    auto comFree = [] {
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(hr))
            CoUninitialize();
        return hr == S_OK;
    };
    // The fixture loaded both libraries on this thread: loading initialised nothing.
    EXPECT_TRUE(comFree());
    std::vector<bool> seen;
    std::thread worker([&] {
        seen.push_back(comFree());
        seen.push_back(m_first.Open("USB 2820 Video") == 1);
        seen.push_back(!comFree()); // the open context holds it
        m_first.Close();
        seen.push_back(comFree());
        seen.push_back(m_first.Open("Other camera") == 1); // found by its default name
        Devices().RemoveDevices();
        seen.push_back(m_first.Open("USB 2820 Video") == 0);
        seen.push_back(comFree()); // a failed open leaves nothing held
    });
    worker.join();
    EXPECT_EQ(std::vector<bool>(7, true), seen);
}
