// The sensor search over recording fakes: what it asks the Bluetooth stack,
// the registry and the ports, in order, and what it answers.
#include "search_fakes.h"

#include <gtest/gtest.h>

namespace bluefind::test {
namespace {

constexpr uint64_t kSensorA = 0x0012345678AB;
constexpr uint64_t kSensorB = 0x00AABBCCDDEE;
constexpr uint64_t kPhone = 0x001122334455;

const std::string kFind = "find radio=0 auth=1 rem=1 unk=1 con=1 inquiry=0 timeout=0";
const std::string kFindWithInquiry = "find radio=0 auth=1 rem=1 unk=1 con=1 inquiry=1 timeout=10";
const std::string kSerial = "{00001101-0000-1000-8000-00805F9B34FB}";
const std::string kObex = "{00001105-0000-1000-8000-00805F9B34FB}";

// The journal lines that start with one of the prefixes.
Journal Only(const Journal& journal, std::initializer_list<const char*> prefixes) {
    Journal out;
    for (const std::string& line : journal)
        for (const char* p : prefixes)
            if (line.rfind(p, 0) == 0) {
                out.push_back(line);
                break;
            }
    return out;
}

TEST(BluefindText, AddressTextAndSensorName) {
    EXPECT_EQ(AddressText(0x0012345678AB), L"0012345678AB");
    EXPECT_EQ(AddressText(0xFFFF0000000000FF), L"0000000000FF"); // only the low 48 bits
    EXPECT_EQ(AddressText(0xA1B2C3D4E5F6), L"A1B2C3D4E5F6");

    struct {
        const wchar_t* name;
        bool sensor;
    } names[] = {{L"TESSEL", true},         {L"xTESSEL-W 0042", true}, {L"W TESSEL", true},
                 {L"Tessel W 0042", false}, {L"TESSE L", false},       {L"", false},
                 {L"tessel", false}};
    for (const auto& n : names)
        EXPECT_EQ(IsSensorName(n.name), n.sensor) << Narrow(n.name);
}

TEST(BluefindSearch, PairedSensorIsFoundWithoutAnInquiry) {
    SSearchWorld w;
    w.m_stack.Load("device 0012345678AB paired services=1101 name=TESSEL W 0042\n");
    w.m_registry.AddModem(kSensorA, L"COM7");
    w.m_ports.m_free = {L"\\\\.\\COM7"};

    std::wstring port;
    EXPECT_EQ(w.m_search.FindTesselBth(port), 0u);
    EXPECT_EQ(port, L"\\\\.\\COM7");
    EXPECT_EQ(
        Only(w.m_journal, {"find", "info", "pair", "services", "enable", "sleep", "try"}),
        (Journal{kFind, "info 0012345678AB", "services 0012345678AB max 20", "try \\\\.\\COM7"}));
}

TEST(BluefindSearch, UnpairedSensorIsPairedAndGetsItsSerialService) {
    SSearchWorld w;
    w.m_stack.Load("device 001122334455 name=Phone\n"
                   "device 0012345678AB services=1105 name=TESSEL W 0042\n");
    w.m_registry.AddModem(kSensorA, L"COM9");
    w.m_ports.m_free = {L"\\\\.\\COM9"};

    std::wstring port;
    EXPECT_EQ(w.m_search.FindTesselBth(port), 0u);
    EXPECT_EQ(port, L"\\\\.\\COM9");
    // Nothing is remembered: the second search makes the inquiry.
    EXPECT_EQ(Only(w.m_journal, {"find", "pair", "services", "enable", "sleep", "try"}),
              (Journal{kFind, kFindWithInquiry, "pair 0012345678AB passkey=8629 -> 0",
                       "services 0012345678AB max 20", "enable 0012345678AB " + kSerial + " -> 0",
                       "sleep 5000", "try \\\\.\\COM9"}));
}

TEST(BluefindSearch, InstalledSerialServiceIsLeftAlone) {
    SSearchWorld w;
    // B is paired, but its serial service was switched off: enabled, no pause.
    w.m_stack.Load("device 0012345678AB paired services=1105,1101 name=TESSEL\n"
                   "device 00AABBCCDDEE paired name=TESSEL\n");
    std::vector<uint64_t> list;
    EXPECT_EQ(w.m_search.SearchTesselDevices(list, false, true), 0u);
    EXPECT_EQ(list, (std::vector<uint64_t>{kSensorA, kSensorB}));
    EXPECT_EQ(Only(w.m_journal, {"pair", "enable", "disable", "sleep"}),
              (Journal{"enable 00AABBCCDDEE " + kSerial + " -> 0"}));
}

TEST(BluefindSearch, FailedPairingIsReportedAndTheSensorNotListed) {
    SSearchWorld w;
    w.m_stack.Load("device 0012345678AB pin=1111 name=TESSEL 1\n");
    std::vector<uint64_t> list;
    EXPECT_EQ(w.m_search.SearchTesselDevices(list, true, true), 1244u);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(Only(w.m_journal, {"enable", "sleep"}), Journal{});

    std::wstring port = L"stale";
    EXPECT_EQ(w.m_search.FindTesselBth(port), 1244u);
    EXPECT_EQ(port, L"");

    // A later sensor that pairs is listed; its pairing's status is the last one.
    w.m_stack.Load("device 0012345678AB pin=1111 name=TESSEL 1\n"
                   "device 00AABBCCDDEE name=TESSEL 2\n");
    EXPECT_EQ(w.m_search.SearchTesselDevices(list, true, true), 0u);
    EXPECT_EQ(list, std::vector<uint64_t>{kSensorB});
}

TEST(BluefindSearch, PortNameForms) {
    struct {
        const wchar_t* registry;
        const wchar_t* port; // empty: not found
    } cases[] = {
        {L"COM7", L"\\\\.\\COM7"},
        {L"\\\\.\\COM12", L"\\\\.\\COM12"},
        {L"\\DosDevices\\COM3", L"\\DosDevices\\COM3"},
        // 45 characters and the prefix fill the caller's 49; one more does not fit.
        {L"COM456789012345678901234567890123456789012345",
         L"\\\\.\\COM456789012345678901234567890123456789012345"},
        {L"COM4567890123456789012345678901234567890123456", L""},
    };
    for (const auto& c : cases) {
        SSearchWorld w;
        w.m_stack.Load("device 0012345678AB paired services=1101 name=TESSEL\n");
        w.m_registry.AddModem(kSensorA, c.registry);
        const std::wstring full = c.registry[0] == L'\\' ? std::wstring(c.registry)
                                                         : L"\\\\.\\" + std::wstring(c.registry);
        w.m_ports.m_free = {full};
        std::wstring port;
        (void)w.m_search.FindTesselBth(port);
        EXPECT_EQ(port, c.port) << Narrow(c.registry);
        EXPECT_LE(port.size(), kMaxPortChars);
    }
}

TEST(BluefindSearch, PortInUseMovesOnToTheNextAddress) {
    SSearchWorld w;
    w.m_stack.Load("device 0012345678AB paired services=1101 name=TESSEL 1\n"
                   "device 00AABBCCDDEE paired services=1101 name=TESSEL 2\n");
    w.m_registry.AddModem(kPhone, L"COM3");
    w.m_registry.AddModem(kSensorA, L"COM4");
    w.m_registry.AddModem(kSensorB, L"COM5");
    w.m_ports.m_inUse = {L"\\\\.\\COM4"};
    w.m_ports.m_free = {L"\\\\.\\COM3", L"\\\\.\\COM5"};
    w.m_registry.m_bReadLogged = true;

    std::wstring port;
    EXPECT_EQ(w.m_search.FindTesselBth(port), 0u);
    EXPECT_EQ(port, L"\\\\.\\COM5");
    // The values are read from the last to the first, for each address.
    EXPECT_EQ(Only(w.m_journal, {"read", "try", "find"}),
              (Journal{kFind, "read 2", "read 1", "read PortName", "try \\\\.\\COM4", "read 0",
                       "read 2", "read PortName", "try \\\\.\\COM5"}));
}

TEST(BluefindSearch, WalkStartsAgainWithTheSensorsOfAnInquiry) {
    SSearchWorld w;
    // B is not remembered: only the inquiry finds it.
    w.m_stack.Load("device 0012345678AB paired services=1101 name=TESSEL 1\n"
                   "device 00AABBCCDDEE services=1101 name=TESSEL 2\n");
    w.m_registry.AddModem(kSensorA, L"COM4"); // missing port
    w.m_registry.AddModem(kSensorB, L"COM5");
    w.m_ports.m_free = {L"\\\\.\\COM5"};

    std::wstring port;
    EXPECT_EQ(w.m_search.FindTesselBth(port), 0u);
    EXPECT_EQ(port, L"\\\\.\\COM5");
    // The inquiry lists A again; only the new sensor is tried after it.
    EXPECT_EQ(Only(w.m_journal, {"find", "try"}),
              (Journal{kFind, "try \\\\.\\COM4", kFindWithInquiry, "try \\\\.\\COM5"}));

    // The sensor that the inquiry pairs gets its port only then, past the
    // Count read before it.
    SSearchWorld late;
    late.m_stack.Load("device 0012345678AB paired services=1101 name=TESSEL 1\n"
                      "device 00AABBCCDDEE name=TESSEL 2\n");
    late.m_registry.AddModem(kSensorA, L"COM4");
    late.m_stack.m_onSerialEnabled = [&late](uint64_t a) { late.m_registry.AddModem(a, L"COM6"); };
    late.m_ports.m_free = {L"\\\\.\\COM6"};
    EXPECT_EQ(late.m_search.FindTesselBth(port), 0u);
    EXPECT_EQ(port, L"\\\\.\\COM6");

    // Nothing usable at all: one inquiry, then the walk ends with no port.
    SSearchWorld none;
    none.m_stack.Load("device 0012345678AB paired services=1101 name=TESSEL 1\n");
    none.m_registry.AddModem(kSensorA, L"COM4");
    EXPECT_EQ(none.m_search.FindTesselBth(port), 0u);
    EXPECT_EQ(port, L"");
    EXPECT_EQ(Only(none.m_journal, {"find"}), (Journal{kFind, kFindWithInquiry}));
}

TEST(BluefindSearch, RegistryFailures) {
    struct {
        const char* what;
        int modemKey; // 0 absent, 1 without Count, 2 Count as text, 3 Count 0
        uint32_t status;
    } cases[] = {
        {"no modem key", 0, 2}, {"no Count", 1, 2}, {"Count as text", 2, 13}, {"Count 0", 3, 1168}};
    for (const auto& c : cases) {
        SSearchWorld w;
        w.m_stack.Load("device 0012345678AB paired services=1101 name=TESSEL\n");
        if (c.modemKey >= 1)
            w.m_registry.m_keys[kModemEnumKey];
        if (c.modemKey == 2)
            w.m_registry.SetText(kModemEnumKey, L"Count", L"1");
        if (c.modemKey == 3)
            w.m_registry.SetDword(kModemEnumKey, L"Count", 0);
        std::wstring port;
        EXPECT_EQ(w.m_search.FindTesselBth(port), c.status) << c.what;
        EXPECT_EQ(port, L"") << c.what;
        EXPECT_EQ(Only(w.m_journal, {"try"}), Journal{}) << c.what;
    }

    // A corrupt Count: the walk is bounded and still reaches value "0".
    {
        SSearchWorld w;
        w.m_stack.Load("device 0012345678AB paired services=1101 name=TESSEL\n");
        w.m_registry.AddModem(kSensorA, L"COM7");
        w.m_registry.SetDword(kModemEnumKey, L"Count", 0xFFFFFFFF);
        w.m_ports.m_free = {L"\\\\.\\COM7"};
        std::wstring port;
        EXPECT_EQ(w.m_search.FindTesselBth(port), 0u);
        EXPECT_EQ(port, L"\\\\.\\COM7");
    }

    // A port name too long for its registry buffer: the status of that read
    // is the answer.
    SSearchWorld w;
    w.m_stack.Load("device 0012345678AB paired services=1101 name=TESSEL\n");
    w.m_registry.AddModem(kSensorA, std::wstring(264, L'C'));
    std::wstring port;
    EXPECT_EQ(w.m_search.FindTesselBth(port), 234u);
}

TEST(BluefindSearch, NoRadio) {
    SSearchWorld w;
    w.m_stack.Load("radios 0\n");
    w.m_stack.m_nNoRadioError = 120;
    std::wstring port;
    EXPECT_EQ(w.m_search.FindTesselBth(port), 120u);
    EXPECT_EQ(port, L"");
    EXPECT_FALSE(w.m_search.IsTesselConnected());
    EXPECT_EQ(w.m_search.DeleteUnusedTesselBth(), 120u);
    EXPECT_EQ(Only(w.m_journal, {"radios", "open"}),
              (Journal{"radios", "radios", "radios", "radios"}));
}

TEST(BluefindSearch, NamesThatComeLateOrNever) {
    SSearchWorld w;
    // B gives its name after the enumeration and two reads.
    w.m_stack.Load("device 0012345678AB paired services=1101 blank=-1 name=TESSEL 1\n"
                   "device 00AABBCCDDEE paired services=1101 blank=3 name=TESSEL 2\n");
    std::vector<uint64_t> list;
    EXPECT_EQ(w.m_search.SearchTesselDevices(list, false, true), 0u);
    EXPECT_EQ(list, std::vector<uint64_t>{kSensorB});
    EXPECT_EQ(Only(w.m_journal, {"info", "sleep"}),
              (Journal{"info 0012345678AB", "sleep 200", "info 0012345678AB", "sleep 200",
                       "info 0012345678AB", "sleep 200", "info 0012345678AB", "sleep 200",
                       "info 0012345678AB", "info 00AABBCCDDEE", "sleep 200", "info 00AABBCCDDEE",
                       "sleep 200", "info 00AABBCCDDEE"}));
}

TEST(BluefindSearch, EverySensorOfEveryRadioIsListedOnce) {
    SSearchWorld w;
    // A is known to both radios.
    w.m_stack.Load("radios 2\n"
                   "device 0012345678AB paired services=1101 name=TESSEL 1\n"
                   "device 00AABBCCDDEE paired services=1101 radio=1 name=TESSEL 2\n"
                   "device 0012345678AB paired services=1101 radio=1 name=TESSEL 1\n"
                   "device 001122334455 remembered name=Phone\n");
    std::vector<uint64_t> list;
    EXPECT_EQ(w.m_search.SearchTesselDevices(list, false, true), 0u);
    EXPECT_EQ(list, (std::vector<uint64_t>{kSensorA, kSensorB}));
    EXPECT_EQ(Only(w.m_journal, {"find"}),
              (Journal{kFind, "find radio=1 auth=1 rem=1 unk=1 con=1 inquiry=0 timeout=0"}));
}

TEST(BluefindSearch, DeletedSensorsAreDisabledRemovedAndSkippedLater) {
    SSearchWorld w;
    w.m_stack.Load("device 0012345678AB paired services=1101,1105 name=TESSEL 1\n"
                   "device 001122334455 remembered name=Phone\n");
    w.m_registry.AddModem(kSensorA, L"COM7");
    w.m_ports.m_free = {L"\\\\.\\COM7"};

    EXPECT_EQ(w.m_search.DeleteUnusedTesselBth(), 0u);
    EXPECT_EQ(Only(w.m_journal, {"find", "pair", "enable", "disable", "remove"}),
              (Journal{kFind, "disable 0012345678AB " + kSerial + " -> 0",
                       "disable 0012345678AB " + kObex + " -> 0", "remove 0012345678AB -> 0"}));
    EXPECT_EQ(w.m_search.RemovedDevices(), std::vector<uint64_t>{kSensorA});

    // Paired again behind the library's back: this instance still skips it,
    // the in-range test does not.
    bthsim::SSimDevice& again = w.m_stack.Device(kSensorA);
    again.m_bAuthenticated = again.m_bRemembered = true;
    again.m_services = {kSerialPortService};
    w.m_journal.clear();
    std::wstring port;
    (void)w.m_search.FindTesselBth(port);
    EXPECT_EQ(port, L"");
    EXPECT_EQ(Only(w.m_journal, {"pair", "services", "try"}), Journal{});
    EXPECT_TRUE(w.m_search.IsTesselConnected());

    // Nothing to delete: status 0, the list unchanged.
    SSearchWorld empty;
    EXPECT_EQ(empty.m_search.DeleteUnusedTesselBth(), 0u);
    EXPECT_TRUE(empty.m_search.RemovedDevices().empty());
}

TEST(BluefindSearch, InRangeTestAsksForAuthenticatedDevicesWithAShortInquiry) {
    SSearchWorld w;
    w.m_stack.Load("device 001122334455 paired name=Phone\n"
                   "device 0012345678AB paired name=TESSEL 1\n"
                   "device 00AABBCCDDEE paired name=TESSEL 2\n");
    EXPECT_TRUE(w.m_search.IsTesselConnected());
    // Stops at the first sensor.
    EXPECT_EQ(Only(w.m_journal, {"find", "info"}),
              (Journal{"find radio=0 auth=1 rem=0 unk=0 con=0 inquiry=1 timeout=1",
                       "info 001122334455", "info 0012345678AB"}));

    SSearchWorld away;
    away.m_stack.Load("device 0012345678AB paired away name=TESSEL 1\n"
                      "device 00AABBCCDDEE name=TESSEL 2\n"); // in range, not paired
    EXPECT_FALSE(away.m_search.IsTesselConnected());
}

} // namespace
} // namespace bluefind::test
