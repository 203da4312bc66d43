#include "deflate_chunk.h"

#include <zlib.h>

#include <cstring>
#include <new>

namespace ostrel::zip {
namespace {

constexpr int kDeflateLevel = 8;
constexpr int kRawDeflateWindow = -15; // negative: no zlib or gzip wrapper
constexpr int kDeflateMemLevel = 8;
constexpr size_t kSyncFlushSize = 5 + 1; // empty stored block, plus a partial byte

} // namespace

// One z_stream for the compressor's lifetime, reset per chunk: initialising
// zlib for each of thousands of small files would cost more than compressing them.
struct CChunkCompressor::SState {
    z_stream zs{};
    bool bReady = false;
};

CChunkCompressor::CChunkCompressor() : m_pState(new SState) {}

CChunkCompressor::~CChunkCompressor() {
    if (m_pState->bReady)
        deflateEnd(&m_pState->zs);
}

void CChunkCompressor::Compress(SDeflateChunk& c) {
    c.bOk = false;
    c.cbOutput = 0;
    z_stream& zs = m_pState->zs;
    if (m_pState->bReady) {
        if (deflateReset(&zs) != Z_OK)
            return;
    } else {
        if (deflateInit2(&zs, kDeflateLevel, Z_DEFLATED, kRawDeflateWindow, kDeflateMemLevel,
                         Z_DEFAULT_STRATEGY) != Z_OK)
            return;
        m_pState->bReady = true;
    }
    if (c.cbDictionary &&
        deflateSetDictionary(&zs, c.pInput.get(), static_cast<uInt>(c.cbDictionary)) != Z_OK)
        return;

    // Room for the worst case up front, so one deflate call normally does it all.
    const size_t cbBound = deflateBound(&zs, static_cast<uLong>(c.cbData)) + kSyncFlushSize;
    if (c.cbOutputCapacity < cbBound) {
        uint8_t* p = new (std::nothrow) uint8_t[cbBound];
        if (!p)
            return;
        c.pOutput.reset(p);
        c.cbOutputCapacity = cbBound;
    }
    c.dwCrc =
        static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), c.Data(), static_cast<uInt>(c.cbData)));

    zs.next_in = c.Data();
    zs.avail_in = static_cast<uInt>(c.cbData);
    const int flush = c.bLast ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
        if (c.cbOutput == c.cbOutputCapacity) {
            // Past the bound: cannot happen with zlib's own figures, but grow
            // rather than fail if it does.
            const size_t cbGrown = c.cbOutputCapacity + c.cbOutputCapacity / 2 + 64;
            uint8_t* p = new (std::nothrow) uint8_t[cbGrown];
            if (!p)
                return;
            std::memcpy(p, c.pOutput.get(), c.cbOutput);
            c.pOutput.reset(p);
            c.cbOutputCapacity = cbGrown;
        }
        zs.next_out = c.pOutput.get() + c.cbOutput;
        zs.avail_out = static_cast<uInt>(c.cbOutputCapacity - c.cbOutput);
        const int rc = deflate(&zs, flush);
        c.cbOutput = c.cbOutputCapacity - zs.avail_out;
        if (rc == Z_STREAM_ERROR)
            return;
        if (c.bLast ? rc == Z_STREAM_END : zs.avail_out != 0)
            break;
        // Only a full output buffer may stop zlib short; anything else is a failure.
        if (zs.avail_out != 0 || (rc != Z_OK && rc != Z_BUF_ERROR))
            return;
    }
    c.bOk = zs.avail_in == 0;
}

} // namespace ostrel::zip
