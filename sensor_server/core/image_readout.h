#pragma once
// ReadImage (44) on the interface box and the wireless sensor: the request
// frame, then the streamed image (checksummed serial packets, optionally
// compressed against the kept reference; or the box's bitmap on USB), the
// frame edge blanked, and an 8-bit bitmap in a temporary file as RESULT.
#include "clock.h"
#include "image_files.h"
#include "image_shell.h"
#include "protocol.h"
#include "server_state.h"
#include "transport.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace torvex {

constexpr uint32_t kImageRequestLimitMs = 5000;
constexpr const char* kTempPrefix = "BMP";
constexpr unsigned kTempUnique = 1; // the same file for every ReadImage
constexpr int kPreviewWidth = 100;
constexpr int kPreviewRowStep = 4; // draw when more than this many new rows came

// Row and edge handling, on rows nStride bytes apart.
void ReverseRows(uint8_t* pPixels, size_t nStride, int nHeight);
// The first and last height/200 rows, and the first and last width/200 bytes
// of every row, become 0.
void BlankFrameEdge(uint8_t* pPixels, int nWidth, int nHeight, size_t nStride);

// One parsed serial packet header.
struct SPacketHeader {
    bool m_bValid = false;
    uint16_t m_nLength = 0;
};
SPacketHeader ParsePacketHeader(const uint8_t* pHeader);

class CImageReadout {
public:
    CImageReadout(CTransport& transport, IImageFiles& files, IImageShell& shell, SViewState& view);

    // RESULT = the temporary bitmap's path; ERROR as the stream ended.
    SAnswer ReadImage(uint8_t nMode, const std::optional<SPreview>& preview);

    bool HasReference() const { return !m_reference.empty(); }

private:
    int RequestImage(uint8_t nMode);
    int ReadSerialStream(uint8_t nMode);
    // The 50-byte image header of the first packet: size, kept copy, info
    // header. 0, kNoRoom or kWrongReply (a zero divisor).
    int TakeImageHeader(const uint8_t* pPacket, size_t nLength, uint8_t nMode, size_t nRoom);
    int ReadBoxStream();
    void Decode(uint8_t nMode);
    void Preview(int nRows, size_t nStride, bool bForce);
    int WriteBitmap(std::string& strPath);
    void FillInfo(uint32_t nWidth, uint32_t nHeight);

    CTransport& m_transport;
    IClock& m_clock;
    IImageFiles& m_files;
    IImageShell& m_shell;
    SViewState& m_view;

    // Kept between commands: the last serial image header and the reference
    // image of the last mode-17 image.
    std::array<uint8_t, proto::kImageHeaderSize> m_imageHeader{};
    std::vector<uint8_t> m_reference;
    uint32_t m_nReferenceWidth = 0, m_nReferenceHeight = 0;

    // Per command.
    std::vector<uint8_t> m_buffer;
    uint32_t m_nWidth = 0, m_nHeight = 0;
    size_t m_nPixelBytes = 0; // pixel bytes the bitmap file carries
    std::optional<SPreview> m_preview;
    int m_nRowsDrawn = 0;
};

} // namespace torvex
