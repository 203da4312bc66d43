#include "image_readout.h"

#include "byte_reader.h"
#include "image_file.h"
#include "status_codes.h"

#include <algorithm>
#include <cstring>

namespace torvex {

using namespace proto;

namespace {

uint8_t Sum(const uint8_t* p, size_t n) {
    unsigned s = 0;
    for (size_t i = 0; i < n; ++i)
        s += p[i];
    return static_cast<uint8_t>(s);
}

void Put16(uint8_t* p, uint16_t w) {
    p[0] = static_cast<uint8_t>(w);
    p[1] = static_cast<uint8_t>(w >> 8);
}

uint32_t Rounded(uint64_t nNumerator, uint64_t nDenominator) {
    return static_cast<uint32_t>((nNumerator + nDenominator / 2) / nDenominator);
}

} // namespace

void ReverseRows(uint8_t* pPixels, size_t nStride, int nHeight) {
    for (int i = 0, j = nHeight - 1; i < j; ++i, --j)
        std::swap_ranges(pPixels + i * nStride, pPixels + (i + 1) * nStride, pPixels + j * nStride);
}

void BlankFrameEdge(uint8_t* pPixels, int nWidth, int nHeight, size_t nStride) {
    const int nRows = nHeight / 200;
    const int nCols = nWidth / 200;
    for (int y = 0; y < nHeight; ++y) {
        uint8_t* pRow = pPixels + static_cast<size_t>(y) * nStride;
        if (y < nRows || y >= nHeight - nRows) {
            std::memset(pRow, 0, static_cast<size_t>(nWidth));
        } else if (nCols > 0) {
            std::memset(pRow, 0, static_cast<size_t>(nCols));
            std::memset(pRow + nWidth - nCols, 0, static_cast<size_t>(nCols));
        }
    }
}

SPacketHeader ParsePacketHeader(const uint8_t* p) {
    SPacketHeader h;
    h.m_bValid = p[0] == kEnvelopeStart && (p[1] & kEnvelopeKindMask) == kEnvelopeKindStream &&
                 p[kAtPacketSum] == Sum(p, kAtPacketSum);
    h.m_nLength = static_cast<uint16_t>(p[kAtPacketLength] | (p[kAtPacketLength + 1] << 8));
    return h;
}

CImageReadout::CImageReadout(CTransport& transport, IImageFiles& files, IImageShell& shell,
                             SViewState& view)
    : m_transport(transport), m_clock(transport.Clock()), m_files(files), m_shell(shell),
      m_view(view) {}

void CImageReadout::FillInfo(uint32_t nWidth, uint32_t nHeight) {
    uint8_t* p = m_buffer.data();
    std::memset(p, 0, kInfoSize);
    PutU32Le(p, kInfoSize);
    PutU32Le(p + kInfoAtWidth, nWidth);
    PutU32Le(p + kInfoAtHeight, nHeight);
    Put16(p + kInfoAtPlanes, 1);
    Put16(p + kInfoAtBitCount, 8);
    bmp::PutGreyPalette(p + kInfoSize);
}

int CImageReadout::RequestImage(uint8_t nMode) {
    CFrame frame = Frame(kWordImageRequest, nMode);
    const uint64_t nStart = m_clock.NowMs();
    const int nCode = m_transport.ExchangeFrame(frame);
    if (nCode == kOk && m_clock.NowMs() - nStart > kImageRequestLimitMs)
        return kTimeout;
    return nCode;
}

SAnswer CImageReadout::ReadImage(uint8_t nMode, const std::optional<SPreview>& preview) {
    // Commands are ignored while the image comes; the flag drops on every way out.
    struct SBusy {
        bool& m_bFlag;
        ~SBusy() { m_bFlag = false; }
    } busy{m_view.m_bBusy};
    m_view.m_bBusy = true;
    m_buffer.assign(kImageBufferSize, 0);
    m_nWidth = m_nHeight = 0;
    m_nPixelBytes = 0;
    m_preview = preview;
    m_nRowsDrawn = 0;
    SAnswer answer = AnswerText(kOk, "");

    int nCode = RequestImage(nMode);
    const bool bSerial = m_transport.Link().m_nKind == kLinkSerial;
    if (nCode == kOk) {
        const uint64_t nStart = m_clock.NowMs();
        if (bSerial) {
            m_transport.Link().m_nSerialBytes = 0;
            nCode = ReadSerialStream(nMode);
            const uint64_t nMs = std::max<uint64_t>(m_clock.NowMs() - nStart, 1);
            m_view.m_nTransferRate =
                static_cast<int>(Rounded(m_transport.Link().m_nSerialBytes * 8000, nMs * 1024));
            m_transport.Link().m_nSerialBytes = 0;
        } else {
            nCode = ReadBoxStream();
            const uint64_t nMs = std::max<uint64_t>(m_clock.NowMs() - nStart, 1);
            m_view.m_nTransferRate =
                static_cast<int>(Rounded(uint64_t(m_nWidth) * m_nHeight * 8000, nMs * 1024));
        }
    }
    if (nCode != kOk)
        m_shell.ErrorBeep();
    // A box stream cut short by the driver still leaves what came.
    if (nCode == kOk || (!bSerial && nCode == kEnvelopeBad && m_nPixelBytes > 0)) {
        std::string strPath;
        const int nFile = WriteBitmap(strPath);
        if (nFile != kOk)
            nCode = nFile;
        else
            answer.m_result = strPath;
    }
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    answer.m_nCode = nCode;
    return answer;
}

void CImageReadout::Preview(int nRows, size_t nStride, bool bForce) {
    if (!m_preview || m_nWidth == 0)
        return;
    if (!bForce && nRows - m_nRowsDrawn <= kPreviewRowStep)
        return;
    m_shell.DrawPreview(*m_preview, m_buffer.data(), m_buffer.data() + kPixelsAt,
                        static_cast<int>(m_nWidth), nRows, nStride);
    m_nRowsDrawn = nRows;
}

int CImageReadout::ReadSerialStream(uint8_t nMode) {
    FillInfo(0, 0);
    uint8_t* pPixels = m_buffer.data() + kPixelsAt;
    const size_t nRoom = m_buffer.size() - kPixelsAt;
    std::vector<uint8_t> packet;
    size_t nExpected = 1; // until the image header says
    size_t nHave = 0;
    bool bFirst = true;
    // A bad payload or image header ends the image, but the packets that
    // follow are still read to the end of the stream (their headers give
    // their lengths), so that the next command meets a quiet line.
    int nFailure = kOk;
    while (nFailure != kOk || nHave < nExpected) {
        uint8_t header[kPacketHeaderSize];
        int nCode = m_transport.ReadSerialBytes(header, sizeof header);
        if (nCode != kOk)
            return nCode;
        const SPacketHeader h = ParsePacketHeader(header);
        if (!h.m_bValid)
            return kWrongReply; // no way to tell where the stream goes on
        if (h.m_nLength == 0)
            break;
        packet.resize(size_t(h.m_nLength) + 1);
        nCode = m_transport.ReadSerialBytes(packet.data(), packet.size());
        if (nCode != kOk)
            return nCode;
        if (nFailure != kOk)
            continue;
        if (packet[h.m_nLength] != Sum(packet.data(), h.m_nLength)) {
            nFailure = kWrongReply;
            continue;
        }
        size_t nAt = 0;
        if (bFirst) {
            bFirst = false;
            nFailure = TakeImageHeader(packet.data(), h.m_nLength, nMode, nRoom);
            if (nFailure != kOk)
                continue;
            nExpected = size_t(m_nWidth) * m_nHeight;
            nAt = kImageHeaderSize;
        }
        const size_t nTake = std::min(size_t(h.m_nLength) - nAt, nExpected - nHave);
        std::memcpy(pPixels + nHave, packet.data() + nAt, nTake); // surplus dropped
        nHave += nTake;
        if (m_nWidth > 0)
            Preview(static_cast<int>(nHave / m_nWidth), m_nWidth, false);
    }
    if (nFailure != kOk)
        return nFailure;
    if (m_nWidth == 0 || m_nHeight == 0)
        return kWrongReply; // the stream ended before an image
    m_nPixelBytes = size_t(m_nWidth) * m_nHeight;
    // A short stream leaves the missing rows black.
    Decode(nMode);
    BlankFrameEdge(pPixels, int(m_nWidth), int(m_nHeight), m_nWidth);
    if (m_preview) {
        Preview(int(m_nHeight), m_nWidth, true);
        m_shell.EndPreview(*m_preview, int(m_nWidth), int(m_nHeight));
    }
    return kOk;
}

int CImageReadout::TakeImageHeader(const uint8_t* pPacket, size_t nLength, uint8_t nMode,
                                   size_t nRoom) {
    if (nLength < kImageHeaderSize)
        return kNoRoom;
    CByteReader reader(pPacket, kImageHeaderSize);
    uint32_t nWidth = reader.U16Le(kAtImageWidth);
    uint32_t nHeight = reader.U16Le(kAtImageHeight);
    if (nMode == kImageModeCompressed)
        nWidth *= 2;
    const uint8_t nDivW = pPacket[kAtWidthDivisor];
    const uint8_t nDivH = pPacket[kAtHeightDivisor];
    if (nDivW == 0 || nDivH == 0)
        return kWrongReply; // a header that cannot be true
    nWidth /= nDivW;
    nHeight /= nDivH;
    if (uint64_t(nWidth) * nHeight > nRoom)
        return kNoRoom;
    std::copy(pPacket, pPacket + kImageHeaderSize, m_imageHeader.begin());
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    FillInfo(nWidth, nHeight);
    PutU32Le(m_buffer.data() + kInfoAtXPerMetre, PixelsPerMetre(nHeight));
    PutU32Le(m_buffer.data() + kInfoAtYPerMetre, PixelsPerMetre(nHeight));
    return kOk;
}

void CImageReadout::Decode(uint8_t nMode) {
    uint8_t* pPixels = m_buffer.data() + kPixelsAt;
    if (nMode == kImageModeCompressed) {
        // Only a reference of this very size can be decoded against.
        if (!m_reference.empty() && m_nReferenceWidth == m_nWidth &&
            m_nReferenceHeight == m_nHeight) {
            const std::vector<uint8_t> received(pPixels, pPixels + m_nPixelBytes);
            m_shell.Decompress(pPixels, m_imageHeader.data(), m_reference.data(), received.data(),
                               int(m_nHeight));
        }
        m_reference.clear();
        return;
    }
    if (nMode == kImageModePlain0 || nMode == kImageModePlain1 || nMode == kImageModeReference)
        m_reference.clear();
    if (nMode == kImageModeReference) {
        m_reference.assign(pPixels, pPixels + m_nPixelBytes);
        m_nReferenceWidth = m_nWidth;
        m_nReferenceHeight = m_nHeight;
    }
}

int CImageReadout::ReadBoxStream() {
    int nCode = m_transport.OpenUsbDevice();
    if (nCode != kOk)
        return nCode;
    auto finish = [&](int n) {
        const int nClose = m_transport.CloseUsbDevice();
        return n != kOk ? n : nClose;
    };
    uint8_t first[kBoxFirstRead];
    size_t nGot = 0;
    nCode = m_transport.ReadBoxStream(first, sizeof first, nGot);
    if (nCode != kOk)
        return finish(nCode);
    if (nGot < kAtBoxHeight + 4 || first[0] != 'B' || first[1] != 'M')
        return finish(kWrongReply);
    CByteReader reader(first, nGot);
    const int32_t nWidth = static_cast<int32_t>(reader.U32Le(kAtBoxWidth));
    const int32_t nHeight = static_cast<int32_t>(reader.U32Le(kAtBoxHeight));
    if (nWidth <= 0 || nHeight <= 0)
        return finish(kWrongReply);
    const uint64_t nPixels = uint64_t(nWidth) * uint64_t(nHeight);
    const bool bPolled = (m_transport.Link().m_nPidBits & kPidBit0) != 0;
    const uint64_t nExpected = BoxStreamSize(nPixels, bPolled);
    const uint64_t nStride = (uint64_t(nWidth) + 3) / 4 * 4;
    // The stream lands behind the 14 bytes of file header it starts with;
    // its rows, padded, must fit the bytes that follow the palette.
    if (nExpected - kFileHeaderSize > m_buffer.size() ||
        nStride * uint64_t(nHeight) > nExpected - kFileHeaderSize - kPixelsAt)
        return finish(kNoRoom);
    m_nWidth = uint32_t(nWidth);
    m_nHeight = uint32_t(nHeight);

    uint8_t* pBase = m_buffer.data();
    if (nGot > kFileHeaderSize)
        std::memcpy(pBase, first + kFileHeaderSize,
                    std::min<size_t>(nGot, nExpected) - kFileHeaderSize);
    size_t nHave = nGot;
    while (nHave < nExpected) {
        const size_t nWant = std::min<size_t>(kBoxReadPiece, nExpected - nHave);
        nCode = m_transport.ReadBoxStream(pBase + nHave - kFileHeaderSize, nWant, nGot);
        if (nCode != kOk || nGot == 0)
            break;
        nHave += nGot;
        if (nHave > kFileHeaderSize + kPixelsAt)
            Preview(int((nHave - kFileHeaderSize - kPixelsAt) / nStride), size_t(nStride), false);
    }
    // Header as ReadImage leaves it: 8 bits, 256 colours, the grey palette.
    Put16(pBase + kInfoAtBitCount, 8);
    PutU32Le(pBase + kInfoAtColoursUsed, 256);
    PutU32Le(pBase + kInfoAtImageSize, 0);
    PutU32Le(pBase + kInfoAtXPerMetre, PixelsPerMetre(m_nHeight));
    PutU32Le(pBase + kInfoAtYPerMetre, PixelsPerMetre(m_nHeight));
    bmp::PutGreyPalette(pBase + kInfoSize);
    m_nPixelBytes = size_t(nStride) * m_nHeight;
    if (nCode == kOk && nHave < nExpected)
        nCode = kEnvelopeBad; // the box stopped sending
    if (nCode != kOk)
        return finish(nCode);
    uint8_t* pPixels = pBase + kPixelsAt;
    BlankFrameEdge(pPixels, int(m_nWidth), int(m_nHeight), size_t(nStride));
    if (m_preview) {
        Preview(int(m_nHeight), size_t(nStride), true);
        m_shell.EndPreview(*m_preview, int(m_nWidth), int(m_nHeight));
    }
    ReverseRows(pPixels, size_t(nStride), int(m_nHeight));
    return finish(kOk);
}

int CImageReadout::WriteBitmap(std::string& strPath) {
    int nCode = m_files.TempFileName(kTempPrefix, kTempUnique, strPath);
    if (nCode != kOk)
        return nCode;
    const size_t nBody = kPixelsAt + m_nPixelBytes;
    std::vector<uint8_t> file(kFileHeaderSize + nBody, 0);
    file[0] = 'B';
    file[1] = 'M';
    PutU32Le(&file[2], static_cast<uint32_t>(file.size()));
    PutU32Le(&file[10], static_cast<uint32_t>(kFileHeaderSize + kPixelsAt));
    std::memcpy(&file[kFileHeaderSize], m_buffer.data(), nBody);
    nCode = m_files.WriteAll(strPath, file.data(), file.size());
    if (nCode != kOk)
        strPath.clear();
    return nCode;
}

} // namespace torvex
