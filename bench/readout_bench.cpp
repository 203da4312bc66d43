// ReadImage's work on a full 1640-row image (1250 x 1640, the largest that
// fits its buffer) against a memcpy of the same bytes, medians of N runs:
// the box path (row reversal, edge blanking) and the wireless mode-2 path
// (copy of the received bytes, decoding against the reference by the
// stand-in library's code, edge blanking).
//   readout_bench [runs]
#include "bench_timing.h"
#include "compress_codec.h"
#include "image_readout.h"
#include "protocol.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using ostrel::bench::MedianMs;

int main(int argc, char** argv) {
    const int nRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;
    const int w = 1250, h = 1640;
    const size_t n = size_t(w) * h;
    std::vector<uint8_t> image(n), reference(n), received(n), copy(n), pixels(n);
    for (size_t i = 0; i < n; ++i) {
        image[i] = uint8_t(i * 7 + i / w);
        reference[i] = uint8_t(i * 3);
    }
    torvex::sim::DifferenceEncode(image.data(), reference.data(), n, received.data());
    uint8_t header[torvex::proto::kImageHeaderSize] = {};
    header[torvex::proto::kAtImageWidth] = uint8_t(w / 2);
    header[torvex::proto::kAtImageWidth + 1] = uint8_t((w / 2) >> 8);
    header[torvex::proto::kAtWidthDivisor] = 1;

    const double dCopy = MedianMs(nRuns, [&] { std::memcpy(copy.data(), image.data(), n); });
    const double dBox = MedianMs(nRuns, [&] {
        torvex::BlankFrameEdge(pixels.data(), w, h, size_t(w));
        torvex::ReverseRows(pixels.data(), size_t(w), h);
    });
    const double dWireless = MedianMs(nRuns, [&] {
        std::memcpy(copy.data(), received.data(), n); // the received bytes handed over
        torvex::sim::DecodeExport5(pixels.data(), header, reference.data(), copy.data(),
                                   pixels.data(), 0, h);
        torvex::BlankFrameEdge(pixels.data(), w, h, size_t(w));
    });
    // The part the server does itself; the decoding belongs to the outside library.
    const double dOwn = MedianMs(nRuns, [&] {
        std::memcpy(copy.data(), received.data(), n);
        torvex::BlankFrameEdge(pixels.data(), w, h, size_t(w));
    });
    std::printf("readout %dx%d, median of %d runs\n", w, h, nRuns);
    std::printf("  memcpy of the image     %7.3f ms\n", dCopy);
    std::printf("  box rows and edge       %7.3f ms  (%.2fx memcpy)\n", dBox, dBox / dCopy);
    std::printf("  wireless decode, edge   %7.3f ms  (%.2fx memcpy)\n", dWireless,
                dWireless / dCopy);
    std::printf("    of it the server's    %7.3f ms  (%.2fx memcpy: copy for the decoder, edge)\n",
                dOwn, dOwn / dCopy);
    return 0;
}
