#include "calibration.h"

#include "byte_reader.h"

#include <cstring>

namespace torvex {

namespace {

constexpr int64_t kUnity = 10000;
constexpr uint32_t kSampleCeiling = 16383;

// What one gain index does to a pixel p, without a branch:
// q = mulhi(p * 10000, inverse) + (p * 10000 AND whole), capped at ceiling.
// For 2 <= g < 2^32 the inverse is ceil(2^64 / g): with p * 10000 below 2^32
// the estimate's excess stays below 1 / g, less than any remainder step, so
// the quotient is exact. A pixel kept as it is divides by 10000 and is not
// capped; a negative quotient (bit 30 set) and one of a gain of 2^32 or more
// (p * 10000 is smaller) are 0; a gain of 1 takes p * 10000 whole.
struct SGainStep {
    uint64_t m_nInverse = 0;
    uint64_t m_nWhole = 0;
    uint32_t m_nCeiling = 0;
};

constexpr uint64_t InverseOf(uint64_t g) {
    return ~uint64_t{0} / g + 1; // ceil(2^64 / g), exact for powers of two
}

SGainStep StepOf(int64_t g) {
    SGainStep step;
    step.m_nCeiling = kSampleCeiling;
    if (g == 1)
        step.m_nWhole = ~uint64_t{0};
    else if (g >= 2 && g < (int64_t{1} << 32))
        step.m_nInverse = InverseOf(static_cast<uint64_t>(g));
    return step;
}

SGainStep KeepStep() {
    SGainStep step;
    step.m_nInverse = InverseOf(kUnity);
    step.m_nCeiling = 0xFFFF;
    return step;
}

struct SDefect {
    uint32_t m_nX;
    uint32_t m_nY;
};

} // namespace

std::optional<SCalibration> ParseCalibration(const uint8_t* pData, size_t nSize) {
    if (nSize < kCalibrationHeaderSize)
        return std::nullopt;
    CByteReader reader(pData, nSize);
    SCalibration cal;
    cal.m_nWidth = reader.U32Le(0);
    cal.m_nHeight = reader.U32Le(4);
    cal.m_nDivisor = static_cast<int16_t>(reader.U16Le(8));
    cal.m_nBase = static_cast<int32_t>(reader.U32Le(16));
    cal.m_nNeutral = static_cast<int8_t>(reader.U8(20));
    cal.m_nVersionA = reader.U8(22);
    cal.m_nVersionB = reader.U8(23);
    const uint64_t nIndices = uint64_t{cal.m_nWidth} * cal.m_nHeight;
    if (nIndices > nSize - kCalibrationHeaderSize)
        return std::nullopt;
    cal.m_indices.assign(pData + kCalibrationHeaderSize,
                         pData + kCalibrationHeaderSize + static_cast<size_t>(nIndices));
    return cal;
}

std::vector<int64_t> GainTable(const SCalibration& cal, uint32_t nEnergy) {
    std::vector<int64_t> gain(256, 0);
    const int64_t nP = int64_t{100} * cal.m_nBase;
    const int64_t nD = cal.m_nDivisor;
    if (nP == 0 || nD == 0)
        return gain;
    for (int i = 0; i < 256; ++i) {
        const int64_t nRatio = (nP - cal.m_nNeutral + i) * kUnity / nP - kUnity;
        gain[static_cast<size_t>(i)] = nRatio * int64_t{nEnergy} / nD + kUnity;
    }
    return gain;
}

ECalibrationFault ApplyCalibration(const SCalibration& cal, uint32_t nEnergy, uint16_t* pPixels,
                                   uint32_t nWidth, uint32_t nHeight) {
    if (cal.m_nWidth != nWidth || cal.m_nHeight != nHeight ||
        cal.m_indices.size() != size_t{nWidth} * nHeight)
        return ECalibrationFault::OtherSize;
    if (cal.m_nVersionA != 0 || cal.m_nVersionB != 0)
        return ECalibrationFault::OtherVersion;
    const std::vector<int64_t> gain = GainTable(cal, nEnergy);
    const uint8_t nNeutral = static_cast<uint8_t>(cal.m_nNeutral);
    SGainStep steps[256];
    for (int i = 0; i < 256; ++i) {
        const int64_t g = gain[static_cast<size_t>(i)];
        steps[i] = i == 0 || i == nNeutral || i == kIndexDefect || g == 0 ? KeepStep() : StepOf(g);
    }
    const size_t nPixels = size_t{nWidth} * nHeight;
    const uint8_t* pIndices = cal.m_indices.data();
    for (size_t k = 0; k < nPixels; ++k) {
        const SGainStep& step = steps[pIndices[k]];
        const uint64_t n = uint64_t{pPixels[k]} * kUnity;
        const uint64_t q =
            static_cast<uint64_t>((static_cast<unsigned __int128>(n) * step.m_nInverse) >> 64) +
            (n & step.m_nWhole);
        pPixels[k] = static_cast<uint16_t>(q < step.m_nCeiling ? q : step.m_nCeiling);
    }
    // Defects are rare: found by a byte search, the first 1023 in scan order.
    // An image of no pixels has no index storage to search.
    std::vector<SDefect> defects;
    if (nNeutral != kIndexDefect && nPixels > 0) {
        const uint8_t* p = pIndices;
        const uint8_t* pEnd = pIndices + nPixels;
        while (defects.size() < kDefectsMax &&
               (p = static_cast<const uint8_t*>(
                    std::memchr(p, kIndexDefect, static_cast<size_t>(pEnd - p))))) {
            const size_t k = static_cast<size_t>(p - pIndices);
            defects.push_back(
                {static_cast<uint32_t>(k % nWidth), static_cast<uint32_t>(k / nWidth)});
            ++p;
        }
    }
    // From the last defect back: later ones are repaired already, earlier
    // ones in this row (left) and the row above (upper three) do not count.
    for (size_t k = defects.size(); k-- > 0;) {
        const SDefect d = defects[k];
        bool bSkipLeft = false, bSkipUp[3] = {false, false, false};
        for (size_t j = k; j-- > 0;) {
            const SDefect e = defects[j];
            if (e.m_nY == d.m_nY) {
                if (e.m_nX + 1 == d.m_nX)
                    bSkipLeft = true;
            } else if (e.m_nY + 1 == d.m_nY) {
                if (e.m_nX + 1 >= d.m_nX && e.m_nX <= d.m_nX + 1)
                    bSkipUp[e.m_nX + 1 - d.m_nX] = true;
            } else {
                break;
            }
        }
        int64_t nSum = 0;
        int nCount = 0;
        auto take = [&](int dx, int dy) {
            const int64_t x = int64_t{d.m_nX} + dx, y = int64_t{d.m_nY} + dy;
            if (x < 0 || y < 0 || x >= nWidth || y >= nHeight)
                return;
            nSum += pPixels[static_cast<size_t>(y) * nWidth + static_cast<size_t>(x)];
            ++nCount;
        };
        for (int dx = -1; dx <= 1; ++dx)
            if (!bSkipUp[dx + 1])
                take(dx, -1);
        if (!bSkipLeft)
            take(-1, 0);
        take(1, 0);
        for (int dx = -1; dx <= 1; ++dx)
            take(dx, 1);
        if (nCount > 0)
            pPixels[size_t{d.m_nY} * nWidth + d.m_nX] = static_cast<uint16_t>(nSum / nCount);
    }
    return ECalibrationFault::None;
}

const char* CalibrationFaultText(ECalibrationFault eFault) {
    switch (eFault) {
    case ECalibrationFault::TooShort:
        return "Could not read FFC file";
    case ECalibrationFault::OtherSize:
        return "FFC Header file indicates a different image size";
    case ECalibrationFault::OtherVersion:
        return "Unsupported FFC file version";
    default:
        return "";
    }
}

} // namespace torvex
