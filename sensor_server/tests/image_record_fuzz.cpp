// libFuzzer target of the copy-data record the view accepts. Records are
// megabytes long, so the input is laid over a record of one geometry (its
// size nudged by the first byte) as well as parsed as it stands: a record
// is accepted only at the exact size of its geometry, and what the view
// reads of it stays inside it.
#include "image_record.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace torvex;

namespace {

void Check(const uint8_t* pData, size_t nSize) {
    const auto record = ParseImageRecord(pData, nSize);
    if (!record)
        return;
    if (nSize != RecordSize(record->m_nWidth, record->m_nHeight) ||
        record->m_oscillogram.size() > kOscillogramSize || record->m_pInfo != pData ||
        record->m_pPixels != pData + kInfoHeaderSize + kPaletteSize)
        std::abort();
    const std::string text = OscillogramText(*record);
    if (text.size() > record->m_oscillogram.size() * 5)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    Check(pData, nSize);
    if (nSize < 1)
        return 0;
    static std::vector<uint8_t> slot0(RecordSize(kWidthSlot0, kHeightSlot0) + 8);
    static std::vector<uint8_t> slot1(RecordSize(kWidthSlot1, kHeightSlot1) + 8);
    std::vector<uint8_t>& buffer = (pData[0] & 1) ? slot1 : slot0;
    const size_t nExact = buffer.size() - 8;
    const size_t nLength = nExact + (pData[0] >> 1) % 9 - 4; // exact size, or up to 4 off
    // Header first, the rest at the end where the count and samples sit.
    const size_t nHead = std::min(nSize - 1, kInfoHeaderSize + kPaletteSize);
    std::memcpy(buffer.data(), pData + 1, nHead);
    const size_t nTail = std::min(nSize - 1 - nHead, nLength);
    std::memcpy(buffer.data() + nLength - nTail, pData + 1 + nHead, nTail);
    Check(buffer.data(), nLength);
    std::memset(buffer.data(), 0, nHead);
    std::memset(buffer.data() + nLength - nTail, 0, nTail);
    return 0;
}
