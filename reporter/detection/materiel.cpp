#include "materiel.h"

#include <cmath>
#include <cwchar>

namespace ostrel {

// ---------------------------------------------------------------- camera

std::wstring CMateriel::GetCameraStandard() const {
    return m_bCameraPal ? L"PAL" : L"NTSC";
}

std::wstring CMateriel::GetCameraSerial() const {
    return m_strCameraSerial;
}

std::wstring CMateriel::GetCameraFirmware() const {
    wchar_t text[16];
    std::swprintf(text, 16, L"%X.%X", unsigned(m_nCameraFwMajor), unsigned(m_nCameraFwMinor));
    return text;
}

std::wstring CMateriel::GetCameraVoltage() const {
    // The product is taken in single precision, as the camera's value is one.
    const float fMillivolts = m_fCameraVolts * 1000.0f;
    if (!std::isfinite(fMillivolts) || std::fabs(fMillivolts) >= 2147483647.0f)
        return L"(unknown)";
    return std::to_wstring(static_cast<int>(fMillivolts));
}

// ------------------------------------------------------------ end camera

} // namespace ostrel
