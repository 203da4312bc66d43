#pragma once
// A direct sensor's memory holding its calibration archive, as request 0x8D
// reads it in pages of the length 0x88 gives: page 0 is the header (magic
// 42, archive size, number of data pages, 32-bit little-endian words), pages
// 1 to count hold the archive, the last one padded.
#include "direct_sensor.h"

#include <cstdint>
#include <string>
#include <vector>

namespace torvex::sim {

// The memory image: page p starts at byte p x nPageLength (nPageLength of
// at least 12).
std::vector<uint8_t> CalibrationMemory(const std::vector<uint8_t>& archive, uint16_t nPageLength);

// A calibration file of width x height with a few gain indices and defects
// that depend on nSeed, for sensors whose tests need one.
std::vector<uint8_t> SampleCalibrationFile(uint32_t nWidth, uint32_t nHeight, uint32_t nSeed);

// strSize "<w>x<h>": the sensor's memory holds an archive with
// "<identity>.FFC" of SampleCalibrationFile(w, h, nSeed), in pages of the
// identity's length. Anything else leaves the memory as it is.
void PutCalibrationArchive(SDirectSensorSetup& setup, const std::string& strSize, uint32_t nSeed);

} // namespace torvex::sim
