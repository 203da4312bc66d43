#include "bench_data.h"

#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace ostrel::bench {
namespace {

const char* const kModules[] = {"TORVEX", "Sensor", "USB", "Acq", "Calib", "Viewer", "Gen"};
const char* const kLevels[] = {"INFO ", "INFO ", "INFO ", "DEBUG", "WARN ", "ERROR"};
const char* const kEvents[] = {"frame acquired",    "dark image taken",    "bright image taken",
                               "link established",  "timeout waiting for", "calibration loaded",
                               "retry on endpoint", "temperature read",    "trigger armed",
                               "image written to"};

void PutLe16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v));
    s.push_back(static_cast<char>(v >> 8));
}
void PutLe32(std::string& s, uint32_t v) {
    PutLe16(s, static_cast<uint16_t>(v));
    PutLe16(s, static_cast<uint16_t>(v >> 16));
}

} // namespace

std::string MakeLog(size_t cb, uint64_t seed) {
    CRandom r(seed);
    std::string s;
    s.reserve(cb + 256);
    unsigned t = r.Below(86400) * 1000;
    char line[256];
    while (s.size() < cb) {
        t += r.Below(2500);
        const unsigned sec = t / 1000 % 86400;
        std::snprintf(line, sizeof line,
                      "2015-03-12 %02u:%02u:%02u.%03u [%s] %s %s #%u slot %u, %u ms, level %u, "
                      "0x%08X\r\n",
                      sec / 3600, sec / 60 % 60, sec % 60, t % 1000, kModules[r.Below(7)],
                      kLevels[r.Below(6)], kEvents[r.Below(10)], r.Below(100000), r.Below(4),
                      r.Below(2000), 900 + r.Below(400), static_cast<unsigned>(r.Next()));
        s += line;
    }
    s.resize(cb);
    return s;
}

std::string MakeIni(uint64_t seed) {
    CRandom r(seed);
    std::string s = "[Device]\r\n";
    char line[128];
    const unsigned n = 10 + r.Below(80);
    for (unsigned i = 0; i < n; ++i) {
        if (i % 12 == 11) {
            std::snprintf(line, sizeof line, "\r\n[Section%u]\r\n", i / 12);
            s += line;
        }
        std::snprintf(line, sizeof line, "Key%u=%u\r\nPath%u=C:\\Imaging\\Data\\%05u.dat\r\n", i,
                      r.Below(5000), i, r.Below(100000));
        s += line;
    }
    return s;
}

std::string MakeBmp(int w, int h, uint64_t seed) {
    CRandom r(seed);
    const int stride = (w * 3 + 3) & ~3;
    std::string s = "BM";
    PutLe32(s, static_cast<uint32_t>(54 + stride * h));
    PutLe32(s, 0);
    PutLe32(s, 54);
    PutLe32(s, 40);
    PutLe32(s, static_cast<uint32_t>(w));
    PutLe32(s, static_cast<uint32_t>(h));
    PutLe16(s, 1);
    PutLe16(s, 24);
    for (int i = 0; i < 6; ++i)
        PutLe32(s, 0);
    const int cx = r.Below(w), cy = r.Below(h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            const int v = 200 - d / 20 + static_cast<int>(r.Below(9));
            const char g = static_cast<char>(v < 0 ? 0 : v > 255 ? 255 : v);
            s.append(3, g);
        }
        s.append(stride - w * 3, '\0');
    }
    return s;
}

std::string MakeRawImage(int w, int h, uint64_t seed) {
    CRandom r(seed);
    // A few soft blobs (teeth, bone) on a gradient, plus noise of a few counts.
    struct SBlob {
        double x, y, rx, ry, amp;
    } blobs[6];
    for (SBlob& b : blobs)
        b = {double(r.Below(w)), double(r.Below(h)), 80.0 + r.Below(300), 80.0 + r.Below(400),
             600.0 + r.Below(1500)};
    std::string s;
    s.reserve(static_cast<size_t>(w) * h * 2);
    std::vector<double> row(w);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            row[x] = 400.0 + 0.3 * x + 0.2 * y;
        for (const SBlob& b : blobs) {
            const double dy = (y - b.y) / b.ry;
            if (dy * dy > 9)
                continue;
            for (int x = 0; x < w; ++x) {
                const double dx = (x - b.x) / b.rx;
                const double q = dx * dx + dy * dy;
                if (q < 9)
                    row[x] += b.amp * std::exp(-q);
            }
        }
        for (int x = 0; x < w; ++x) {
            const uint64_t n = r.Next();
            // Sum of three uniforms: roughly normal, about +-6 counts.
            const int noise = int(n & 7) + int((n >> 3) & 7) + int((n >> 6) & 7) - 10;
            int v = static_cast<int>(row[x]) + noise;
            v = v < 0 ? 0 : v > 4095 ? 4095 : v;
            PutLe16(s, static_cast<uint16_t>(v));
        }
    }
    return s;
}

std::string MakeGzip(size_t cb, uint64_t seed) {
    z_stream zs{};
    deflateInit2(&zs, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(cb + (4u << 20), '\0');
    zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
    zs.avail_out = static_cast<uInt>(out.size());
    uint64_t part = 0;
    while (zs.total_out < cb) {
        std::string text = MakeLog(1 << 20, seed * 1000 + part++);
        zs.next_in = reinterpret_cast<Bytef*>(&text[0]);
        zs.avail_in = static_cast<uInt>(text.size());
        deflate(&zs, Z_NO_FLUSH);
    }
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

bool WriteFile(const std::string& path, const std::string& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace ostrel::bench
