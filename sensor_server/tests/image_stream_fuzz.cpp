// libFuzzer target of ReadImage's serial packet parser: any byte stream ends
// with a code, and a bitmap is written only for an image that fits.
#include "stream_harness.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize == 0)
        return 0;
    const uint8_t nMode = pData[0] % 3 == 0 ? 17 : pData[0] % 3; // 17, 1 or 2
    const std::vector<uint8_t> bytes(pData + 1, pData + nSize);
    const torvex::harness::SStreamRun run = torvex::harness::RunStream(bytes, nMode);
    if (run.m_answer.m_nCode == 0 && run.m_file.size() < 1078)
        std::abort();
    if (run.m_answer.m_nCode != 0 && !run.m_file.empty())
        std::abort();
    return 0;
}
