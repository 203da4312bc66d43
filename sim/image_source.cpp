#include "image_source.h"

#include "compress_codec.h"

#include <algorithm>

namespace torvex::sim {

namespace {

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint8_t Sum(const uint8_t* p, size_t n) {
    unsigned s = 0;
    for (size_t i = 0; i < n; ++i)
        s += p[i];
    return static_cast<uint8_t>(s);
}

void AddPacket(std::vector<uint8_t>& out, const uint8_t* p, size_t n, bool bBadSum) {
    const uint8_t header[4] = {proto::kEnvelopeStart, proto::kEnvelopeKindStream,
                               static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)};
    out.insert(out.end(), header, header + 4);
    out.push_back(Sum(header, 4));
    out.insert(out.end(), p, p + n);
    out.push_back(static_cast<uint8_t>(Sum(p, n) + (bBadSum ? 1 : 0)));
}

} // namespace

std::vector<uint8_t> SensorImage(int nWidth, int nHeight, unsigned nIndex) {
    std::vector<uint8_t> img(size_t(nWidth) * nHeight);
    uint32_t r = 0x9E3779B9u * (nIndex + 1);
    for (int y = 0; y < nHeight; ++y) {
        for (int x = 0; x < nWidth; ++x) {
            r = r * 1664525u + 1013904223u;
            // A disc of exposure on a gradient, with noise: no two rows alike.
            const int dx = x - nWidth / 2, dy = y - nHeight / 2;
            const int disc = dx * dx + dy * dy < nWidth * nWidth / 9 ? 60 : 0;
            img[size_t(y) * nWidth + x] =
                static_cast<uint8_t>(20 + (x + 2 * y + 7 * nIndex) % 150 + disc + (r >> 29));
        }
    }
    return img;
}

std::vector<uint8_t> BoxImageStream(const std::vector<uint8_t>& image, int nWidth, int nHeight,
                                    bool bPolled) {
    const size_t nStride = (size_t(nWidth) + 3) / 4 * 4;
    const size_t nTotal =
        static_cast<size_t>(proto::BoxStreamSize(uint64_t(nWidth) * nHeight, bPolled));
    std::vector<uint8_t> s(std::max(nTotal, 1078 + nStride * nHeight), 0xEE);
    std::fill(s.begin(), s.begin() + 1078, 0);
    s[0] = 'B';
    s[1] = 'M';
    Put32(s, 2, uint32_t(1078 + nStride * nHeight));
    Put32(s, 10, 1078);
    Put32(s, 14, 40);
    Put32(s, 18, uint32_t(nWidth));
    Put32(s, 22, uint32_t(nHeight));
    s[26] = 1;
    s[28] = 8;
    for (int i = 0; i < 256; ++i) { // a false-colour palette the server must replace
        s[54 + 4 * i] = uint8_t(255 - i);
        s[55 + 4 * i] = uint8_t(i / 2);
        s[56 + 4 * i] = uint8_t(i);
    }
    for (int y = 0; y < nHeight; ++y) {
        std::copy_n(image.begin() + size_t(y) * nWidth, nWidth, s.begin() + 1078 + y * nStride);
        std::fill_n(s.begin() + 1078 + y * nStride + nWidth, nStride - nWidth, 0);
    }
    s.resize(nTotal);
    return s;
}

std::vector<uint8_t> CWirelessImages::Stream(uint8_t nMode, int nWidth, int nHeight,
                                             CFaultPlan& faults) {
    const CFrame request = proto::Frame(proto::kWordImageRequest, nMode);
    m_last = SensorImage(nWidth, nHeight, m_nIndex++);
    std::vector<uint8_t> payload(proto::kImageHeaderSize, 0);
    const bool bCoded = nMode == proto::kImageModeCompressed;
    const int nWidthField = bCoded ? nWidth / 2 : nWidth;
    payload[proto::kAtImageWidth] = uint8_t(nWidthField);
    payload[proto::kAtImageWidth + 1] = uint8_t(nWidthField >> 8);
    payload[proto::kAtImageHeight] = uint8_t(nHeight);
    payload[proto::kAtImageHeight + 1] = uint8_t(nHeight >> 8);
    payload[proto::kAtWidthDivisor] = 1;
    payload[proto::kAtHeightDivisor] = 1;
    payload[0] = 'T'; // the rest of the header carries the sensor's own fields
    payload[1] = 'S';
    const size_t nAt = payload.size();
    payload.resize(nAt + m_last.size());
    if (bCoded && m_reference.size() == m_last.size())
        DifferenceEncode(m_last.data(), m_reference.data(), m_last.size(), &payload[nAt]);
    else
        std::copy(m_last.begin(), m_last.end(), payload.begin() + nAt);
    if (nMode == proto::kImageModeReference)
        m_reference = m_last;
    else if (nMode != proto::kImageModeCompressed)
        m_reference.clear();

    // One fault per image, in this order, so that limited rules line up
    // one request after another.
    uint32_t nBadPacket = 0, nFirst = 0, nCut = 0;
    const bool bBadSum = faults.Take(EFault::BadSum, request, &nBadPacket);
    const bool bShort = !bBadSum && faults.Take(EFault::ShortFirst, request, &nFirst);
    const bool bCut = !bBadSum && !bShort && faults.Take(EFault::Cut, request, &nCut);
    std::vector<uint8_t> out;
    size_t nSent = 0;
    for (uint32_t nPacket = 0; nSent < payload.size(); ++nPacket) {
        size_t n = std::min(kSimPacketPayload, payload.size() - nSent);
        if (nPacket == 0 && bShort)
            n = std::min<size_t>(n, nFirst);
        AddPacket(out, &payload[nSent], n, bBadSum && nPacket == nBadPacket);
        nSent += n;
    }
    AddPacket(out, nullptr, 0, false); // L = 0 ends the stream
    if (bCut && nCut < out.size())
        out.resize(nCut); // the rest never comes
    return out;
}

} // namespace torvex::sim
