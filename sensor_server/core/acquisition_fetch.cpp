#include "acquisition_fetch.h"

#include "calibration.h"
#include "image_corrections.h"
#include "image_record.h"
#include "protocol.h"
#include "raw_unpack.h"
#include "status_codes.h"

#include <algorithm>

namespace torvex {

namespace dp = proto::direct;

namespace {

constexpr uint32_t kRawTimeoutMs = 20000;
constexpr uint32_t kSettleWaitMs = 3000; // status 0x48 after an image
constexpr uint32_t kRearmWindowMs = 5000;
constexpr uint32_t kArmedWaitMs = 5000;
// Between two failed attempts of a retry loop, so a sensor that fails at
// once cannot spin the window thread.
constexpr uint32_t kRetryPauseMs = 25;
constexpr uint8_t kMaskSettled = 0x48;
constexpr uint8_t kMaskArmed = 0x44;
constexpr uint16_t kExpoLimit = 1000;
constexpr uint16_t kExpoFallback = 100;
constexpr uint8_t kDarkLightLevel = 111;
constexpr size_t kDarkScanFrom = 2;
constexpr uint32_t kRowsDropped = 4;
constexpr uint16_t kTwoBytes = 2, kFourBytes = 4;

void RawGeometry(int nSlot, uint32_t& nWidth, uint32_t& nHeight) {
    nWidth = nSlot == 0 ? kRawWidthSlot0 : kRawWidthSlot1;
    nHeight = nSlot == 0 ? kRawHeightSlot0 : kRawHeightSlot1;
}

} // namespace

CImageFetch::CImageFetch(IDirectSlots& slots, IClock& clock, IAcquisitionWindow& window,
                         ICalibrationSource* pCalibration, SViewState& view)
    : m_slots(slots), m_clock(clock), m_window(window), m_pCalibration(pCalibration), m_view(view) {
}

int CImageFetch::ReadRaw(int nSlot, SRaw& raw) {
    uint32_t w = 0, h = 0;
    RawGeometry(nSlot, w, h);
    const size_t nFull = PackedSize(size_t{w} * h);
    raw.m_bytes.assign(nFull, 0);
    size_t n = nFull;
    if (m_slots.ReadImageData(nSlot, raw.m_bytes.data(), n, kRawTimeoutMs) != kOk)
        return kFetchFailed;
    if (n > nFull || nFull - n > kShortTolerance)
        return kFetchFailed;
    raw.m_nBudget = nFull - n;
    return kOk;
}

uint32_t CImageFetch::ReadValue(uint8_t nCode, uint16_t nSize, int nSlot) {
    uint8_t buffer[4] = {};
    if (m_slots.Request(nCode, nSize, 0, buffer, false, nSlot) != kOk)
        return 0;
    uint32_t n = 0;
    for (uint16_t i = 0; i < nSize; ++i)
        n = n << 8 | buffer[i];
    return n;
}

void CImageFetch::ReadOscillogram(int nSlot) {
    const uint32_t nCount = ReadValue(dp::kReqOscillogramCount, kTwoBytes, nSlot);
    m_nOscCount = static_cast<uint16_t>(std::min<size_t>(nCount, m_osc.size()));
    m_osc.fill(0);
    if (m_slots.Request(dp::kReqOscillogram, static_cast<uint16_t>(m_osc.size()), 0, m_osc.data(),
                        false, nSlot) != kOk)
        m_osc.fill(0);
}

int CImageFetch::RearmDark(int nSlot) {
    const uint64_t nStart = m_clock.NowMs();
    bool bAborted = false;
    if (m_slots.WaitStatus(kMaskSettled, kSettleWaitMs, nSlot) == kOk) {
        while (!bAborted && m_clock.NowMs() - nStart <= kRearmWindowMs) {
            bAborted = m_slots.Request(dp::kReqAbort, 0, 0, nullptr, false, nSlot) == kOk;
            if (!bAborted)
                m_clock.SleepMs(kRetryPauseMs);
        }
    }
    if (!bAborted)
        bAborted = m_slots.Request(dp::kReqAbort, 0, 0, nullptr, false, nSlot) == kOk;
    if (!bAborted)
        return -1;
    if (m_slots.WaitStatus(kMaskArmed, kArmedWaitMs, nSlot) != kOk)
        return kRetakeFailed;
    if (m_slots.Request(dp::kReqRearm, 0, m_nExpo, nullptr, false, nSlot) != kOk)
        return kRetakeFailed;
    return kOk;
}

int CImageFetch::FetchImage(uint16_t nMode, int nSlot) {
    uint32_t w = 0, h = 0;
    RawGeometry(nSlot, w, h);
    const size_t nPixels = size_t{w} * h;
    for (;;) {
        SRaw raw;
        if (ReadRaw(nSlot, raw) != kOk) {
            m_bExposureStored = false;
            return kFetchFailed;
        }
        std::vector<uint16_t> pixels(nPixels);
        if (!m_bExposureStored) {
            const uint16_t nExpo =
                static_cast<uint16_t>(ReadValue(dp::kReqExposure, kTwoBytes, nSlot));
            m_nExpo = nExpo >= kExpoLimit ? kExpoFallback : nExpo;
            m_nEnergy = ReadValue(dp::kReqEnergy, kFourBytes, nSlot);
            m_view.m_nEnergy = m_nEnergy;
            ReadOscillogram(nSlot);
            if (nMode & kModeTakeDark) {
                m_exposure = std::move(raw);
                m_bExposureStored = true;
                m_nRetakes = 0;
                const uint64_t nStart = m_clock.NowMs();
                if (m_slots.WaitStatus(kMaskSettled, kSettleWaitMs, nSlot) == kOk) {
                    while (m_clock.NowMs() - nStart <= kRearmWindowMs) {
                        if (m_slots.Request(dp::kReqAbort, 0, 0, nullptr, false, nSlot) == kOk &&
                            m_slots.WaitStatus(kMaskArmed, kArmedWaitMs, nSlot) == kOk &&
                            m_slots.Request(dp::kReqRearm, 0, m_nExpo, nullptr, false, nSlot) ==
                                kOk)
                            return kFetchDarkNext;
                        m_clock.SleepMs(kRetryPauseMs);
                    }
                }
                // No dark frame to be had: the exposure alone.
                (void)m_slots.Request(dp::kReqDisconnect, 0, 0, nullptr, false, nSlot);
                raw = std::move(m_exposure);
                m_bExposureStored = false;
            }
            UnpackSamples(raw.m_bytes.data(), nPixels, raw.m_nBudget, false, pixels.data());
            InvertSamples(pixels.data(), nPixels);
        } else {
            bool bLight = false;
            const uint32_t nCount = ReadValue(dp::kReqOscillogramCount, kTwoBytes, nSlot);
            if (nCount != 0) {
                std::array<uint8_t, 1024> samples{};
                (void)m_slots.Request(dp::kReqOscillogram, static_cast<uint16_t>(samples.size()), 0,
                                      samples.data(), false, nSlot);
                const int nBefore = m_nRetakes++;
                // The count is the sensor's word: never past the samples there are.
                const size_t nEnd = std::min<size_t>(nCount, samples.size());
                if (nBefore < kRetakesMax)
                    for (size_t i = kDarkScanFrom; i < nEnd && !bLight; ++i)
                        bLight = samples[i] >= kDarkLightLevel;
            }
            bool bZeroDark = false;
            if (bLight) {
                const int nRearm = RearmDark(nSlot);
                if (nRearm == kOk)
                    continue;
                if (nRearm == kRetakeFailed) {
                    m_bExposureStored = false;
                    return kRetakeFailed;
                }
                bZeroDark = true;
            }
            std::vector<uint16_t> dark(nPixels, 0);
            if (!bZeroDark)
                UnpackSamples(raw.m_bytes.data(), nPixels, raw.m_nBudget, true, dark.data());
            UnpackSamples(m_exposure.m_bytes.data(), nPixels, m_exposure.m_nBudget, false,
                          pixels.data());
            SubtractDark(pixels.data(), dark.data(), nPixels);
            m_bExposureStored = false;
            m_exposure = SRaw();
        }
        Finish(pixels, nMode, nSlot);
        return kOk;
    }
}

void CImageFetch::Finish(std::vector<uint16_t>& pixels, uint16_t nMode, int nSlot) {
    uint32_t w = 0, h = 0;
    RawGeometry(nSlot, w, h);
    (void)m_slots.WaitStatus(kMaskSettled, kSettleWaitMs, nSlot);
    pixels.erase(pixels.begin(), pixels.begin() + static_cast<std::ptrdiff_t>(kRowsDropped * w));
    h -= kRowsDropped;
    Correct(pixels, w, h, nMode, nSlot);
    const std::vector<uint8_t> record =
        BuildImageRecord(pixels.data(), w, h, m_nEnergy, m_nExpo, m_osc.data(), m_nOscCount);
    m_window.HandOver(record.data(), record.size());
}

void CImageFetch::Correct(std::vector<uint16_t>& pixels, uint32_t nWidth, uint32_t nHeight,
                          uint16_t nMode, int nSlot) {
    if ((nMode & kModeCalibrate) && m_pCalibration) {
        if (const std::optional<SCalibration> cal = m_pCalibration->CalibrationFor(nSlot)) {
            const ECalibrationFault eFault =
                ApplyCalibration(*cal, m_nEnergy, pixels.data(), nWidth, nHeight);
            if (eFault != ECalibrationFault::None)
                m_window.ShowMessage(CalibrationFaultText(eFault), "ERROR");
        }
    }
    const uint32_t nBand = CornerBandOf(nSlot);
    MaskCorners(pixels.data(), nWidth, nHeight, nBand);
    if (nMode & kModeMedian)
        MedianRecursive(pixels.data(), nWidth, nHeight, nBand);
    if ((nMode & kModeRowOrder) == 0)
        ReverseRows(pixels.data(), nWidth, nHeight);
}

} // namespace torvex
