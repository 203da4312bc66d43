#pragma once
// The hardware model of one incident form: the values every probe of a
// detection run gathers. Members are empty or 0 at construction and keep
// their values from one run to the next.
#include <cstdint>
#include <string>

namespace ostrel {

struct SCameraProbePorts;

class CMateriel {
public:
    // ---------------------------------------------------------------- camera
    // Probe of the intraoral camera over the I2C bridge (camera_probe.cpp).
    // True when the camera answered its identity query.
    bool ProbeCamera(const SCameraProbePorts& ports);
    std::wstring GetCameraStandard() const; // "PAL" or "NTSC"
    std::wstring GetCameraSerial() const;
    std::wstring GetCameraFirmware() const; // "%X.%X"
    std::wstring GetCameraVoltage() const;  // millivolts, or "(unknown)"

    // Overwritten only by a valid reply.
    uint8_t m_nCameraFwMajor = 0;
    uint8_t m_nCameraFwMinor = 0;
    float m_fCameraVolts = 0.0f; // NaN when the camera gave no usable divisor
    bool m_bCameraPal = false;
    std::wstring m_strCameraSerial;
    // ------------------------------------------------------------ end camera
};

} // namespace ostrel
