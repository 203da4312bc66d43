#pragma once
// The view's window as the acquisition engine uses it: its two timers, the
// messages queued for it, the image hand-over and its message boxes.
#include <cstddef>
#include <cstdint>
#include <string>

namespace torvex {

constexpr unsigned kTimerSlot0 = 1000;
constexpr unsigned kTimerSlot1 = 1001;

constexpr unsigned TimerOfSlot(int nSlot) {
    return nSlot == 0 ? kTimerSlot0 : kTimerSlot1;
}

class IAcquisitionWindow {
public:
    virtual ~IAcquisitionWindow() = default;
    // Arms timer nId to fire every nMs; a running timer of that id restarts.
    virtual void StartTimer(unsigned nId, uint32_t nMs) = 0;
    // Nothing fires for nId afterwards; stopping a stopped timer is harmless.
    virtual void StopTimer(unsigned nId) = 0;
    // Dispatches what is queued for the view's own window (its timers,
    // commands the frame has forwarded), nested in the caller; waits a few
    // milliseconds when nothing is queued. Other windows' messages stay queued.
    virtual void DispatchPending() = 0;
    // Hands an image record to the view (copy-data, identifier -10) and
    // returns once the view has written its files.
    virtual void HandOver(const uint8_t* pRecord, size_t nSize) = 0;
    // A message box owned by the view; returns when it is closed.
    virtual void ShowMessage(const std::string& strText, const std::string& strCaption) = 0;
};

} // namespace torvex
