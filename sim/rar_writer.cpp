#include "rar_writer.h"

#include "rar_format.h"

namespace torvex::sim {

namespace rar = ostrel::rar;

namespace {

void PutU16(std::vector<uint8_t>& out, uint16_t w) {
    out.push_back(static_cast<uint8_t>(w));
    out.push_back(static_cast<uint8_t>(w >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t n) {
    PutU16(out, static_cast<uint16_t>(n));
    PutU16(out, static_cast<uint16_t>(n >> 16));
}

// A block header whose fields after the base header are in body.
void PutHeader(std::vector<uint8_t>& out, uint8_t nType, uint16_t nFlags,
               const std::vector<uint8_t>& body) {
    std::vector<uint8_t> header;
    PutU16(header, 0); // check value, filled below
    header.push_back(nType);
    PutU16(header, nFlags);
    PutU16(header, static_cast<uint16_t>(rar::kBaseHeaderSize + body.size()));
    header.insert(header.end(), body.begin(), body.end());
    const uint16_t nCrc = rar::HeaderCrc(header.data(), header.size());
    header[rar::kAtHeadCrc] = static_cast<uint8_t>(nCrc);
    header[rar::kAtHeadCrc + 1] = static_cast<uint8_t>(nCrc >> 8);
    out.insert(out.end(), header.begin(), header.end());
}

} // namespace

std::vector<uint8_t> WriteRar(const std::vector<SRarFile>& files) {
    std::vector<uint8_t> out(rar::kMarker, rar::kMarker + rar::kMarkerSize);
    PutHeader(out, rar::kTypeArchive, 0, std::vector<uint8_t>(2 + 4, 0));
    for (const SRarFile& file : files) {
        std::vector<uint8_t> body;
        const uint32_t nSize = static_cast<uint32_t>(file.m_data.size());
        PutU32(body, nSize); // packed
        PutU32(body, nSize); // unpacked
        body.push_back(rar::kHostWin32);
        PutU32(body, rar::Crc32(file.m_data.data(), file.m_data.size()));
        PutU32(body, file.m_nDosTime);
        body.push_back(rar::kUnpackVersionStore);
        body.push_back(rar::kMethodStore);
        PutU16(body, static_cast<uint16_t>(file.m_strName.size()));
        PutU32(body, 0x20); // archive attribute
        body.insert(body.end(), file.m_strName.begin(), file.m_strName.end());
        PutHeader(out, rar::kTypeFile, rar::kFlagLongBlock, body);
        out.insert(out.end(), file.m_data.begin(), file.m_data.end());
    }
    PutHeader(out, rar::kTypeEnd, rar::kEndFlags, {});
    return out;
}

} // namespace torvex::sim
