#include "calibration.h"

#include "byte_reader.h"

namespace torvex {

namespace {

constexpr int64_t kUnity = 10000;
constexpr uint32_t kUnity32 = 10000;

// p * 10000 / g through a 64-bit reciprocal: with p below 2^16 the
// estimate's error stays below 2^-34, less than any remainder step 1/g for
// gains below 2^32, so the quotient is exact. Larger gains give 0.
struct SDivisor {
    int64_t m_nGain = 0;
    uint64_t m_nInverse = 0; // ceil(2^64 / g) for 2 <= g < 2^32

    explicit SDivisor(int64_t g) : m_nGain(g) {
        if (g >= 2 && g < (int64_t{1} << 32))
            m_nInverse = static_cast<uint64_t>(~uint64_t{0} / static_cast<uint64_t>(g)) + 1;
    }
    int64_t Divide(uint32_t n) const {
        if (m_nInverse != 0)
            return static_cast<int64_t>((static_cast<unsigned __int128>(n) * m_nInverse) >> 64);
        if (m_nGain == 1)
            return n;
        if (m_nGain > 0)
            return 0; // beyond 2^32: n is smaller
        return -static_cast<int64_t>(n / static_cast<uint64_t>(-m_nGain)); // negative gain
    }
};

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
    std::vector<SDivisor> divisors;
    divisors.reserve(gain.size());
    for (int64_t g : gain)
        divisors.emplace_back(g);
    const uint8_t nNeutral = static_cast<uint8_t>(cal.m_nNeutral);
    std::vector<SDefect> defects;
    defects.reserve(kDefectsMax);
    for (uint32_t y = 0; y < nHeight; ++y) {
        const size_t nRow = size_t{y} * nWidth;
        for (uint32_t x = 0; x < nWidth; ++x) {
            const uint8_t i = cal.m_indices[nRow + x];
            if (i == 0 || i == nNeutral)
                continue;
            if (i == kIndexDefect) {
                if (defects.size() < kDefectsMax)
                    defects.push_back({x, y});
                continue;
            }
            const SDivisor& g = divisors[i];
            if (g.m_nGain == 0)
                continue;
            const int64_t v = g.Divide(uint32_t{pPixels[nRow + x]} * kUnity32);
            pPixels[nRow + x] = static_cast<uint16_t>(v < 0 ? 0 : v > 16383 ? 16383 : v);
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
