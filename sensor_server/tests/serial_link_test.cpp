// The serial request loop against a scripted port: time limits, clean-up of
// every request, and closing the port on any failure.
#include "serial_link.h"
#include "status_codes.h"
#include "transport.h"
#include "virtual_clock.h"

#include "test_support.h"

#include <gtest/gtest.h>

using namespace torvex;

namespace {

// A port whose requests finish after a set time, or never, or fail.
class CScriptedPort final : public ISerialPort {
public:
    explicit CScriptedPort(IClock& clock) : m_clock(clock) {}
    int Open(const std::string&) override {
        ++m_nOpens;
        m_bOpen = m_nOpenError == 0;
        return m_nOpenError;
    }
    bool IsOpen() const override { return m_bOpen; }
    void Close() override { m_bOpen = false; }
    int Purge() override { return m_nPurgeError; }
    int StartWrite(const uint8_t*, size_t n, size_t& nDone) override { return Start(n, nDone); }
    int StartRead(uint8_t* p, size_t n, size_t& nDone) override {
        m_pBuffer = p;
        return Start(n, nDone);
    }
    int QueryRequest(size_t& nDone) override {
        if (m_nFailWith)
            return m_nFailWith;
        if (m_clock.NowMs() < m_nDoneAt)
            return kIoIncomplete;
        if (m_pBuffer) {
            const CEnvelope reply = BuildEnvelope(MakeFrame(0xB0, 0x01, 0x41));
            std::copy(reply.begin(), reply.end(), m_pBuffer);
        }
        nDone = m_nSize;
        return kOk;
    }
    void EndRequest() override {
        ++m_nEnded;
        m_pBuffer = nullptr;
    }
    void CancelIo() override {}

    uint64_t m_nTakes = 0; // ms a request takes
    int m_nFailWith = 0;   // error of the running request
    int m_nOpenError = 0;
    int m_nPurgeError = 0;
    int m_nOpens = 0;
    int m_nStarts = 0;
    int m_nEnded = 0;

private:
    int Start(size_t n, size_t& nDone) {
        ++m_nStarts;
        m_nSize = n;
        m_nDoneAt = m_clock.NowMs() + m_nTakes;
        nDone = 0;
        return kIoPending;
    }
    IClock& m_clock;
    bool m_bOpen = false;
    uint64_t m_nDoneAt = 0;
    size_t m_nSize = 0;
    uint8_t* m_pBuffer = nullptr;
};

} // namespace

TEST(SerialLink, TimeLimitsOfWritesAndReads) {
    struct Case {
        bool write;
        uint64_t takes;
        int expected;
        uint64_t elapsed;
    } cases[] = {
        {true, 950, kOk, 1000},         // polled every 100 ms
        {true, 5000, kIoPending, 1000}, // 1000 ms for a write
        {false, 9950, kOk, 10000},
        {false, 20000, kIoPending, 10000}, // 10000 ms for a read
    };
    for (const auto& c : cases) {
        sim::CVirtualClock clock;
        CScriptedPort port(clock);
        port.m_nTakes = c.takes;
        CSerialLink link(port, clock);
        uint8_t buffer[14] = {};
        size_t nDone = 0;
        uint64_t nCounter = 0;
        const uint64_t t0 = clock.NowMs();
        const int nCode = c.write ? link.Write("\\\\.\\COM1", buffer, 14)
                                  : link.Read("\\\\.\\COM1", buffer, 14, nDone, nCounter);
        EXPECT_EQ(nCode, c.expected) << c.takes;
        EXPECT_EQ(clock.NowMs() - t0, c.elapsed) << c.takes;
        EXPECT_EQ(port.m_nEnded, 1) << "every request is cancelled and its event freed";
        EXPECT_EQ(port.IsOpen(), c.expected == kOk) << "a failure closes the port";
        EXPECT_EQ(nCounter, !c.write && c.expected == kOk ? 14u : 0u);
    }
}

TEST(SerialLink, FailuresCloseThePortSoTheNextExchangeReopensIt) {
    sim::CVirtualClock clock;
    CScriptedPort port(clock);
    test::CFakeHooks hooks;
    sim::CSimBoxPort box(nullptr); // not reached on a serial link
    SLinkState link;
    CTransport transport(link, box, port, clock, hooks);
    const std::string com = "\\\\.\\COM3";
    ASSERT_EQ(transport.OpenLink(kLinkSerial, &com), kOk);
    EXPECT_EQ(port.m_nOpens, 1);

    CFrame f = MakeFrame(0xB0, 0x01, 0x01);
    EXPECT_EQ(transport.ExchangeFrame(f), kOk);
    EXPECT_EQ(f[2], 0x41);

    // A port that can no longer be purged is closed, not kept for ever.
    port.m_nPurgeError = 22;
    f = MakeFrame(0xB0, 0x01, 0x01);
    EXPECT_EQ(transport.ExchangeFrame(f), 22);
    EXPECT_FALSE(port.IsOpen());
    port.m_nPurgeError = 0;
    f = MakeFrame(0xB0, 0x01, 0x01);
    EXPECT_EQ(transport.ExchangeFrame(f), kOk);
    EXPECT_EQ(port.m_nOpens, 2);

    port.m_nFailWith = 1167;
    f = MakeFrame(0xB0, 0x01, 0x01);
    EXPECT_EQ(transport.ExchangeFrame(f), 1167);
    EXPECT_FALSE(port.IsOpen());
    port.m_nOpenError = 2;
    f = MakeFrame(0xB0, 0x01, 0x01);
    EXPECT_EQ(transport.ExchangeFrame(f), 2);
    EXPECT_EQ(port.m_nEnded, port.m_nStarts);
}
