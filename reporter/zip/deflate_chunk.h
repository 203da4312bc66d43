#pragma once
// One chunk of a deflated entry. Large entries are cut into chunks of a fixed
// size so that several threads can compress them at once; the chunks' outputs,
// joined in order, form one raw DEFLATE stream:
// - each chunk is primed with the 32 KiB of input that precede it, so matches
//   reach back across the cut as they would in one stream;
// - every chunk but the last ends with a sync flush (an empty stored block), so
//   it stops on a byte boundary with no final block;
// - the last chunk is finished.
// The cuts depend only on the data (every cbChunk bytes), never on timing or
// on the number of threads, so the stream is the same however it was made.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace ostrel::zip {

constexpr size_t kDeflateWindow = 32 * 1024; // what a back reference can reach

// Chunk size of the product, chosen by measurement (bench/zip_bench): the
// joined streams of the support set are 0.05 % larger than one stream per entry
// (1 MiB chunks: 0.01 %), and an entry of a few MiB still splits into enough
// chunks that no core idles long at its end.
constexpr size_t kDeflateChunkSize = 128 * 1024;

struct SDeflateChunk {
    // Input: the dictionary (up to kDeflateWindow bytes that precede the chunk)
    // followed by the chunk's own data. Capacity kDeflateWindow + cbChunk.
    std::unique_ptr<uint8_t[]> pInput;
    size_t cbDictionary = 0;
    size_t cbData = 0;
    bool bLast = false;

    // Result: the compressed bytes, the CRC-32 of the chunk's data, and whether
    // the compressor succeeded. Output capacity grows as needed and is kept.
    std::unique_ptr<uint8_t[]> pOutput;
    size_t cbOutputCapacity = 0;
    size_t cbOutput = 0;
    uint32_t dwCrc = 0;
    bool bOk = false;

    // Set by the pool that compresses the chunk; guarded by its lock.
    bool bDone = true;

    const uint8_t* Data() const { return pInput.get() + cbDictionary; }
    uint8_t* Data() { return pInput.get() + cbDictionary; }
};

// A raw deflate compressor at level 8, reused chunk after chunk. One thread at
// a time.
class CChunkCompressor {
public:
    CChunkCompressor();
    ~CChunkCompressor();
    CChunkCompressor(const CChunkCompressor&) = delete;
    CChunkCompressor& operator=(const CChunkCompressor&) = delete;

    // Compresses chunk.Data() and fills the result fields. bOk is false when
    // zlib fails or memory runs out; the other result fields are then
    // unspecified. Never throws.
    void Compress(SDeflateChunk& chunk);

private:
    struct SState;
    std::unique_ptr<SState> m_pState;
};

} // namespace ostrel::zip
