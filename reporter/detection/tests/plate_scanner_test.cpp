// Plate scanners: the announcement decoder and table over hand-written
// datagrams, the listener over a fake socket, and the control calls of the
// first generation over a recording fake.
#include "materiel.h"
#include "probe_fakes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <random>

using namespace ostrel;

namespace {

// An announcement written byte by byte: serial, IP bytes at 37..40, firmware at 62..65.
std::vector<uint8_t> Datagram(const char* serial, std::array<uint8_t, 4> ip = {10, 0, 168, 192},
                              const char* fw = "12LG") {
    std::vector<uint8_t> d(122, 0);
    d[0] = 0x7A;
    d[1] = 0x00;
    d[2] = 0x5A;
    d[3] = 0xA5;
    d[4] = 0x01;
    std::memcpy(&d[5], "LUMENO-G2", 9);
    std::memcpy(&d[21], serial, std::min<size_t>(16, std::strlen(serial)));
    std::memcpy(&d[37], ip.data(), 4);
    std::memcpy(&d[62], fw, 4);
    return d;
}

class CFakeDatagrams : public IDatagramPort {
public:
    bool m_bStarts = true;
    bool m_bListens = true;
    bool m_bOpen = false;
    std::deque<std::vector<uint8_t>> m_queue;
    std::vector<std::string> m_calls;
    size_t m_nAsked = 0;

    bool Startup(int& e) override {
        m_calls.push_back("startup");
        e = m_bStarts ? 0 : 10091;
        return m_bStarts;
    }
    void Cleanup() override { m_calls.push_back("cleanup"); }
    bool Listen(const std::string& address, uint16_t port, uintptr_t hWnd, unsigned msg,
                int& e) override {
        m_calls.push_back("listen " + address + ":" + std::to_string(port) + " " +
                          std::to_string(hWnd) + " " + std::to_string(msg));
        e = m_bListens ? 0 : 10048;
        m_bOpen = m_bListens;
        return m_bListens;
    }
    int Receive(uint8_t* buffer, size_t size) override {
        m_nAsked = size;
        if (m_queue.empty())
            return 0;
        std::vector<uint8_t> d = m_queue.front();
        m_queue.pop_front();
        if (d.size() > size)
            return -1;
        if (!d.empty())
            std::memcpy(buffer, d.data(), d.size());
        return static_cast<int>(d.size());
    }
    void Close() override {
        if (m_bOpen)
            m_calls.push_back("close");
        m_bOpen = false;
    }
    bool IsOpen() const override { return m_bOpen; }
};

struct SFixture {
    test::CNullServer none;
    test::CNullInventory inventory;
    CFakeDatagrams datagrams;
    CMateriel materiel{{none, none, none, inventory, datagrams}, L"C:\\Tools\\"};

    void Hear(std::vector<uint8_t> d, uintptr_t notification = 1) {
        datagrams.m_queue.push_back(std::move(d));
        EXPECT_EQ(materiel.OnPlateScannerDatagram(notification), 1);
    }
};

} // namespace

TEST(Announcement, DecodesTheFieldsTheDetectionShows) {
    std::vector<uint8_t> d = Datagram("LG2-00042");
    const uint8_t tail[] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}; // hardware address, bytes 56..61
    std::memcpy(&d[56], tail, 6);
    d[66] = 7;
    d[67] = 2;
    const uint8_t a70[] = {1, 0, 168, 192, 0, 255, 255, 255};
    std::memcpy(&d[70], a70, 8);
    d[88] = 0x01;
    d[91] = 0x02;
    ASSERT_EQ(CheckAnnouncement(d.data(), d.size()), EAnnouncementCheck::Accepted);
    SAnnouncement a;
    DecodeAnnouncement(d.data(), a);
    EXPECT_EQ(a.m_strSerial, L"LG2-00042");
    EXPECT_EQ(a.m_strDeviceName, L"LUMENO-G2");
    EXPECT_EQ(a.m_strIp, L"192.168.0.10");
    EXPECT_EQ(a.m_strFirmware, L"1.1.2 (LG)");
    EXPECT_EQ(a.m_strHardwareAddress, L"66:55:44:33:22:11");
    EXPECT_EQ(a.m_strVersion, L"v2.7");
    EXPECT_EQ(a.m_strAddress70, L"192.168.0.1");
    EXPECT_EQ(a.m_strAddress74, L"255.255.255.0");
    EXPECT_EQ(a.m_nValue88, 0x01000002u);
}

TEST(Announcement, FirmwareTexts) {
    struct Case {
        const char* bytes;
        const wchar_t* text;
    } cases[] = {
        {"12LG", L"1.1.2 (LG)"}, {"3401", L"01.34"},      {"12LZ", L"20.1.2 (LZ)"},
        {"12AF", L"AF.12"},      {"61LL", L"6.6.1 (LL)"}, {"12Lg", L"Lg.12"},
    };
    for (const Case& c : cases) {
        const auto* b = reinterpret_cast<const uint8_t*>(c.bytes);
        EXPECT_EQ(FirmwareText(b[0], b[1], b[2], b[3]), c.text) << c.bytes;
    }
    EXPECT_EQ(FirmwareText('1', '2', 0, '4'), L""); // ends at the zero, as a C string
    EXPECT_EQ(FirmwareText('1', 0, 'L', 'G'), L"1.1.");
}

TEST(Announcement, Validation) {
    struct Case {
        size_t offset;
        std::vector<uint8_t> bytes;
        size_t size;
        EAnnouncementCheck check;
    } cases[] = {
        {0, {0x00, 0x7A}, 122, EAnnouncementCheck::Accepted}, // big-endian length
        {0, {0x7A, 0x00}, 122, EAnnouncementCheck::Accepted},
        {0, {0x7B, 0x00}, 122, EAnnouncementCheck::WrongLength},
        {0, {0x7A, 0x7A}, 122, EAnnouncementCheck::WrongLength},
        {2, {0xA5, 0x5A}, 122, EAnnouncementCheck::WrongMarker},
        {4, {0x02}, 122, EAnnouncementCheck::WrongType},
        {0, {}, 121, EAnnouncementCheck::WrongSize},
        {0, {}, 123, EAnnouncementCheck::WrongSize},
        {0, {}, 0, EAnnouncementCheck::WrongSize},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> d = Datagram("S1");
        d.resize(std::max<size_t>(c.size, 1));
        for (size_t i = 0; i < c.bytes.size(); ++i)
            d[c.offset + i] = c.bytes[i];
        EXPECT_EQ(CheckAnnouncement(d.data(), c.size), c.check) << c.offset << " " << c.size;
    }
}

TEST(PlateScannerListener, TableKeepsFirstHeardInOrderAndDropsTheEleventh) {
    SFixture f;
    ASSERT_TRUE(f.materiel.StartPlateScannerListener(0x5150));
    EXPECT_EQ(f.datagrams.m_calls,
              (std::vector<std::string>{"startup", "listen 0.0.0.0:48322 20816 1025"}));
    f.Hear(Datagram("C-3"));
    f.Hear(Datagram("A-1", {20, 0, 168, 192}));
    f.Hear(Datagram("C-3", {99, 0, 168, 192}, "3401")); // a repeat changes nothing
    f.Hear(Datagram("B-2", {30, 0, 168, 192}, "3401"));
    ASSERT_EQ(f.materiel.GetPlateScannerCount(), 3);
    EXPECT_EQ(f.materiel.GetPlateScannerSerial(0), L"C-3");
    EXPECT_EQ(f.materiel.GetPlateScannerIp(0), L"192.168.0.10");
    EXPECT_EQ(f.materiel.GetPlateScannerFirmware(0), L"1.1.2 (LG)");
    EXPECT_EQ(f.materiel.GetPlateScannerSerial(1), L"A-1");
    EXPECT_EQ(f.materiel.GetPlateScannerSerial(2), L"B-2");
    EXPECT_EQ(f.materiel.GetPlateScannerFirmware(2), L"01.34");
    for (int i = 4; i <= 12; ++i)
        f.Hear(Datagram(("S-" + std::to_string(i)).c_str()));
    EXPECT_EQ(f.materiel.GetPlateScannerCount(), 10);
    EXPECT_EQ(f.materiel.GetPlateScannerSerial(9), L"S-10");
    EXPECT_EQ(f.materiel.GetPlateScannerSerial(10), L"");
    EXPECT_EQ(f.datagrams.m_nAsked, 123u);

    f.materiel.StopPlateScannerListener();
    EXPECT_EQ(f.datagrams.m_calls.back(), "cleanup");
    EXPECT_EQ(f.datagrams.m_calls[f.datagrams.m_calls.size() - 2], "close");
    EXPECT_EQ(f.materiel.OnPlateScannerDatagram(1), 0); // no listener
    EXPECT_EQ(f.materiel.GetPlateScannerCount(), 10);   // kept until the next run
    f.materiel.StartPlateScannerListener(0);            // the next run clears the table
    EXPECT_EQ(f.materiel.GetPlateScannerCount(), 0);
}

TEST(PlateScannerListener, IgnoresWhatIsNotAnAnnouncement) {
    SFixture f;
    f.materiel.StartPlateScannerListener(1);
    std::vector<uint8_t> shortOne = Datagram("SHORT");
    shortOne.resize(121);
    std::vector<uint8_t> longOne = Datagram("LONG");
    longOne.push_back(0);
    std::vector<uint8_t> wrongLength = Datagram("WRONG");
    wrongLength[0] = 0x7B;
    f.Hear(shortOne);
    f.Hear(longOne);
    f.Hear(wrongLength);
    f.Hear(Datagram("OTHER-EVENT"), 0x20);      // FD_CLOSE
    f.Hear(Datagram("WITH-ERROR"), 0x27450001); // read event carrying an error
    f.datagrams.m_queue.clear();
    EXPECT_EQ(f.materiel.OnPlateScannerDatagram(1), 1); // nothing to read
    EXPECT_EQ(f.materiel.GetPlateScannerCount(), 0);

    // A 16-byte serial without terminator is read whole; a shorter one after
    // it takes nothing of it.
    f.Hear(Datagram("ABCDEFGHIJKLMNOP", {1, 2, 3, 4}));
    f.Hear(Datagram("XY"));
    ASSERT_EQ(f.materiel.GetPlateScannerCount(), 2);
    EXPECT_EQ(f.materiel.GetPlateScannerSerial(0), L"ABCDEFGHIJKLMNOP");
    EXPECT_EQ(f.materiel.GetPlateScannerIp(0), L"4.3.2.1");
    EXPECT_EQ(f.materiel.GetPlateScannerSerial(1), L"XY");
    EXPECT_EQ(f.materiel.PlateScannerListener()->LastAnnouncement().m_strSerial, L"XY");
}

TEST(PlateScannerListener, FailuresHearNothing) {
    {
        SFixture f;
        f.datagrams.m_bStarts = false;
        EXPECT_FALSE(f.materiel.StartPlateScannerListener(1));
        EXPECT_EQ(f.materiel.PlateScannerListener()->LastError(), 10091);
        f.Hear(Datagram("S"));
        EXPECT_EQ(f.materiel.GetPlateScannerCount(), 0);
        f.materiel.StopPlateScannerListener();
        EXPECT_EQ(f.datagrams.m_calls, (std::vector<std::string>{"startup"}));
    }
    {
        SFixture f;
        f.datagrams.m_bListens = false;
        EXPECT_FALSE(f.materiel.StartPlateScannerListener(1));
        EXPECT_EQ(f.materiel.PlateScannerListener()->LastError(), 10048);
        f.materiel.StopPlateScannerListener();
        EXPECT_EQ(f.datagrams.m_calls.back(), "cleanup");
    }
}

// Random datagrams, mostly near-valid ones, never crash the decoder and
// never file a scanner from a rejected datagram.
TEST(PlateScannerListener, BoundedRandomDatagrams) {
    std::mt19937 random(20261210);
    SFixture f;
    f.materiel.StartPlateScannerListener(1);
    int accepted = 0;
    for (int n = 0; n < 20000; ++n) {
        std::vector<uint8_t> d = Datagram("R");
        const int mode = static_cast<int>(random() % 4);
        if (mode == 0)
            d.resize(random() % 130);
        const size_t flips = random() % 8;
        for (size_t k = 0; k < flips && !d.empty(); ++k)
            d[random() % d.size()] = static_cast<uint8_t>(random());
        const bool valid = CheckAnnouncement(d.data(), d.size()) == EAnnouncementCheck::Accepted;
        accepted += valid;
        const int before = f.materiel.GetPlateScannerCount();
        f.Hear(d);
        if (!valid) {
            EXPECT_EQ(f.materiel.GetPlateScannerCount(), before);
        }
        EXPECT_LE(f.materiel.GetPlateScannerCount(), 10);
    }
    EXPECT_GT(accepted, 1000);
}

namespace {

class CFakeControl : public IPlateScannerControl {
public:
    bool m_bWindow = true;
    int32_t m_nOpenAnswer = 1;
    bool m_bOpenFails = false;
    std::vector<std::wstring> m_calls;

    bool HasWindow() override { return m_bWindow; }
    bool CallInt(int id, const std::vector<SDispatchArg>& args, int32_t& result) override {
        std::wstring call = std::to_wstring(id) + L"(";
        for (const SDispatchArg& a : args)
            call += (a.m_bString ? a.m_strValue : std::to_wstring(a.m_nValue)) + L",";
        m_calls.push_back(call + L")");
        if (id == 1) {
            if (m_bOpenFails)
                return false;
            result = m_nOpenAnswer;
        } else {
            result = 0;
        }
        return true;
    }
    bool CallText(int id, std::wstring& result) override {
        m_calls.push_back(std::to_wstring(id) + L"()");
        result = L"LUMENO";
        return true;
    }
};

} // namespace

TEST(PlateScannerGen1, MethodCallsAndTheAnswerOfMethodOne) {
    SFixture f;
    CFakeControl control;
    EXPECT_TRUE(f.materiel.ProbePlateScannerGen1(&control, L"C:\\VARNIK\\Images\\"));
    EXPECT_EQ(control.m_calls, (std::vector<std::wstring>{L"1(4,4,C:\\VARNIK\\Images\\,)",
                                                          L"6(C:\\VARNIK\\Images\\LstLumeno.bmp,)",
                                                          L"8()", L"21()", L"2()"}));
    EXPECT_EQ(f.none.m_sleeps, std::vector<unsigned>{100});

    struct Case {
        bool window;
        int32_t answer;
        bool fails;
    } cases[] = {
        {true, 0, false}, {true, 2, false}, {true, -1, false}, {true, 1, true}, {false, 1, false}};
    for (const Case& c : cases) {
        CFakeControl other;
        other.m_bWindow = c.window;
        other.m_nOpenAnswer = c.answer;
        other.m_bOpenFails = c.fails;
        EXPECT_FALSE(f.materiel.ProbePlateScannerGen1(&other, L"C:\\I\\")) << c.answer;
        EXPECT_LE(other.m_calls.size(), 1u);
    }
    EXPECT_FALSE(f.materiel.ProbePlateScannerGen1(nullptr, L"C:\\I\\"));
}
