// FilterImage's chain on a 1300 x 1696 grey image: the product's kernels,
// the loop-by-loop reference and OpenCV single-threaded doing the same three
// filters (GaussianBlur on doubles with sigma 8, medianBlur 3, blur 5 x 5),
// medians of N runs in the same process, and the ratio to OpenCV.
//   filter_bench [runs]
#include "bench_timing.h"
#include "filter_reference.h"
#include "image_filter.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

using ostrel::bench::MedianMs;

int main(int argc, char** argv) {
    const int nRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const int w = 1300, h = 1696;
    std::vector<uint8_t> source(size_t(w) * h);
    std::mt19937 rng(6);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            source[size_t(y) * w + x] = uint8_t((x + y) / 12 + rng() % 40);

    using namespace torvex;
    SFilterParams params;
    CFilterWorkspace workspace;
    const SFilterScratch scratch = workspace.Prepare(w, h, params);
    std::vector<uint8_t> ours;
    auto runOurs = [&] {
        ours = source;
        const int n = Filter(SImageView{ours.data(), w, h, w, 1}, params, scratch);
        if (n != 0)
            std::abort();
    };
    std::vector<uint8_t> ref;
    auto runRef = [&] {
        ref = source;
        reference::Filter(ref.data(), w, h, size_t(w), 1, 10, 0.8);
    };

    cv::setNumThreads(0);
    const cv::Mat src(h, w, CV_8U, source.data());
    cv::Mat f64, blurred, sharp, med, out;
    auto runCv = [&] {
        src.convertTo(f64, CV_64F);
        cv::GaussianBlur(f64, blurred, cv::Size(0, 0), 8.0, 8.0, cv::BORDER_REPLICATE);
        cv::addWeighted(f64, 1.0 / 0.2, blurred, -0.8 / 0.2, 0.0, sharp, CV_8U);
        cv::medianBlur(sharp, med, 3);
        cv::blur(med, out, cv::Size(5, 5), cv::Point(-1, -1), cv::BORDER_REPLICATE);
    };

    runOurs();
    runRef();
    const bool bSame = ours == ref;
    AllowWideLanes(false);
    runOurs();
    const bool bSamePortable = ours == ref;
    const double dPortable = MedianMs(nRuns, runOurs);
    AllowWideLanes(true);

    const double dOurs = MedianMs(nRuns, runOurs);
    const double dCv = MedianMs(nRuns, runCv);
    const double dRef = MedianMs(std::max(3, nRuns / 3), runRef);
    std::printf("filter %dx%d, median of %d runs\n", w, h, nRuns);
    std::printf("  kernels          %8.2f ms  (%.2fx OpenCV)  identical to reference: %s\n", dOurs,
                dOurs / dCv, bSame ? "yes" : "NO");
    std::printf("  portable lanes   %8.2f ms  (%.2fx OpenCV)  identical to reference: %s\n",
                dPortable, dPortable / dCv, bSamePortable ? "yes" : "NO");
    std::printf("  reference loops  %8.2f ms  (%.2fx OpenCV)\n", dRef, dRef / dCv);
    std::printf("  OpenCV 1 thread  %8.2f ms\n", dCv);
    return bSame && bSamePortable ? 0 : 1;
}
