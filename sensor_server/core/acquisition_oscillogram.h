#pragma once
// CaptureOscillogram (221): records a direct sensor's trigger signal from
// its status packets into an ".osc" file.
#include "clock.h"
#include "direct_slots.h"
#include "image_handover.h"
#include "server_state.h"
#include "shell_hooks.h"
#include "wall_clock.h"

#include <cstdint>
#include <string>
#include <vector>

namespace torvex {

constexpr size_t kCaptureBufferSize = 30000;
constexpr size_t kPathLimit = 260; // with its terminating zero

class COscillogramCapture {
public:
    COscillogramCapture(IDirectSlots& slots, IClock& clock, IShellHooks& hooks,
                        IHandoverFiles& files, ostrel::IWallClock& wallClock);

    // strFolder goes directly in front of the file name (empty: the
    // temporary folder); a path that would not fit the limit answers 11.
    SAnswer Capture(const std::string& strFolder, int nSlot);

private:
    enum class EProgress { Running, Complete };
    // Appends one packet's samples and looks for the trigger and the end.
    EProgress Take(const uint8_t* pSamples, size_t nSamples);
    std::string FileName() const;

    IDirectSlots& m_slots;
    IClock& m_clock;
    IShellHooks& m_hooks;
    IHandoverFiles& m_files;
    ostrel::IWallClock& m_wallClock;
    std::vector<uint8_t> m_buffer; // made once, kept
    size_t m_nCount = 0;
    bool m_bTriggered = false;
    int m_nBaseline = 0;
};

} // namespace torvex
