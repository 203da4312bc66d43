// Bluefind.dll under Wine through its real imports: against the stand-in
// control-panel module (scripted devices, real registry, real file opens),
// and against Wine's own module. Each case loads the library afresh from a
// folder of its own, so the stand-in reads its script again and the
// removed-device list starts empty.
#include "bluefind_wine_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace bluefind::wine;

namespace {

const wchar_t kSensorA[] = L"0012345678AB";
const wchar_t kSensorB[] = L"00AABBCCDDEE";

class BluefindWine : public ::testing::Test {
protected:
    void SetUp() override {
        m_stack.Prepare(L"bluefind_case", true);
        ASSERT_TRUE(::CreateDirectoryW(kPortFolder, nullptr) ||
                    ::GetLastError() == ERROR_ALREADY_EXISTS);
    }
    void TearDown() override {
        m_library.Unload();
        RemoveModems();
        for (const std::wstring& f : m_files)
            ::DeleteFileW(f.c_str());
        ::RemoveDirectoryW(kPortFolder);
    }
    // A file that opens like a free port; its "\\?\" name goes to the registry.
    std::wstring FreePort(const std::wstring& strName) {
        const std::wstring path = std::wstring(kPortFolder) + L"\\" + strName;
        HANDLE h =
            ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ::CloseHandle(h);
        m_files.push_back(path);
        return L"\\\\?\\" + path;
    }
    void Load() {
        ASSERT_TRUE(m_library.Load(m_stack.Folder() + L"Bluefind.dll"));
        EXPECT_EQ(m_library.StackFolder(), m_stack.Folder()) << "stand-in not loaded";
    }

    CStackFolder m_stack;
    CLibrary m_library;
    std::vector<std::wstring> m_files;
};

TEST_F(BluefindWine, ExportsByNameAndOrdinal) {
    m_stack.Script(L"radios 0\n");
    Load();
    for (int ordinal : {42, 43, 44}) {
        EXPECT_NE(m_library.ByOrdinal(ordinal), nullptr) << ordinal;
    }
    EXPECT_EQ(m_library.ByOrdinal(42), m_library.ByName("FindTesselBth"));
    EXPECT_EQ(m_library.ByOrdinal(43), m_library.ByName("IsTesselConnected"));
    EXPECT_EQ(m_library.ByOrdinal(44), m_library.ByName("DeleteUnusedTesselBth"));
    using FindFn = DWORD(WINAPI*)(wchar_t*);
    auto pFind = reinterpret_cast<FindFn>(reinterpret_cast<void*>(m_library.ByOrdinal(42)));
    ASSERT_NE(pFind, nullptr);
    EXPECT_EQ(pFind(nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // No radio: the stand-in's "no more items".
    std::wstring port = L"x";
    EXPECT_EQ(m_library.Find(port), 259u);
    EXPECT_EQ(port, L"");
    EXPECT_EQ(m_library.Connected(), 0);
}

TEST_F(BluefindWine, PairedSensorIsFoundWithoutAnInquiry) {
    m_stack.Script(L"device " + std::wstring(kSensorB) + L" paired name=Phone\n" + L"device " +
                   kSensorA + L" paired services=1101 name=TESSEL W 0042\n");
    const std::wstring port = FreePort(L"a");
    AddModems({{kSensorB, L"COM3", true}, {kSensorA, port, false}}); // PortName unterminated
    Load();
    std::wstring found;
    EXPECT_EQ(m_library.Find(found), 0u);
    EXPECT_EQ(found, port);
    EXPECT_EQ(m_library.LastBufferTail(), L"") << "written past the terminator or the buffer";
    const std::vector<std::string> log = m_stack.Log();
    EXPECT_TRUE(Contains(log, "find radio=0 auth=1 rem=1 unk=1 con=1 inquiry=0 timeout=0"));
    EXPECT_FALSE(ContainsPrefix(log, "find radio=0 auth=1 rem=1 unk=1 con=1 inquiry=1"));
    EXPECT_FALSE(ContainsPrefix(log, "pair "));
    EXPECT_FALSE(ContainsPrefix(log, "enable "));
}

TEST_F(BluefindWine, UnpairedSensorIsPairedWithItsPasskeyAndGetsTheSerialService) {
    m_stack.Script(L"device " + std::wstring(kSensorA) + L" services=1105 name=TESSEL W 0042\n");
    const std::wstring port = FreePort(L"p");
    AddModems({{kSensorA, port, true}});
    Load();
    std::wstring found;
    EXPECT_EQ(m_library.Find(found), 0u);
    EXPECT_EQ(found, port);
    const std::vector<std::string> log = m_stack.Log();
    EXPECT_TRUE(Contains(log, "find radio=0 auth=1 rem=1 unk=1 con=1 inquiry=1 timeout=10"));
    EXPECT_TRUE(Contains(log, "pair 0012345678AB passkey=8629 -> 0"));
    EXPECT_TRUE(Contains(log, "enable 0012345678AB {00001101-0000-1000-8000-00805F9B34FB} -> 0"));
}

TEST_F(BluefindWine, SensorsThatGiveNoPort) {
    const std::wstring port = FreePort(L"n");
    const std::wstring longPort = FreePort(std::wstring(40, L'L')); // over 49 characters
    struct {
        const char* what;
        std::wstring script;
        std::vector<SModem> modems;
        bool countZero;
        uint32_t status;
    } cases[] = {
        {"name in another case",
         L"device 0012345678AB paired services=1101 name=Tessel W\n",
         {{kSensorA, port, true}},
         false,
         0},
        {"name never reported",
         L"device 0012345678AB paired services=1101 blank=-1 name=TESSEL W\n",
         {{kSensorA, port, true}},
         false,
         0},
        {"pairing refused",
         L"device 0012345678AB pin=1111 name=TESSEL W\n",
         {{kSensorA, port, true}},
         false,
         1244},
        {"no modem key", L"device 0012345678AB paired services=1101 name=TESSEL W\n", {}, false, 2},
        {"Count 0", L"device 0012345678AB paired services=1101 name=TESSEL W\n", {}, true, 1168},
        {"port name too long",
         L"device 0012345678AB paired services=1101 name=TESSEL W\n",
         {{kSensorA, longPort, true}},
         false,
         0},
        {"port missing",
         L"device 0012345678AB paired services=1101 name=TESSEL W\n",
         {{kSensorA, L"COM58", true}},
         false,
         0},
    };
    for (const auto& c : cases) {
        m_stack.Script(c.script);
        RemoveModems();
        AddModems(c.modems);
        if (c.countZero)
            SetModemCount(0);
        Load();
        std::wstring found = L"stale";
        EXPECT_EQ(m_library.Find(found), c.status) << c.what;
        EXPECT_EQ(found, L"") << c.what;
        m_library.Unload();
    }
}

TEST_F(BluefindWine, PortInUseMovesOnToTheNextAddress) {
    m_stack.Script(L"device " + std::wstring(kSensorA) + L" paired services=1101 name=TESSEL 1\n" +
                   L"device " + kSensorB + L" paired services=1101 name=TESSEL 2\n");
    const std::wstring busy = FreePort(L"busy");
    const std::wstring free = FreePort(L"free");
    AddModems({{kSensorA, busy, true}, {kSensorB, free, true}});
    // Another program holds the first sensor's port.
    HANDLE hHeld = ::CreateFileW(busy.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    Load();
    std::wstring found;
    EXPECT_EQ(m_library.Find(found), 0u);
    EXPECT_EQ(found, free);
    ::CloseHandle(hHeld);
}

TEST_F(BluefindWine, DeletedSensorsAreSkippedByLaterSearches) {
    m_stack.Script(L"device " + std::wstring(kSensorA) +
                   L" paired services=1101,1105 name=TESSEL 1\n");
    const std::wstring port = FreePort(L"d");
    AddModems({{kSensorA, port, true}});
    Load();
    EXPECT_EQ(m_library.Connected(), 1);
    EXPECT_EQ(m_library.Delete(), 0u);
    std::vector<std::string> log = m_stack.Log();
    EXPECT_TRUE(Contains(log, "disable 0012345678AB {00001101-0000-1000-8000-00805F9B34FB} -> 0"));
    EXPECT_TRUE(Contains(log, "disable 0012345678AB {00001105-0000-1000-8000-00805F9B34FB} -> 0"));
    EXPECT_TRUE(Contains(log, "remove 0012345678AB -> 0"));
    // The inquiry still finds the sensor in range; the library leaves it alone.
    m_stack.ClearLog();
    std::wstring found = L"stale";
    EXPECT_EQ(m_library.Find(found), 0u);
    EXPECT_EQ(found, L"");
    log = m_stack.Log();
    EXPECT_TRUE(ContainsPrefix(log, "find radio=0 auth=1 rem=1 unk=1 con=1 inquiry=1"));
    EXPECT_FALSE(ContainsPrefix(log, "pair "));
    EXPECT_FALSE(ContainsPrefix(log, "services "));
}

TEST_F(BluefindWine, InRangeTest) {
    struct {
        const wchar_t* script;
        int connected;
    } cases[] = {{L"device 0012345678AB paired name=TESSEL 1\n", 1},
                 {L"device 0012345678AB paired away name=TESSEL 1\n", 0},
                 {L"device 0012345678AB name=TESSEL 1\n", 0}};
    for (const auto& c : cases) {
        m_stack.Script(c.script);
        Load();
        EXPECT_EQ(m_library.Connected(), c.connected) << Narrow(c.script);
        EXPECT_TRUE(
            Contains(m_stack.Log(), "find radio=0 auth=1 rem=0 unk=0 con=0 inquiry=1 timeout=1"));
        m_library.Unload();
    }
}

// Wine's own module: no radio, and the functions that would abort the
// process are never reached.
TEST(BluefindWineOwnStack, NoSensorAndNoCrash) {
    CStackFolder stack;
    stack.Prepare(L"bluefind_own_stack", false);
    CLibrary library;
    ASSERT_TRUE(library.Load(stack.Folder() + L"Bluefind.dll"));
    EXPECT_NE(library.StackFolder(), stack.Folder());
    std::wstring found = L"stale";
    const uint32_t status = library.Find(found);
    EXPECT_NE(status, 0u) << status;
    EXPECT_EQ(found, L"");
    EXPECT_EQ(library.Connected(), 0);
    EXPECT_EQ(library.Delete(), status);
}

} // namespace
