// The acquisition engine of the direct sensors against simulated sensors:
// the cycle's states on its timers, the images it hands over (checked
// against a plain computation from the simulator's frames), the dark-frame
// retakes, and every way an acquisition can end.
#include "acquisition_engine.h"
#include "acquisition_oscillogram.h"
#include "acquisition_reference.h"
#include "calibration.h"
#include "direct_memory.h"
#include "image_handover.h"
#include "image_record.h"
#include "test_support.h"

#include <functional>
#include <map>
#include <regex>
#include <stdexcept>

using namespace torvex;
using namespace torvex::test;

namespace {

class CMemoryHandover final : public IHandoverFiles {
public:
    std::string TempFolder() override { return "T:\\tmp\\"; }
    std::string LastImagePath() override { return "T:\\tmp\\ACQ1.BMP"; }
    bool WriteFile(const std::string& p, const std::vector<uint8_t>& b) override {
        m_files[p] = b;
        return true;
    }
    std::map<std::string, std::vector<uint8_t>> m_files;
};

// The view's window with timers on its own tick count: each pending
// dispatch fires the earliest timer due within 10 ms (the clock moves with
// it), or runs a command queued for nested dispatch.
class CFakeViewWindow final : public IAcquisitionWindow {
public:
    explicit CFakeViewWindow(IClock& clock) : m_clock(clock) {}

    void StartTimer(unsigned nId, uint32_t nMs) override {
        m_timers[nId] = STimer{m_nTick + nMs, nMs};
        m_started.push_back(nId);
    }
    void StopTimer(unsigned nId) override { m_timers.erase(nId); }
    void DispatchPending() override {
        // A wait that never ends would hang the test run.
        if (++m_nDispatches > 1000000)
            throw std::runtime_error("the engine waits for good");
        if (!m_queued.empty()) {
            const std::function<void()> f = m_queued.front();
            m_queued.erase(m_queued.begin());
            f();
            return;
        }
        uint64_t nDue = m_nTick + 10;
        unsigned nId = 0;
        for (const auto& [id, timer] : m_timers)
            if (timer.m_nDue <= nDue) {
                nDue = timer.m_nDue;
                nId = id;
            }
        if (nDue > m_nTick) {
            m_clock.SleepMs(static_cast<uint32_t>(nDue - m_nTick));
            m_nTick = nDue;
        }
        if (nId == 0)
            return;
        m_timers[nId].m_nDue = m_nTick + m_timers[nId].m_nPeriod;
        const int nSlot = nId == kTimerSlot0 ? 0 : 1;
        std::vector<int>& states = m_states[nSlot];
        const int nState = m_pEngine->Cycle(nSlot).m_nState;
        if (states.empty() || states.back() != nState)
            states.push_back(nState);
        m_pEngine->OnTimer(nId);
        if (m_afterStep)
            m_afterStep();
    }
    void HandOver(const uint8_t* pRecord, size_t nSize) override {
        ++m_nHandOvers;
        m_record.assign(pRecord, pRecord + nSize);
        m_pHandOver->OnCopyData(kCopyDataImage, pRecord, nSize);
    }
    void ShowMessage(const std::string& strText, const std::string& strCaption) override {
        m_messages.push_back(strCaption + ": " + strText);
    }
    bool Running(unsigned nId) const { return m_timers.count(nId) != 0; }

    struct STimer {
        uint64_t m_nDue;
        uint32_t m_nPeriod;
    };
    IClock& m_clock;
    uint64_t m_nTick = 0;
    std::map<unsigned, STimer> m_timers;
    std::vector<unsigned> m_started;
    std::vector<int> m_states[2]; // each slot's state at its steps, repeats folded
    std::vector<std::function<void()>> m_queued;
    std::function<void()> m_afterStep; // after every timer step
    std::vector<std::string> m_messages;
    int m_nHandOvers = 0;
    std::vector<uint8_t> m_record; // the last one handed over
    int m_nDispatches = 0;
    CAcquisitionEngine* m_pEngine = nullptr;
    CImageHandOver* m_pHandOver = nullptr;
};

class CFixedWallClock final : public ostrel::IWallClock {
public:
    long long NowSeconds() override { return 1700000000; }
};

class CFakeCalibration final : public ICalibrationSource {
public:
    std::optional<SCalibration> CalibrationFor(int nSlot) override {
        m_asked.push_back(nSlot);
        return m_calibration;
    }
    std::optional<SCalibration> m_calibration;
    std::vector<int> m_asked;
};

// A server with the engine attached and its direct sensors detected.
class CAcqServer {
public:
    explicit CAcqServer(const std::string& strSim)
        : m_server(strSim), m_handOver(m_files, m_server.m_dispatcher.View()),
          m_window(m_server.m_sim.Clock()),
          m_engine(m_server.m_slots, m_server.m_sim.Clock(), m_window, &m_calibration,
                   m_server.m_dispatcher.View()),
          m_capture(m_server.m_slots, m_server.m_sim.Clock(), m_server.m_hooks, m_files,
                    m_wallClock) {
        m_window.m_pEngine = &m_engine;
        m_window.m_pHandOver = &m_handOver;
        m_server.m_dispatcher.AttachAcquisition(&m_engine, &m_capture);
        m_server.Send(kCmdDetectUsb);
        m_server.Send(kCmdDetectUsbNext);
    }
    SReply Send(unsigned nCommand, const std::string& strData = std::string()) {
        return m_server.Send(nCommand, strData);
    }
    sim::CDirectSensor& Sensor(size_t n = 0) { return m_server.m_sim.UsbBus().Sensor(n); }
    SViewState& View() { return m_server.m_dispatcher.View(); }
    const std::vector<uint8_t>& File(const std::string& strName) {
        return m_files.m_files["T:\\tmp\\" + strName];
    }

    CServer m_server;
    CMemoryHandover m_files;
    CImageHandOver m_handOver;
    CFakeViewWindow m_window;
    CFakeCalibration m_calibration;
    CFixedWallClock m_wallClock;
    CAcquisitionEngine m_engine;
    COscillogramCapture m_capture;
};

std::vector<uint8_t> BitmapPixels(const std::vector<uint8_t>& bmp) {
    return bmp.size() < 1078 ? std::vector<uint8_t>()
                             : std::vector<uint8_t>(bmp.begin() + 1078, bmp.end());
}

} // namespace

// One image per geometry: the normal round of states, the three files equal
// to the plain computation, and nothing left running.
TEST(Acquisition, OneImagePerGeometry) {
    for (const char* sim : {"direct=85", "direct=12"}) {
        SCOPED_TRACE(sim);
        CAcqServer server(sim);
        const int nSlot = std::string(sim) == "direct=85" ? 0 : 1;
        const SReply r = server.Send(kCmdAcquireImage);
        EXPECT_EQ(r.m_nError, kOk);
        EXPECT_EQ(r.m_strResult, "T:\\tmp\\ACQ1.BMP");
        EXPECT_EQ(r.m_strReady, "1");
        EXPECT_EQ(server.m_window.m_states[nSlot], (std::vector<int>{1, 2, 6, 2, 6, 3}));
        EXPECT_TRUE(server.m_window.m_states[1 - nSlot].empty()) << "no timer for an empty slot";
        EXPECT_EQ(server.m_engine.Cycle(nSlot).m_nState, kCycleAbort);
        EXPECT_TRUE(server.m_window.m_timers.empty());
        EXPECT_FALSE(server.View().m_bBusy);
        EXPECT_EQ(server.Sensor().Acquisition().DarkFramesTaken(), 1);
        EXPECT_GT(server.View().m_nTransferRate, 0);
        EXPECT_EQ(server.View().m_nEnergy, 5400u);

        const SReferenceImage expected = ReferenceAcquisition(nSlot, false);
        ASSERT_EQ(server.View().m_nPixelCount, expected.m_nWidth * expected.m_nHeight);
        EXPECT_TRUE(server.File("LASTACQ2.RAW") == ReferenceRawFile(expected));
        const std::vector<uint8_t>& osc = server.File("LASTACQ2.OSC");
        EXPECT_EQ(std::string(osc.begin(), osc.end()), ReferenceOscillogramText(300));
        EXPECT_TRUE(BitmapPixels(server.File("ACQ1.BMP")) == ReferenceGrey(expected));
        EXPECT_EQ(server.m_calibration.m_asked, std::vector<int>{nSlot});
        EXPECT_EQ(server.Send(kCmdReadImage).m_strResult, "T:\\tmp\\ACQ1.BMP");
    }
}

// A dark frame that saw light is taken again, at most five times; the
// oscillogram count the sensor claims never reaches past its 1024 samples.
TEST(Acquisition, DarkFrameRetakes) {
    struct Case {
        const char* sim;
        int darkFrames;
        bool exposedDarkUsed;
        size_t oscLines;
    } cases[] = {
        {"direct=85;ddark=2", 3, false, 300},
        {"direct=85;ddark=9", 6, true, 300},
        {"direct=85;ddark=1;doscount=3000", 2, false, 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sim);
        CAcqServer server(c.sim);
        ASSERT_EQ(server.Send(kCmdAcquireImage).m_nError, kOk);
        EXPECT_EQ(server.Sensor().Acquisition().DarkFramesTaken(), c.darkFrames);
        EXPECT_EQ(server.m_engine.Fetch().Retakes(), c.darkFrames);
        EXPECT_TRUE(server.File("LASTACQ2.RAW") ==
                    ReferenceRawFile(ReferenceAcquisition(0, c.exposedDarkUsed)));
        const std::vector<uint8_t>& osc = server.File("LASTACQ2.OSC");
        EXPECT_EQ(static_cast<size_t>(std::count(osc.begin(), osc.end(), '\n')), c.oscLines);
    }
}

// The record's header carries Nrj and Expo; an Expo of 1000 or more is used
// as 100.
TEST(Acquisition, ExposureAndEnergyInTheRecord) {
    struct Case {
        const char* sim;
        uint32_t expo, energy;
    } cases[] = {
        {"direct=85;dexpo=999;denergy=70000", 999, 70000},
        {"direct=85;dexpo=1000", 100, 5400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sim);
        CAcqServer server(c.sim);
        ASSERT_EQ(server.Send(kCmdAcquireImage).m_nError, kOk);
        const std::vector<uint8_t>& r = server.m_window.m_record;
        ASSERT_EQ(r.size(), 2u * 1000 * 1496 + 2090);
        auto u32 = [&](size_t at) {
            return uint32_t{r[at]} | r[at + 1] << 8 | r[at + 2] << 16 | uint32_t{r[at + 3]} << 24;
        };
        EXPECT_EQ(u32(4), 1000u);
        EXPECT_EQ(u32(8), 1496u);
        EXPECT_EQ(u32(20), c.energy) << "image size field: Nrj";
        EXPECT_EQ(u32(36), c.expo) << "important colours: Expo";
        EXPECT_EQ(r[2 * 1000 * 1496 + 1064], 300 % 256) << "oscillogram count";
    }
}

// With both sensors open, the first image answers 220; the sensor that is
// never exposed does not keep it waiting for 60 s.
TEST(Acquisition, AcquireImageWithTwoSensorsAnswersTheFirstImage) {
    CAcqServer server("direct=85,12");
    server.Sensor(1).Acquisition().Setup().m_nArmedPolls = 1u << 30;
    const SReply r = server.Send(kCmdAcquireImage);
    EXPECT_EQ(r.m_nError, kOk);
    EXPECT_EQ(r.m_strResult, "T:\\tmp\\ACQ1.BMP");
    EXPECT_EQ(server.Sensor(0).Acquisition().ImagesTaken(), 1);
    EXPECT_EQ(server.Sensor(1).Acquisition().ImagesTaken(), 0);
    EXPECT_TRUE(server.m_window.m_timers.empty());
}

// However an acquisition ends, READY 1 is written, no timer runs and the
// server is not busy; the next command is served.
TEST(Acquisition, EveryEndCleansUp) {
    struct Case {
        const char* sim;
        int error;
    } cases[] = {
        {"direct=85;dfault=status:00:255", kTimeout}, // never connects: arm time-out
        {"direct=85;dshort=5000", kFetchFailed},      // far too short to unpack
        {"direct=85;dfault=status:89:255", kOk},      // no dark frame: the exposure alone
        {"direct=85;dshort=3", kOk},                  // within the glitch repair
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sim);
        CAcqServer server(c.sim);
        const SReply r = server.Send(kCmdAcquireImage);
        EXPECT_EQ(r.m_nError, c.error);
        EXPECT_EQ(r.m_strResult, c.error == kOk ? "T:\\tmp\\ACQ1.BMP" : "");
        EXPECT_EQ(r.m_strReady, "1");
        EXPECT_TRUE(server.m_window.m_timers.empty());
        EXPECT_FALSE(server.View().m_bBusy);
        EXPECT_EQ(server.m_window.m_nHandOvers, c.error == kOk ? 1 : 0);
        EXPECT_EQ(server.Send(kCmdReadDeviceValues).m_strResult, "3300;5020;1800;1210");
    }
}

// 32 answers once a slot is armed and leaves the cycle running; a slot
// without a sensor gets no timer; 35 stops both timers.
TEST(Acquisition, StartAndStop) {
    CAcqServer server("direct=12");
    const SReply r = server.Send(kCmdStartAcquisition);
    EXPECT_EQ(r.m_nError, kOk);
    EXPECT_EQ(r.m_strResult, "");
    EXPECT_EQ(server.m_window.m_started.front(), kTimerSlot1);
    EXPECT_EQ(
        std::count(server.m_window.m_started.begin(), server.m_window.m_started.end(), kTimerSlot0),
        0);
    EXPECT_EQ(server.m_engine.Cycle(0).m_nState, kCycleConnect);
    EXPECT_EQ(server.m_engine.Cycle(1).m_nState, kCycleExposure);
    EXPECT_TRUE(server.m_window.Running(kTimerSlot1)) << "the cycle goes on after the answer";
    EXPECT_EQ(server.Send(kCmdReadState).m_strResult, "0;1");
    for (int i = 0; i < 40; ++i) // the message loop between commands
        server.m_window.DispatchPending();
    EXPECT_TRUE(server.View().m_bImageReady);
    EXPECT_EQ(server.Sensor().Acquisition().ImagesTaken(), 1);

    const std::string strPath = sim::SimDirectPath(server.Sensor());
    EXPECT_EQ(server.Send(kCmdStopAcquisition, strPath).m_nError, kOk);
    EXPECT_TRUE(server.m_window.m_timers.empty());
    EXPECT_FALSE(server.m_server.m_slots.HoldsSensor(1));
    EXPECT_EQ(server.Sensor().LastCode(), 0x02);

    CAcqServer never("direct=85;dfault=status:00:255");
    EXPECT_EQ(never.Send(kCmdStartAcquisitionMode2).m_nError, kTimeout);
    EXPECT_FALSE(never.View().m_bArmed);
}

// A command forwarded to the view while 220 waits is ignored, with no
// mailbox write; outside 220 the same command is served.
TEST(Acquisition, NestedCommandDuringAcquireImageIsIgnored) {
    CAcqServer server("direct=85");
    bool bServed = true;
    size_t nWrites = 0, nWritesAfter = 0;
    server.m_window.m_queued.push_back([&] {
        nWrites = server.m_server.m_store.m_writes.size();
        bServed = server.m_server.m_dispatcher.Dispatch(kCmdReadDeviceValues);
        nWritesAfter = server.m_server.m_store.m_writes.size();
    });
    EXPECT_EQ(server.Send(kCmdAcquireImage).m_nError, kOk);
    EXPECT_FALSE(bServed);
    EXPECT_EQ(nWritesAfter, nWrites);

    server.m_window.m_queued.push_back(
        [&] { bServed = server.m_server.m_dispatcher.Dispatch(kCmdReadDeviceValues); });
    server.m_server.m_nAllowedEarlyReady = 1; // the nested command's own answer
    server.Send(kCmdStartAcquisition);        // not busy: nested commands run
    EXPECT_TRUE(bServed);
}

// The sensor's calibration (gains, defects beyond the 1023 left alone) comes
// before the corner mask and the median.
TEST(Acquisition, CalibrationComesFirst) {
    for (int nSlot : {0, 1}) {
        SCOPED_TRACE(nSlot);
        CAcqServer server(nSlot == 0 ? "direct=85" : "direct=12");
        const std::vector<uint8_t> ffc = nSlot == 0 ? sim::SampleCalibrationFile(1000, 1496, 3)
                                                    : sim::SampleCalibrationFile(1300, 1696, 4);
        server.m_calibration.m_calibration = ParseCalibration(ffc.data(), ffc.size());
        ASSERT_EQ(server.Send(kCmdAcquireImage).m_nError, kOk);
        EXPECT_TRUE(server.m_window.m_messages.empty());
        EXPECT_TRUE(server.File("LASTACQ2.RAW") ==
                    ReferenceRawFile(ReferenceAcquisition(nSlot, false, ffc)));
    }
}

// A calibration of another size is reported and leaves the image as it is.
TEST(Acquisition, CalibrationOfAnotherSizeIsReported) {
    CAcqServer server("direct=85");
    SCalibration cal;
    cal.m_nWidth = 1300;
    cal.m_nHeight = 1696;
    cal.m_indices.assign(size_t{1300} * 1696, 7);
    server.m_calibration.m_calibration = cal;
    ASSERT_EQ(server.Send(kCmdAcquireImage).m_nError, kOk);
    EXPECT_EQ(server.m_window.m_messages,
              std::vector<std::string>{"ERROR: FFC Header file indicates a different image size"});
    EXPECT_TRUE(server.File("LASTACQ2.RAW") == ReferenceRawFile(ReferenceAcquisition(0, false)));
}

// A clock that never moves: the fetch takes no time, and the rate still
// comes out (as if it took one millisecond) instead of dividing by zero.
TEST(Acquisition, TransferRateOfAFetchThatTookNoTime) {
    class CStillClock final : public IClock {
    public:
        uint64_t NowMs() override { return 5000; }
        void SleepMs(uint32_t) override {}
    } still;
    CServer server("direct=85");
    CMemoryHandover files;
    CImageHandOver handOver(files, server.m_dispatcher.View());
    CFakeViewWindow window(still);
    CDirectSlots slots(server.m_sim.UsbBus(), still);
    CAcquisitionEngine engine(slots, still, window, nullptr, server.m_dispatcher.View());
    window.m_pEngine = &engine;
    window.m_pHandOver = &handOver;
    ASSERT_EQ(slots.OpenSlot(0), kOk);
    ASSERT_EQ(engine.AcquireImage().m_nCode, kOk);
    EXPECT_EQ(server.m_dispatcher.View().m_nTransferRate, 11687500); // 1496000 x 8000 / 1024
}

// 221: the trigger signal from the status packets, 50 samples before the
// trigger, up to the flat end; a folder that leaves no room for the name
// answers 11 before the sensor is asked anything.
TEST(Acquisition, CaptureOscillogram) {
    CAcqServer server("direct=85");
    const int nRequests = server.Sensor().RequestCount();
    const SReply longPath = server.Send(kCmdCaptureOscillogram, std::string(250, 'a'));
    EXPECT_EQ(longPath.m_nError, kBadData);
    EXPECT_EQ(longPath.m_strResult, "");
    EXPECT_EQ(server.Sensor().RequestCount(), nRequests);

    const SReply r = server.Send(kCmdCaptureOscillogram, "C:\\osc\\");
    ASSERT_EQ(r.m_nError, kOk);
    EXPECT_TRUE(std::regex_match(r.m_strResult, std::regex(R"(C:\\osc\\\d{8}-\d{6}\.osc)")))
        << r.m_strResult;
    const std::vector<uint8_t>& samples = server.m_files.m_files[r.m_strResult];
    ASSERT_GT(samples.size(), 200u);
    // The simulator's signal: 10 up to sample 199, 120 for 100 samples, 10 after.
    std::vector<uint8_t> lead(50, 10);
    lead.resize(150, 120);
    EXPECT_EQ(std::vector<uint8_t>(samples.begin(), samples.begin() + 150), lead);
    EXPECT_TRUE(
        std::all_of(samples.begin() + 150, samples.end(), [](uint8_t s) { return s == 10; }));
    EXPECT_EQ(server.m_server.m_hooks.m_nBeeps, 2);
    EXPECT_FALSE(server.m_server.m_slots.HoldsSensor(0)) << "closed at the end";
}

// 221 on a sensor that fails: the request's code, the slot closed; only a
// capture that started is stopped again.
TEST(Acquisition, CaptureOscillogramFailures) {
    struct Case {
        const char* sim;
        int error;
        int beeps;
    } cases[] = {
        {"direct=85;dfault=status:00:255", kDeviceFailed, 1},   // no connect
        {"direct=85;dfault=status:1C:255:1", kDeviceFailed, 1}, // the capture does not start
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sim);
        CAcqServer server(c.sim);
        const SReply r = server.Send(kCmdCaptureOscillogram);
        EXPECT_EQ(r.m_nError, c.error);
        EXPECT_EQ(r.m_strResult, "");
        EXPECT_EQ(server.m_server.m_hooks.m_nBeeps, c.beeps);
        EXPECT_FALSE(server.m_server.m_slots.HoldsSensor(0));
        EXPECT_NE(server.Sensor().LastCode(), 0x02) << "no capture to stop";
    }
}

// A sensor unplugged during an acquisition: 220 says why (an image still
// comes when the sensor had delivered it, or when the other sensor is
// exposed), nothing of a half image reaches the files, every timer stops,
// and the sensor's slot is free, so the next detection no longer finds it.
TEST(Acquisition, SensorGoneDuringAnAcquisition) {
    constexpr uint32_t kNever = 1u << 30;
    struct Case {
        const char* what;
        const char* sim;
        int imagesBefore;         // 220s that succeed first
        uint32_t otherArmedPolls; // the slot-1 sensor's wait for its exposure
        bool goneInExposureWait;  // unplugged at its first poll for the exposure
        int error;
        int imageSlot;         // the slot whose image 220 hands over; -1: none
        bool dark;             // with its dark frame
        uint64_t minMs, maxMs; // virtual time the failing 220 takes
    } cases[] = {
        {"during the first image", "direct=85;dgone=1", 0, 0, false, kFetchFailed, -1, true, 0,
         3000},
        {"during a later image", "direct=85;dgone=2", 1, 0, false, kFetchFailed, -1, true, 0, 3000},
        // The exposure had come whole: it is used alone, once the re-arm's 5 s are over.
        {"at a later image's dark-frame re-arm", "direct=85;dfault=gone:89:1", 1, 0, false, kOk, 0,
         false, 5000, 8000},
        {"at a later image's arm", "direct=85;dfault=gone:01:1", 1, 0, false, kTimeout, -1, true,
         10000, 10600},
        {"waiting for its exposure", "direct=85", 0, 0, true, kNoSlotSensor, -1, true, 0, 3000},
        {"while the other is never exposed", "direct=85,12;dgone=1,-", 0, kNever, false, kTimeout,
         -1, true, 60000, 61500},
        {"while the other is exposed later", "direct=85,12;dgone=1,-", 0, 2000, false, kOk, 1, true,
         3000, 60000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAcqServer server(c.sim);
        const bool bTwo = server.m_server.m_sim.UsbBus().Size() > 1;
        if (bTwo)
            server.Sensor(1).Acquisition().Setup().m_nArmedPolls = c.otherArmedPolls;
        for (int i = 0; i < c.imagesBefore; ++i)
            ASSERT_EQ(server.Send(kCmdAcquireImage).m_nError, kOk);
        if (c.goneInExposureWait)
            server.m_window.m_afterStep = [&] {
                if (server.m_engine.Cycle(0).m_nState == kCycleExposure)
                    server.Sensor(0).Remove();
            };
        const auto filesBefore = server.m_files.m_files;
        const int nHandOvers = server.m_window.m_nHandOvers;
        const uint64_t nStart = server.m_server.m_sim.Clock().NowMs();
        const SReply r = server.Send(kCmdAcquireImage);
        const uint64_t nElapsed = server.m_server.m_sim.Clock().NowMs() - nStart;

        EXPECT_EQ(r.m_nError, c.error);
        EXPECT_EQ(r.m_strResult, c.imageSlot >= 0 ? "T:\\tmp\\ACQ1.BMP" : "");
        EXPECT_EQ(r.m_strReady, "1");
        EXPECT_GE(nElapsed, c.minMs);
        EXPECT_LE(nElapsed, c.maxMs);
        EXPECT_TRUE(server.m_window.m_timers.empty());
        EXPECT_FALSE(server.View().m_bBusy);
        EXPECT_FALSE(server.View().m_bImageReady == (c.imageSlot < 0));
        if (c.imageSlot < 0) {
            EXPECT_EQ(server.m_window.m_nHandOvers, nHandOvers);
            EXPECT_TRUE(server.m_files.m_files == filesBefore) << "no file of a half image";
        } else {
            EXPECT_EQ(server.m_window.m_nHandOvers, nHandOvers + 1);
            const SReferenceImage expected = c.dark ? ReferenceAcquisition(c.imageSlot, false)
                                                    : ReferenceWithoutDark(c.imageSlot);
            EXPECT_TRUE(server.File("LASTACQ2.RAW") == ReferenceRawFile(expected));
        }
        EXPECT_FALSE(server.m_server.m_slots.HoldsSensor(0)) << "slot released";
        EXPECT_EQ(server.m_server.m_slots.HoldsSensor(1), bTwo);
        EXPECT_EQ(server.m_server.m_sim.UsbBus().LiveDevices(), bTwo ? 1 : 0);

        // The unplugged sensor answers nothing; what is left is found again.
        const std::string strOther = bTwo ? sim::SimDirectPath(server.Sensor(1)) : "";
        const SReply detect = server.Send(kCmdDetectUsb);
        EXPECT_EQ(detect.m_nError, bTwo ? kOk : kNoMoreDevices);
        EXPECT_EQ(detect.m_strResult, strOther);
        if (bTwo) {
            EXPECT_EQ(server.Send(kCmdDetectUsbNext).m_nError, kNoMoreDevices);
        } else {
            EXPECT_EQ(server.Send(kCmdAcquireImage).m_nError, kNoDirectSensor);
        }
    }
}

// 221's limits on the virtual clock: an arm that is never seen (10 s) and an
// exposure wait (2.5 s) end the command at once with 21, before a capture
// starts and without a beep; a signal that never triggers is stopped after
// 30 s with 1460, the capture ended and the sensor disconnected.
TEST(Acquisition, CaptureOscillogramTimeOuts) {
    constexpr int kWaitFailed = 21;
    constexpr uint64_t kSlackMs = 400; // status packets, and 100 ms per slot closed
    using CRequests = std::vector<std::pair<int, uint32_t>>;
    struct Case {
        const char* what;
        const char* sim; // status flags with the error bit stay as they are
        bool flatSignal;
        int error;
        uint64_t limitMs;
        CRequests requests; // after the identity
    } cases[] = {
        {"arm never seen", "direct=85;dstatus=30", false, kWaitFailed, 10000, CRequests{{0x01, 0}}},
        {"exposure wait", "direct=85;dstatus=28", false, kWaitFailed, 2500, CRequests{{0x03, 0}}},
        {"never triggered", "direct=85", true, kTimeout, 30000,
         CRequests{{0x01, 0}, {0x03, 0}, {0x1C, 257}, {0x1C, 0}, {0x02, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAcqServer server(c.sim);
        server.Sensor().Acquisition().Setup().m_bTriggerPulse = !c.flatSignal;
        const size_t nSeen = server.Sensor().Requests().size();
        const uint64_t nStart = server.m_server.m_sim.Clock().NowMs();
        const SReply r = server.Send(kCmdCaptureOscillogram, "C:\\osc\\");
        const uint64_t nElapsed = server.m_server.m_sim.Clock().NowMs() - nStart;
        EXPECT_EQ(r.m_nError, c.error);
        EXPECT_EQ(r.m_strResult, "");
        EXPECT_EQ(r.m_strReady, "1");
        EXPECT_GE(nElapsed, c.limitMs);
        EXPECT_LE(nElapsed, c.limitMs + kSlackMs);
        CRequests seen;
        const auto& all = server.Sensor().Requests();
        for (size_t i = nSeen; i < all.size(); ++i)
            seen.emplace_back(all[i].m_nCode, all[i].m_nValue);
        // The slot closed and opened again (its CPLD byte), connect, the identity.
        CRequests expected{{0x84, 0}, {0x00, 0}, {0x88, 0}, {0x86, 0}};
        expected.insert(expected.end(), c.requests.begin(), c.requests.end());
        EXPECT_EQ(seen, expected);
        // Only a capture that started beeps (at its start and end) and closes the slot.
        const bool bStarted = c.error == kTimeout;
        EXPECT_EQ(server.m_server.m_hooks.m_nBeeps, bStarted ? 2 : 0);
        EXPECT_EQ(server.m_server.m_slots.HoldsSensor(0), !bStarted);
        EXPECT_TRUE(server.m_files.m_files.empty()) << "no .osc file";
    }
}
