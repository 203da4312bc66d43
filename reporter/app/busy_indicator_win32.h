#pragma once
// The busy indicator's port over a real form and its tree control.
#include "busy_indicator.h"

#include <windows.h>

namespace ostrel {

class CBusyWindowWin32 final : public IBusyWindow {
public:
    // Neither window is owned; both belong to the calling thread.
    CBusyWindowWin32(HWND hForm, HWND hTree) : m_hForm(hForm), m_hTree(hTree) {}

    void DispatchPending() override;
    void RepaintTree() override;
    bool TreeRect(SBusyRect& rect) override;
    void Fill(const SBusyRect& rect, std::uint32_t rgb) override;

private:
    HWND m_hForm;
    HWND m_hTree;
};

} // namespace ostrel
