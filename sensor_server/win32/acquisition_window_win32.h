#pragma once
// The acquisition engine's window port on the view: window timers, a
// dispatch of what is queued for the view alone, the copy-data hand-over
// to the view itself and message boxes owned by it.
#include "acquisition_ports.h"
#include "clock.h"

#include <windows.h>

namespace torvex {

class CWin32AcquisitionWindow final : public IAcquisitionWindow {
public:
    void SetWindow(HWND hView) { m_hView = hView; }
    // A virtual clock moves by each idle wait, so that the engine's time
    // limits pass even when no device call makes time go by.
    void SetVirtualClock(IClock* pClock) { m_pVirtualClock = pClock; }

    void StartTimer(unsigned nId, uint32_t nMs) override;
    void StopTimer(unsigned nId) override;
    void DispatchPending() override;
    void HandOver(const uint8_t* pRecord, size_t nSize) override;
    void ShowMessage(const std::string& strText, const std::string& strCaption) override;

private:
    HWND m_hView = nullptr;
    IClock* m_pVirtualClock = nullptr;
};

} // namespace torvex
