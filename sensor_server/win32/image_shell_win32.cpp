#include "image_shell_win32.h"

#include "image_readout.h"
#include "unique_handle.h"

#include <windows.h>

#include <cstring>

namespace torvex {

namespace {

constexpr char kCompressLibrary[] = "compress.dll";
constexpr WORD kDecodeOrdinal = 5;

using FDecode = int (*)(void* pPixels, void* pHeader, void* pReference, void* pReceived,
                        void* pPixelsAgain, int nZero, int nHeight);

int PreviewHeight(int nWidth, int nHeight) {
    return nWidth > 0 ? static_cast<int>(static_cast<long long>(nHeight) * kPreviewWidth / nWidth)
                      : 0;
}

} // namespace

void CWin32ImageShell::ErrorBeep() {
    ::MessageBeep(MB_ICONHAND);
}

void CWin32ImageShell::DrawPreview(const SPreview& at, const uint8_t* pInfo, const uint8_t* pPixels,
                                   int nWidth, int nRows, size_t nStride) {
    if (nWidth <= 0 || nRows <= 0)
        return;
    // A private copy of the header that describes just the rows that came.
    struct {
        BITMAPINFOHEADER m_header;
        RGBQUAD m_palette[256];
    } info;
    std::memcpy(&info, pInfo, sizeof info);
    info.m_header.biSize = sizeof(BITMAPINFOHEADER);
    info.m_header.biWidth = static_cast<LONG>(nStride);
    info.m_header.biHeight = nRows;
    info.m_header.biBitCount = 8;
    info.m_header.biCompression = BI_RGB;
    info.m_header.biSizeImage = 0;
    HDC hdc = ::GetDC(nullptr);
    if (!hdc)
        return;
    ::SetStretchBltMode(hdc, COLORONCOLOR);
    ::StretchDIBits(hdc, at.m_nX - kPreviewWidth / 2, at.m_nY, kPreviewWidth,
                    PreviewHeight(nWidth, nRows), 0, 0, nWidth, nRows, pPixels,
                    reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
    ::ReleaseDC(nullptr, hdc);
}

void CWin32ImageShell::EndPreview(const SPreview& at, int nWidth, int nHeight) {
    const RECT area{at.m_nX - kPreviewWidth / 2, at.m_nY, at.m_nX + kPreviewWidth / 2,
                    at.m_nY + PreviewHeight(nWidth, nHeight)};
    ::RedrawWindow(nullptr, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool CWin32ImageShell::Decompress(uint8_t* pPixels, const uint8_t* pImageHeader,
                                  const uint8_t* pReference, const uint8_t* pReceived,
                                  int nHeight) {
    ostrel::CModule library(::LoadLibraryA(kCompressLibrary));
    if (!library)
        return false;
    const auto decode = reinterpret_cast<FDecode>(
        reinterpret_cast<void*>(::GetProcAddress(library.get(), MAKEINTRESOURCEA(kDecodeOrdinal))));
    if (!decode)
        return false;
    // The library takes plain pointers; it writes only into the pixel buffer.
    decode(pPixels, const_cast<uint8_t*>(pImageHeader), const_cast<uint8_t*>(pReference),
           const_cast<uint8_t*>(pReceived), pPixels, 0, nHeight);
    return true;
}

} // namespace torvex
