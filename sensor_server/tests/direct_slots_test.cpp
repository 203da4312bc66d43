// The direct sensors' transport: which sensor lands in which slot, the bytes
// of requests and replies, the reply statuses, status packets and waits,
// and what a device that goes away leaves behind.
#include "direct_slots.h"
#include "status_codes.h"
#include "usb_sim.h"
#include "virtual_clock.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

using namespace torvex;
using namespace torvex::sim;

namespace {

using CBytes = std::vector<uint8_t>;

// One device that records every transfer and answers reads from a script.
class CScriptedDevice final : public IUsbDevice {
public:
    struct STransfer {
        uint8_t m_nAddress;
        CBytes m_bytes; // written, or asked length as zeros for reads
    };
    int DeviceCount() override { return 1; }
    bool Open(int) override {
        m_bOpen = true;
        return true;
    }
    bool IsOpen() const override { return m_bOpen; }
    uint16_t VendorId() const override { return 0x1CE6; }
    uint16_t ProductId() const override { return 0x0001; }
    std::string DevicePath() const override { return "\\\\?\\usb#scripted"; }
    bool HasEndpoint(uint8_t a) const override {
        return a == 0x06 || a == 0x88 || (a == 0x81 && m_bStatusEndpoint);
    }
    void SetTimeout(uint8_t a, uint32_t ms) override { m_timeouts.push_back({a, ms}); }
    bool Transfer(uint8_t a, uint8_t* p, size_t& n) override {
        if (a & 0x80) {
            m_log.push_back({a, CBytes(n, 0)});
            if (m_reads.empty())
                return false;
            CBytes next = m_reads.front();
            m_reads.pop_front();
            if (next.empty()) {
                if (m_bGoneOnFailure)
                    m_bOpen = false;
                return false; // a failed transfer
            }
            n = std::min(n, next.size());
            std::copy(next.begin(), next.begin() + static_cast<long>(n), p);
            return true;
        }
        m_log.push_back({a, CBytes(p, p + n)});
        return !m_bFailWrites;
    }
    void Close() override { m_bOpen = false; }

    bool m_bOpen = false;
    bool m_bStatusEndpoint = true;
    bool m_bFailWrites = false;
    bool m_bGoneOnFailure = false;
    std::deque<CBytes> m_reads;
    std::vector<STransfer> m_log;
    std::vector<std::pair<uint8_t, uint32_t>> m_timeouts;
};

// Hands out one scripted device; the CPLD byte of OpenSlot comes first.
class CScriptedMaker final : public IUsbDeviceMaker {
public:
    std::unique_ptr<IUsbDevice> MakeDevice() override {
        auto p = std::make_unique<CScriptedDevice>();
        m_pDevice = p.get();
        p->m_reads = m_firstReads;
        return p;
    }
    CScriptedDevice* m_pDevice = nullptr;
    // CPLD data phase 0x85 (slot 0), then its reply with sequence 1, done.
    std::deque<CBytes> m_firstReads{{0x85}, {0x01, 0x00}};
};

struct SScripted {
    CVirtualClock clock;
    CScriptedMaker maker;
    CDirectSlots slots{maker, clock};
    CScriptedDevice& Device() { return *maker.m_pDevice; }
    void Open() {
        ASSERT_EQ(slots.OpenSlot(0), kOk);
        Device().m_log.clear();
    }
};

struct SSimulated {
    explicit SSimulated(std::vector<uint8_t> cplds) {
        for (size_t i = 0; i < cplds.size(); ++i) {
            SDirectSensorSetup setup;
            setup.m_nCpld = cplds[i];
            setup.m_nSerial = static_cast<uint32_t>(100 + i);
            bus.Add(setup);
        }
    }
    CVirtualClock clock;
    CSimUsbBus bus{clock};
    CDirectSlots slots{bus, clock};
};

} // namespace

TEST(DirectSlots, TheCpldBitDecidesTheSlot) {
    SSimulated sim({0x12, 0x85}); // a size-2 sensor first, then a size-1 one
    EXPECT_EQ(sim.slots.OpenSlot(0), kOk);
    EXPECT_EQ(sim.slots.DevicePath(0), SimDirectPath(sim.bus.Sensor(1)));
    EXPECT_EQ(sim.slots.OpenSlot(1), kOk);
    EXPECT_EQ(sim.slots.DevicePath(1), SimDirectPath(sim.bus.Sensor(0)));
    // The search for slot 1 opened interface 0 again for slot 0's object
    // too; slot 0 still talks to its own sensor.
    EXPECT_EQ(sim.slots.Request(0x84, 0, 0, nullptr, false, 0), kOk);
    EXPECT_EQ(sim.bus.Sensor(1).LastCode(), 0x84);
    EXPECT_EQ(sim.slots.OpenSlot(0), kNoSlotSensor) << "a held slot is not opened twice";
    EXPECT_EQ(sim.bus.LiveDevices(), 2);
    sim.slots.CloseSlot(0);
    EXPECT_FALSE(sim.slots.HoldsSensor(0));
    EXPECT_EQ(sim.bus.LiveDevices(), 1);
}

TEST(DirectSlots, OnlyAStrangerSizeLeavesTheSlotEmpty) {
    SSimulated sim({0x85});
    EXPECT_EQ(sim.slots.OpenSlot(1), kNoSlotSensor);
    EXPECT_FALSE(sim.slots.HoldsSensor(1));
    EXPECT_EQ(sim.slots.EnsureSlot(1), kNoSlotSensor);
    EXPECT_EQ(sim.bus.LiveDevices(), 0);
    EXPECT_EQ(sim.slots.EnsureSlot(0), kOk) << "an empty slot is opened on demand";
}

TEST(DirectSlots, RequestBytesOnTheWire) {
    SScripted s;
    s.Open();
    uint8_t out[3] = {9, 8, 7};
    s.Device().m_reads = {{0x02, 0x00}};
    EXPECT_EQ(s.slots.Request(0x8D, 3, 0x01020304, out, true, 0), kOk);
    const auto& log = s.Device().m_log;
    ASSERT_EQ(log.size(), 3u);
    // Sequence 2 (OpenSlot's CPLD request was 1), code, length and value big-endian.
    EXPECT_EQ(log[0].m_nAddress, 0x06);
    EXPECT_EQ(log[0].m_bytes, (CBytes{0x02, 0x8D, 0x00, 0x03, 0x01, 0x02, 0x03, 0x04}));
    EXPECT_EQ(log[1].m_nAddress, 0x06);
    EXPECT_EQ(log[1].m_bytes, (CBytes{9, 8, 7}));
    EXPECT_EQ(log[2].m_nAddress, 0x88);
    EXPECT_EQ(log[2].m_bytes.size(), 2u);
    EXPECT_EQ(s.Device().m_timeouts.back(), (std::pair<uint8_t, uint32_t>{0x88, 2500}));

    // Incoming data on 0x88 before the reply; a length with bit 15 has no data phase.
    s.Device().m_log.clear();
    uint8_t in[4] = {};
    s.Device().m_reads = {{0xDE, 0xAD, 0xBE, 0xEF}, {0x03, 0x00}};
    EXPECT_EQ(s.slots.Request(0x87, 4, 0, in, false, 0), kOk);
    EXPECT_EQ(CBytes(in, in + 4), (CBytes{0xDE, 0xAD, 0xBE, 0xEF}));
    s.Device().m_log.clear();
    s.Device().m_reads = {{0x04, 0x00}};
    EXPECT_EQ(s.slots.Request(0x87, 0x8004, 0, in, false, 0), kOk);
    EXPECT_EQ(s.Device().m_log.size(), 2u) << "packet and reply only";
}

TEST(DirectSlots, ReplyStatusesAndPolls) {
    struct Case {
        std::deque<CBytes> replies; // after the packet; sequence 2 is ours
        int code;
        size_t polls;
    } cases[] = {
        {{{2, 0}}, kOk, 0},
        {{{2, 1}, {2, 1}, {2, 0}}, kOk, 2},
        {{{3, 0}}, kSequenceMismatch, 0},
        {{{2, 1}, {7, 0}}, kSequenceMismatch, 1},
        {{{2, 2}}, kMissingEndpoint, 0},
        {{{2, 3}}, kDeviceUnsupported, 0},
        {{{2, 255}}, kDeviceFailed, 0},
        {{{2, 9}}, kDeviceStatusOther, 0},
        {{{}}, kTimeout, 0},  // the reply read failed
        {{{2}}, kTimeout, 0}, // a reply of one byte
        {{{2, 1}, {}}, kTimeout, 1},
    };
    for (const Case& c : cases) {
        SScripted s;
        s.Open();
        s.Device().m_reads = c.replies;
        std::array<uint8_t, 2> reply{};
        EXPECT_EQ(s.slots.Request(0x00, 0, 0, nullptr, false, 0, &reply), c.code)
            << c.replies.size() << " replies";
        size_t nPolls = 0;
        for (const auto& t : s.Device().m_log)
            if (t.m_nAddress == 0x06 && t.m_bytes == CBytes{2, 0x8A, 0, 0, 0, 0, 0, 0})
                ++nPolls;
        EXPECT_EQ(nPolls, c.polls) << "expected code " << c.code;
    }
}

TEST(DirectSlots, ASensorWorkingForEverIsGivenUp) {
    SScripted s;
    s.Open();
    s.Device().m_reads.assign(2000, CBytes{2, 1});
    EXPECT_EQ(s.slots.Request(0x00, 0, 0, nullptr, false, 0), kTimeout);
    EXPECT_LT(s.Device().m_reads.size(), 2000u - 300);
}

TEST(DirectSlots, FailedTransfersAndMissingEndpoints) {
    {
        SScripted s; // a failed packet write
        s.Open();
        s.Device().m_bFailWrites = true;
        EXPECT_EQ(s.slots.Request(0x00, 0, 0, nullptr, false, 0), kTimeout);
    }
    {
        SScripted s; // a failed incoming data phase: no reply is read
        s.Open();
        uint8_t in[4];
        s.Device().m_reads = {{}, {2, 0}};
        EXPECT_EQ(s.slots.Request(0x87, 4, 0, in, false, 0), kTimeout);
        EXPECT_EQ(s.Device().m_reads.size(), 1u);
    }
    {
        SSimulated sim({0x85});
        sim.bus.m_missingEndpoints = {0x88};
        EXPECT_EQ(sim.slots.OpenSlot(0), kNoSlotSensor) << "its CPLD byte cannot be asked";
    }
}

TEST(DirectSlots, SequenceNumbersAreSharedAndWrap) {
    SSimulated sim({0x85, 0x12});
    ASSERT_EQ(sim.slots.OpenSlot(0), kOk);
    ASSERT_EQ(sim.slots.OpenSlot(1), kOk);
    const uint8_t nFirst = sim.slots.Sequence();
    EXPECT_EQ(sim.slots.Request(0x00, 0, 0, nullptr, false, 0), kOk);
    EXPECT_EQ(sim.slots.Request(0x00, 0, 0, nullptr, false, 1), kOk);
    EXPECT_EQ(sim.slots.Sequence(), static_cast<uint8_t>(nFirst + 2));
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(sim.slots.Request(0x00, 0, 0, nullptr, false, i % 2), kOk) << i;
}

TEST(DirectSlots, ADeviceGoneMidRequestEmptiesItsSlot) {
    SSimulated sim({0x85});
    sim.bus.Sensor(0).AddFault({EDirectFault::Gone, 0x8F, 0, -1});
    ASSERT_EQ(sim.slots.OpenSlot(0), kOk);
    uint8_t in[8];
    EXPECT_EQ(sim.slots.Request(0x8F, 8, 0, in, false, 0), kTimeout);
    EXPECT_FALSE(sim.slots.HoldsSensor(0));
    EXPECT_EQ(sim.bus.LiveDevices(), 0);
    EXPECT_EQ(sim.slots.Request(0x00, 0, 0, nullptr, false, 0), kNoSlotSensor);
}

TEST(DirectSlots, ADeviceGoneDuringTheSearchTakesOnlyItself) {
    // The first slot-0 candidate vanishes while its CPLD byte is asked; the
    // search goes on to the next interface.
    SSimulated sim({0x85, 0x86});
    sim.bus.Sensor(0).AddFault({EDirectFault::Gone, 0x84, 0, -1});
    EXPECT_EQ(sim.slots.OpenSlot(0), kOk);
    EXPECT_EQ(sim.slots.DevicePath(0), SimDirectPath(sim.bus.Sensor(1)));
    EXPECT_EQ(sim.slots.Request(0x00, 0, 0, nullptr, false, 0), kOk);
    EXPECT_EQ(sim.bus.LiveDevices(), 1);

    SSimulated alone({0x85});
    alone.bus.Sensor(0).AddFault({EDirectFault::Gone, 0x84, 0, -1});
    EXPECT_EQ(alone.slots.OpenSlot(0), kNoSlotSensor);
    EXPECT_FALSE(alone.slots.HoldsSensor(0));
    EXPECT_EQ(alone.bus.LiveDevices(), 0);
}

TEST(DirectSlots, StatusPackets) {
    SScripted s;
    s.Open();
    CBytes packet(64, 0);
    packet[0] = 0x48;
    packet[1] = 0xFF;
    packet[4] = 33;
    packet[6] = 5;
    packet[63] = 6;
    s.Device().m_reads = {packet, {}, {0x48, 0x02, 0, 0}};
    SDeviceStatus st;
    EXPECT_EQ(s.slots.StatusOf(0, st), kOk);
    EXPECT_EQ(st.m_nStateCode, 0xFF);
    EXPECT_EQ(st.m_nFlags, 0x48);
    EXPECT_EQ(st.m_nPhotodiode, 33);
    EXPECT_EQ(st.m_samples[0], 5);
    EXPECT_EQ(st.m_samples[57], 6);
    EXPECT_EQ(s.Device().m_log.back().m_nAddress, 0x81);
    // A failed read shows in the state code; the call itself succeeds.
    EXPECT_EQ(s.slots.StatusOf(0, st), kOk);
    EXPECT_EQ(st.m_nStateCode, kStatusReadFailed);
    EXPECT_EQ(s.slots.StatusOf(0, st), kOk);
    EXPECT_EQ(st.m_nStateCode, kStatusPacketShort) << "four bytes carry no photodiode value";
    s.Device().m_bStatusEndpoint = false;
    EXPECT_EQ(s.slots.StatusOf(0, st), kOk);
    EXPECT_EQ(st.m_nStateCode, kNoStatusEndpoint);
    EXPECT_EQ(s.slots.StatusOf(1, st), kNoSlotSensor) << "no sensor for slot 1";
}

TEST(DirectSlots, WaitStatus) {
    SSimulated sim({0x85});
    ASSERT_EQ(sim.slots.OpenSlot(0), kOk);
    // The first packet is discarded whatever it says.
    sim.bus.Sensor(0).Setup().m_statusFlags = {0x48, 0x08, 0x08, 0x4C};
    EXPECT_EQ(sim.slots.WaitStatus(0x48, 10000, 0), kOk);
    EXPECT_EQ(sim.slots.WaitStatus(0x48, 10000, 0), kOk) << "the last flags repeat";

    sim.bus.Sensor(0).Setup().m_statusFlags = {0x08};
    const uint64_t nStart = sim.clock.NowMs();
    EXPECT_EQ(sim.slots.WaitStatus(0x40, 1000, 0), kStatusWaitTimeout);
    EXPECT_GE(sim.clock.NowMs() - nStart, 1000u);
    EXPECT_LT(sim.clock.NowMs() - nStart, 1100u);

    EXPECT_EQ(sim.slots.WaitStatus(0x40, 1000, 1), kNoSlotSensor) << "an empty slot";
    sim.bus.Sensor(0).Remove();
    EXPECT_EQ(sim.slots.WaitStatus(0x40, 1000, 0), kStatusReadFailed);
}
