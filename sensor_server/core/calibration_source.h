#pragma once
// Where the acquisition engine gets a sensor's flat-field calibration from.
// The real source looks for the ".FFC" beside the server, else fetches the
// archive from the sensor's memory and unpacks it; it shows its own messages.
#include <optional>

#include "calibration.h"

namespace torvex {

class ICalibrationSource {
public:
    virtual ~ICalibrationSource() = default;
    // The calibration of the sensor open in nSlot (0 or 1); nullopt when
    // there is none to apply (the reason has been shown already).
    virtual std::optional<SCalibration> CalibrationFor(int nSlot) = 0;
};

} // namespace torvex
