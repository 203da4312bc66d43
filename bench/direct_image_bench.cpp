// The direct sensors' image pipeline, timed: one slot-1 image from its two
// raw frames to the 8-bit bitmap, the recursive median against its sorting
// reference, and the 14-bit unpack against a memcpy of the same bytes.
//   direct_image_bench [repetitions]
#include "bench_data.h"
#include "byte_reader.h"
#include "calibration.h"
#include "image_corrections.h"
#include "image_record.h"
#include "raw_unpack.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

using namespace torvex;
using ostrel::bench::CRandom;

namespace {

constexpr uint32_t kWidth = 1300, kRawHeight = 1700, kHeight = 1696;

double MedianMs(int nReps, const std::function<void()>& run) {
    std::vector<double> times;
    for (int i = 0; i < nReps; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        run();
        const auto t1 = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::vector<uint8_t> Pack(const std::vector<uint16_t>& samples) {
    std::vector<uint8_t> out;
    out.reserve(PackedSize(samples.size()));
    uint64_t nAcc = 0;
    int nBits = 0;
    for (uint16_t s : samples) {
        nAcc = (nAcc << 14) | (s & 0x3FFF);
        nBits += 14;
        while (nBits >= 8) {
            out.push_back(static_cast<uint8_t>(nAcc >> (nBits - 8)));
            nBits -= 8;
        }
    }
    return out;
}

// Anatomy-like samples in the sensor's range.
std::vector<uint16_t> Frame(uint64_t nSeed, uint16_t nBase) {
    const std::string raw = ostrel::bench::MakeRawImage(kWidth, kRawHeight, nSeed);
    std::vector<uint16_t> samples(size_t{kWidth} * kRawHeight);
    for (size_t i = 0; i < samples.size(); ++i) {
        const uint16_t v = static_cast<uint16_t>(static_cast<uint8_t>(raw[2 * i]) |
                                                 static_cast<uint8_t>(raw[2 * i + 1]) << 8);
        samples[i] = static_cast<uint16_t>(nBase + (v & 0x0FFF) * 2);
    }
    return samples;
}

std::vector<uint8_t> CalibrationFile() {
    std::vector<uint8_t> f(kCalibrationHeaderSize + size_t{kWidth} * kHeight, 0);
    PutU32Le(f.data(), kWidth);
    PutU32Le(f.data() + 4, kHeight);
    f[8] = 100;                  // D
    PutU32Le(f.data() + 16, 20); // B
    f[20] = 128;                 // U = -128
    CRandom rng(7);
    for (size_t i = kCalibrationHeaderSize; i < f.size(); ++i)
        f[i] = static_cast<uint8_t>(100 + rng.Below(56));
    for (int k = 0; k < 800; ++k) // defects, some in clusters
        f[kCalibrationHeaderSize + rng.Below(kWidth * kHeight)] = kIndexDefect;
    return f;
}

} // namespace

int main(int argc, char** argv) {
    const int nReps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const std::vector<uint8_t> exposure = Pack(Frame(1, 9000));
    const std::vector<uint8_t> dark = Pack(Frame(2, 3100));
    const std::vector<uint8_t> ffc = CalibrationFile();
    const SCalibration cal = *ParseCalibration(ffc.data(), ffc.size());
    const size_t nRawPixels = size_t{kWidth} * kRawHeight;
    std::vector<uint16_t> a(nRawPixels), b(nRawPixels);
    std::vector<uint8_t> bitmap;
    uint8_t osc[kOscillogramSize] = {};

    const double msPipeline = MedianMs(nReps, [&] {
        UnpackSamples(exposure.data(), nRawPixels, 0, false, a.data());
        UnpackSamples(dark.data(), nRawPixels, 0, true, b.data());
        SubtractDark(a.data(), b.data(), nRawPixels);
        std::memmove(a.data(), a.data() + 4 * kWidth, size_t{kWidth} * kHeight * 2);
        (void)ApplyCalibration(cal, 4000, a.data(), kWidth, kHeight);
        MaskCorners(a.data(), kWidth, kHeight, kCornerBandSlot1);
        MedianRecursive(a.data(), kWidth, kHeight, kCornerBandSlot1);
        ReverseRows(a.data(), kWidth, kHeight);
        const std::vector<uint8_t> record =
            BuildImageRecord(a.data(), kWidth, kHeight, 4000, 100, osc, 10);
        bitmap = BitmapFileBytes(*ParseImageRecord(record.data(), record.size()));
    });

    // Median: the same input each time, both versions.
    UnpackSamples(exposure.data(), nRawPixels, 0, false, b.data());
    std::vector<uint16_t> fast(b.begin(), b.begin() + size_t{kWidth} * kHeight), slow = fast;
    const std::vector<uint16_t> input = fast;
    const double msFast = MedianMs(nReps, [&] {
        fast = input;
        MedianRecursive(fast.data(), kWidth, kHeight, kCornerBandSlot1);
    });
    const double msSorted = MedianMs(std::max(3, nReps / 3), [&] {
        slow = input;
        MedianRecursiveSorted(slow.data(), kWidth, kHeight, kCornerBandSlot1);
    });
    std::vector<uint16_t> scratch;
    const double msCopyIn = MedianMs(nReps, [&] { scratch = input; });

    std::vector<uint8_t> copy(exposure.size());
    const double msUnpack =
        MedianMs(nReps, [&] { UnpackSamples(exposure.data(), nRawPixels, 0, false, a.data()); });
    const double msMemcpy =
        MedianMs(nReps, [&] { std::memcpy(copy.data(), exposure.data(), exposure.size()); });

    std::printf("slot-1 image pipeline: %.2f ms (goal at most 30 ms); bitmap %zu bytes\n",
                msPipeline, bitmap.size());
    std::printf("median 3x3 recursive: %.2f ms, sorting reference %.2f ms, ratio %.3f (goal "
                "0.1); identical: %s\n",
                msFast - msCopyIn, msSorted - msCopyIn, (msFast - msCopyIn) / (msSorted - msCopyIn),
                fast == slow ? "yes" : "NO");
    std::printf("14-bit unpack: %.2f ms, memcpy %.2f ms, ratio %.2f (goal within 5)\n", msUnpack,
                msMemcpy, msUnpack / msMemcpy);
    return fast == slow ? 0 : 1;
}
