#pragma once
// The probe's ports on Windows: the two bridge libraries bound at load time
// (Vidlink.dll by ordinal, Vidlink_285.dll by decorated name), the tick
// clock, and the system code page.
#include "camera_probe.h"

namespace ostrel {

ICameraBridge& FirstBridgeWin32();
ICameraBridge& SecondBridgeWin32();
IProbeClock& TickClockWin32();
std::wstring WidenAnsi(const std::string& strText);

// All four together, as the detection run uses them.
const SCameraProbePorts& CameraProbePortsWin32();

} // namespace ostrel
