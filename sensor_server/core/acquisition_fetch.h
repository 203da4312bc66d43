#pragma once
// One image fetch of a direct sensor: the raw transfer, the dark frame with
// its retake rule, unpacking and combination, the corrections, and the
// hand-over of the record to the view.
#include "acquisition_ports.h"
#include "calibration_source.h"
#include "clock.h"
#include "direct_slots.h"
#include "server_state.h"

#include <array>
#include <cstdint>
#include <vector>

namespace torvex {

// Mode words and their bits.
constexpr uint16_t kFetchExposure = 0x2050; // first call of an exposure
constexpr uint16_t kFetchDark = 0x2040;     // the call that reads the dark frame
constexpr uint16_t kModeTakeDark = 0x10;
constexpr uint16_t kModeCalibrate = 0x40;
constexpr uint16_t kModeMedian = 0x2000;
constexpr uint16_t kModeRowOrder = 0x0F; // 0: rows reversed

// Codes of FetchImage.
constexpr int kFetchDarkNext = 27; // exposure stored: fetch the dark frame next
constexpr int kFetchFailed = 21;   // raw transfer failed or came short
constexpr int kRetakeFailed = 43;  // a dark-frame retake could not be armed

constexpr uint32_t kRawWidthSlot0 = 1000, kRawHeightSlot0 = 1500;
constexpr uint32_t kRawWidthSlot1 = 1300, kRawHeightSlot1 = 1700;
constexpr int kRetakesMax = 5;
// A transfer may lack a few bytes (the glitch repair covers them); more is a
// failed transfer, never unpacked from memory nobody wrote.
constexpr size_t kShortTolerance = 64;

class CImageFetch {
public:
    CImageFetch(IDirectSlots& slots, IClock& clock, IAcquisitionWindow& window,
                ICalibrationSource* pCalibration, SViewState& view);

    // Null: images go uncorrected by a calibration.
    void SetCalibrationSource(ICalibrationSource* pSource) { m_pCalibration = pSource; }
    // 0 when the record was handed over, 27, 21 or 43.
    int FetchImage(uint16_t nMode, int nSlot);
    // Dark frames retaken in the current exposure.
    int Retakes() const { return m_nRetakes; }

private:
    struct SRaw {
        std::vector<uint8_t> m_bytes; // the full size, a short transfer's tail zero
        size_t m_nBudget = 0;         // bytes the transfer lacked
    };
    int ReadRaw(int nSlot, SRaw& raw);
    // A big-endian value of nSize bytes; 0 when the request failed.
    uint32_t ReadValue(uint8_t nCode, uint16_t nSize, int nSlot);
    void ReadOscillogram(int nSlot);
    // 0 to retake, kRetakeFailed, or -1 when the dark frame counts as zero.
    int RearmDark(int nSlot);
    void Finish(std::vector<uint16_t>& pixels, uint16_t nMode, int nSlot);
    void Correct(std::vector<uint16_t>& pixels, uint32_t nWidth, uint32_t nHeight, uint16_t nMode,
                 int nSlot);

    IDirectSlots& m_slots;
    IClock& m_clock;
    IAcquisitionWindow& m_window;
    ICalibrationSource* m_pCalibration;
    SViewState& m_view;

    bool m_bExposureStored = false;
    SRaw m_exposure;
    uint16_t m_nExpo = 0;
    uint32_t m_nEnergy = 0;
    uint16_t m_nOscCount = 0; // at most the 1024 samples that exist
    std::array<uint8_t, 1024> m_osc{};
    int m_nRetakes = 0;
};

} // namespace torvex
