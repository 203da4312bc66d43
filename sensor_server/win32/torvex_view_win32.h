#pragma once
// The view: a child window of the frame that owns the dispatcher and runs
// it for every command message the frame forwards.
#include "acquisition_engine.h"
#include "acquisition_oscillogram.h"
#include "acquisition_window_win32.h"
#include "calibration_source_win32.h"
#include "command_dispatcher.h"
#include "device_set_win32.h"
#include "handover_files_win32.h"
#include "image_handover.h"
#include "image_record.h"

#include "window_base.h"

#include <windows.h>

#include <memory>

namespace torvex {

class CTORVEXView : public ostrel::CWindowBase {
public:
    explicit CTORVEXView(CDeviceSet& devices);
    bool Create(HWND hParent, HINSTANCE hInstance);
    CCommandDispatcher& Dispatcher() { return m_dispatcher; }

private:
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    CCommandDispatcher m_dispatcher;
    CWin32HandoverFiles m_files;
    CImageHandOver m_handOver{m_files, m_dispatcher.View()};
    // ---- acquisition of the direct sensors: timers 1000/1001 on this window ----
    CWin32AcquisitionWindow m_acquisitionWindow;
    IDirectSlots& m_slots;
    std::unique_ptr<ICalibrationSource> m_pCalibration; // its messages belong to this window
    CAcquisitionEngine m_engine;
    COscillogramCapture m_capture;
};

// The registered "TORVEX_COMMAND" message number, one per process.
extern UINT g_nCommandMessage;

} // namespace torvex
