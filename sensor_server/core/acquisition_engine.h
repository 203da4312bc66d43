#pragma once
// The acquisition cycle of the direct sensors: one state machine per slot,
// stepped by the view's timers 1000 (slot 0) and 1001 (slot 1), and the
// commands that start it, wait for its images and stop it.
#include "acquisition_fetch.h"
#include "acquisition_ports.h"
#include "server_state.h"

#include <array>
#include <cstdint>

namespace torvex {

enum ECycleState : int {
    kCycleFetching = 0, // transient, inside a timer step
    kCycleConnect = 1,
    kCycleArm = 2,
    kCycleExposure = 3,
    kCycleAbort = 4,
    kCycleClose = 5,
    kCycleWaitStatus = 6,
};

struct SSlotCycle {
    int m_nState = kCycleConnect;
    int m_nNextState = kCycleConnect; // taken in state 6 once the mask is seen
    uint8_t m_nWaitMask = 0;
    int m_nLastCode = 0;
    uint8_t m_nFlags = 0;
    int m_nStateCode = 0;
    int m_nImageResult = -1; // -1: no fetch since the cycle started
    uint64_t m_nStartTick = 0, m_nEndTick = 0;
};

class CAcquisitionEngine {
public:
    CAcquisitionEngine(IDirectSlots& slots, IClock& clock, IAcquisitionWindow& window,
                       ICalibrationSource* pCalibration, SViewState& view);

    // The source may only exist once the view's window does.
    void SetCalibrationSource(ICalibrationSource* pSource) {
        m_fetch.SetCalibrationSource(pSource);
    }
    // A timer message of the view (other ids are not the engine's).
    void OnTimer(unsigned nId);

    // 30 and 32 with a direct sensor: both cycles started, answered once a
    // slot is armed (0) or after 10 s (1460); the cycles go on either way.
    SAnswer StartAcquisition(bool bResetEnergy);
    // 220: start, wait for one image, stop. The busy flag is set throughout
    // and every way out stops both timers and clears it.
    SAnswer AcquireImage();
    // 35 with a direct sensor.
    SAnswer StopAcquisition(int nSlot);
    // 44 with a direct sensor.
    SAnswer ReadImage() const;

    const SSlotCycle& Cycle(int nSlot) const { return m_cycles[nSlot]; }
    const CImageFetch& Fetch() const { return m_fetch; }

private:
    void Step(int nSlot);
    void StepArm(int nSlot);
    void StepExposure(int nSlot);
    int ReadStatus(int nSlot);
    void WaitStatusBits(int nSlot, uint8_t nMask, int nNext);
    // Starts both cycles and waits until a slot is armed: 0 or 1460.
    int Arm(bool bResetEnergy);
    bool AnySlotIn(int nState) const;
    void StopBoth();

    IDirectSlots& m_slots;
    IClock& m_clock;
    IAcquisitionWindow& m_window;
    SViewState& m_view;
    CImageFetch m_fetch;
    std::array<SSlotCycle, 2> m_cycles;
};

} // namespace torvex
