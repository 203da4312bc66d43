#pragma once
// Generated stand-ins for what a support archive holds: instrument logs, raw
// 16-bit sensor images, small settings files and thumbnails, and files that
// are already compressed. Deterministic for a given seed.
#include <cstdint>
#include <string>

namespace ostrel::bench {

class CRandom {
public:
    explicit CRandom(uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

private:
    uint64_t m_state;
};

// Timestamped log text of about cb bytes.
std::string MakeLog(size_t cb, uint64_t seed);
// A settings file in INI form.
std::string MakeIni(uint64_t seed);
// A small 24-bit bitmap (a thumbnail).
std::string MakeBmp(int nWidth, int nHeight, uint64_t seed);
// A raw 16-bit grey image, little-endian: smooth anatomy-like structure with
// sensor noise, 12 bits used.
std::string MakeRawImage(int nWidth, int nHeight, uint64_t seed);
// gzip data of about cb bytes (compressed log text, as rotated logs are).
std::string MakeGzip(size_t cb, uint64_t seed);

bool WriteFile(const std::string& path, const std::string& data);

} // namespace ostrel::bench
