#include "acquisition_engine.h"

#include "protocol.h"
#include "status_codes.h"

namespace torvex {

namespace dp = proto::direct;

namespace {

constexpr uint32_t kStartDelayMs = 500;
constexpr uint32_t kRetryDelayMs = 500;
constexpr uint32_t kShortDelayMs = 50;
constexpr uint32_t kArmDelayMs = 200;
constexpr uint32_t kExposurePollMs = 10;
constexpr uint32_t kArmLimitMs = 10000;
constexpr uint32_t kImageLimitMs = 60000;

constexpr uint8_t kFlagBusy = 0x02; // state 2 leaves the sensor alone
constexpr uint8_t kFlagWantsArm = 0x10;
constexpr uint8_t kFlagArmed = 0x08;
constexpr uint8_t kFlagsImage = 0x03; // with state code 0xFF: an image is ready
constexpr int kStateCodeImage = 0xFF;
constexpr uint8_t kMaskArmWait = 0x48;
constexpr uint8_t kMaskExposureWait = 0x44;
constexpr uint8_t kMaskDone = 0x08;
constexpr uint32_t kAbortValue = 1;

} // namespace

CAcquisitionEngine::CAcquisitionEngine(IDirectSlots& slots, IClock& clock,
                                       IAcquisitionWindow& window, ICalibrationSource* pCalibration,
                                       SViewState& view)
    : m_slots(slots), m_clock(clock), m_window(window), m_view(view),
      m_fetch(slots, clock, window, pCalibration, view) {}

void CAcquisitionEngine::OnTimer(unsigned nId) {
    if (nId == kTimerSlot0)
        Step(0);
    else if (nId == kTimerSlot1)
        Step(1);
}

int CAcquisitionEngine::ReadStatus(int nSlot) {
    SDeviceStatus status;
    const int nCode = m_slots.StatusOf(nSlot, status);
    SSlotCycle& c = m_cycles[nSlot];
    if (nCode == kOk) {
        c.m_nFlags = status.m_nFlags;
        c.m_nStateCode = status.m_nStateCode;
    }
    return nCode;
}

void CAcquisitionEngine::WaitStatusBits(int nSlot, uint8_t nMask, int nNext) {
    SSlotCycle& c = m_cycles[nSlot];
    c.m_nState = kCycleWaitStatus;
    c.m_nWaitMask = nMask;
    c.m_nNextState = nNext;
}

void CAcquisitionEngine::Step(int nSlot) {
    SSlotCycle& c = m_cycles[nSlot];
    const unsigned nTimer = TimerOfSlot(nSlot);
    switch (c.m_nState) {
    case kCycleConnect:
        m_window.StopTimer(nTimer);
        c.m_nFlags = 0xFF;
        c.m_nStateCode = 0xFF;
        c.m_nLastCode = m_slots.Request(dp::kReqConnect, 0, 0, nullptr, false, nSlot);
        if (c.m_nLastCode == kOk) {
            c.m_nState = kCycleArm;
            m_window.StartTimer(nTimer, kShortDelayMs);
        } else {
            m_window.StartTimer(nTimer, kRetryDelayMs);
        }
        return;
    case kCycleArm:
        StepArm(nSlot);
        return;
    case kCycleExposure:
        StepExposure(nSlot);
        return;
    case kCycleAbort:
        m_window.StopTimer(nTimer);
        c.m_nLastCode = m_slots.Request(dp::kReqAbort, 0, kAbortValue, nullptr, false, nSlot);
        WaitStatusBits(nSlot, kMaskDone, kCycleConnect);
        m_window.StartTimer(nTimer, kRetryDelayMs);
        return;
    case kCycleClose:
        m_window.StopTimer(nTimer);
        c.m_nLastCode = m_slots.Request(dp::kReqDisconnect, 0, 0, nullptr, false, nSlot);
        m_slots.CloseSlot(nSlot);
        return;
    case kCycleWaitStatus: {
        m_window.StopTimer(nTimer);
        if (ReadStatus(nSlot) != kOk) {
            c.m_nState = kCycleAbort;
        } else if (c.m_nStateCode != 0 && c.m_nFlags == 0) {
            m_slots.CloseSlot(nSlot);
            c.m_nState = kCycleConnect;
        } else if ((c.m_nFlags & c.m_nWaitMask) == c.m_nWaitMask) {
            c.m_nState = c.m_nNextState;
        }
        m_window.StartTimer(nTimer, kShortDelayMs);
        return;
    }
    default:
        return; // fetching: the step that fetches is still running
    }
}

void CAcquisitionEngine::StepArm(int nSlot) {
    SSlotCycle& c = m_cycles[nSlot];
    const unsigned nTimer = TimerOfSlot(nSlot);
    (void)ReadStatus(nSlot);
    (void)ReadStatus(nSlot);
    if (c.m_nFlags & kFlagBusy)
        return; // the timer keeps its period
    m_window.StopTimer(nTimer);
    (void)ReadStatus(nSlot);
    c.m_nLastCode = ReadStatus(nSlot);
    if (c.m_nLastCode != kOk) {
        c.m_nState = kCycleConnect;
    } else if (c.m_nFlags & kFlagWantsArm) {
        if (m_slots.Request(dp::kReqArm, 0, 0, nullptr, false, nSlot) == kOk)
            WaitStatusBits(nSlot, kMaskArmWait, kCycleArm);
        else
            c.m_nState = kCycleConnect;
    } else if (c.m_nFlags & kFlagArmed) {
        if (m_slots.Request(dp::kReqAbort, 0, 0, nullptr, false, nSlot) == kOk)
            WaitStatusBits(nSlot, kMaskExposureWait, kCycleExposure);
        else
            c.m_nState = kCycleAbort;
    } else {
        c.m_nState = kCycleAbort;
    }
    m_window.StartTimer(nTimer, c.m_nState == kCycleConnect ? kRetryDelayMs : kArmDelayMs);
}

void CAcquisitionEngine::StepExposure(int nSlot) {
    SSlotCycle& c = m_cycles[nSlot];
    const unsigned nTimer = TimerOfSlot(nSlot);
    m_window.StopTimer(nTimer);
    if (ReadStatus(nSlot) != kOk) {
        c.m_nState = kCycleAbort;
    } else if (c.m_nStateCode == kStateCodeImage && (c.m_nFlags & kFlagsImage)) {
        c.m_nState = kCycleFetching;
        c.m_nStartTick = m_clock.NowMs();
        c.m_nImageResult = m_fetch.FetchImage(kFetchExposure, nSlot);
        if (c.m_nImageResult == kFetchDarkNext)
            c.m_nImageResult = m_fetch.FetchImage(kFetchDark, nSlot);
        c.m_nEndTick = m_clock.NowMs();
        // A fetch inside one clock tick still has a rate.
        const uint64_t nElapsed = c.m_nEndTick > c.m_nStartTick ? c.m_nEndTick - c.m_nStartTick : 1;
        const uint64_t nBits = uint64_t{m_view.m_nPixelCount} * 8000;
        const uint64_t nPer = nElapsed * 1024;
        m_view.m_nTransferRate = static_cast<int>((nBits + nPer / 2) / nPer);
        if (c.m_nImageResult == kOk)
            m_view.m_bImageReady = true;
        WaitStatusBits(nSlot, kMaskDone, kCycleConnect);
    } else if (c.m_nStateCode != kStateCodeImage && c.m_nStateCode != 0) {
        c.m_nState = kCycleAbort;
    }
    m_window.StartTimer(nTimer, kExposurePollMs);
}

bool CAcquisitionEngine::AnySlotIn(int nState) const {
    return m_cycles[0].m_nState == nState || m_cycles[1].m_nState == nState;
}

int CAcquisitionEngine::Arm(bool bResetEnergy) {
    m_view.m_bImageReady = false;
    if (bResetEnergy)
        m_view.m_nEnergy = 0;
    for (int nSlot = 0; nSlot < 2; ++nSlot) {
        m_cycles[nSlot].m_nState = kCycleConnect;
        m_cycles[nSlot].m_nImageResult = -1;
        if (m_slots.HoldsSensor(nSlot))
            m_window.StartTimer(TimerOfSlot(nSlot), kStartDelayMs);
    }
    const uint64_t nStart = m_clock.NowMs();
    while (!AnySlotIn(kCycleExposure)) {
        if (m_clock.NowMs() - nStart > kArmLimitMs)
            return kTimeout;
        m_window.DispatchPending();
    }
    return kOk;
}

void CAcquisitionEngine::StopBoth() {
    m_window.StopTimer(kTimerSlot0);
    m_window.StopTimer(kTimerSlot1);
}

SAnswer CAcquisitionEngine::StartAcquisition(bool bResetEnergy) {
    const int nCode = Arm(bResetEnergy);
    m_view.m_bArmed = nCode == kOk;
    return AnswerText(nCode, std::string());
}

SAnswer CAcquisitionEngine::AcquireImage() {
    m_view.m_bBusy = true;
    // Whatever way the wait ends: both slots aborted, no timer left, not busy.
    struct SCleanup {
        CAcquisitionEngine& m_engine;
        ~SCleanup() {
            m_engine.m_cycles[0].m_nState = kCycleAbort;
            m_engine.m_cycles[1].m_nState = kCycleAbort;
            m_engine.StopBoth();
            m_engine.m_view.m_bBusy = false;
        }
    } cleanup{*this};

    int nCode = Arm(false);
    if (nCode != kOk)
        return AnswerText(nCode, std::string());
    const bool bHeld[2] = {m_slots.HoldsSensor(0), m_slots.HoldsSensor(1)};
    const uint64_t nStart = m_clock.NowMs();
    // One image is what was asked for: a second sensor that is never exposed
    // does not hold the answer back until the limit.
    while (AnySlotIn(kCycleExposure) && !m_view.m_bImageReady) {
        if (m_clock.NowMs() - nStart > kImageLimitMs)
            return AnswerText(kTimeout, std::string());
        m_window.DispatchPending();
    }
    if (m_view.m_bImageReady)
        return AnswerText(kOk, m_view.m_strLastImagePath);
    // The cycle left its wait without an image: say why instead of handing
    // out the previous image's path.
    for (const SSlotCycle& c : m_cycles)
        if (c.m_nImageResult > 0)
            nCode = c.m_nImageResult;
    // No fetch failed: a sensor unplugged before its image is no time-out.
    for (int nSlot = 0; nSlot < 2 && nCode == kOk; ++nSlot)
        if (bHeld[nSlot] && !m_slots.HoldsSensor(nSlot))
            nCode = kNoSlotSensor;
    return AnswerText(nCode != kOk ? nCode : kTimeout, std::string());
}

SAnswer CAcquisitionEngine::StopAcquisition(int nSlot) {
    StopBoth();
    m_cycles[nSlot].m_nLastCode = m_slots.Request(dp::kReqDisconnect, 0, 0, nullptr, false, nSlot);
    m_slots.CloseSlot(nSlot);
    m_view.m_bArmed = false;
    return AnswerText(kOk, std::string());
}

SAnswer CAcquisitionEngine::ReadImage() const {
    return AnswerText(kOk, m_view.m_strLastImagePath);
}

} // namespace torvex
