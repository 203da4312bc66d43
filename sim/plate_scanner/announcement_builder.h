#pragma once
// The scanner side of the announcement datagram: builds the 122 bytes a
// second-generation plate scanner sends, or a deliberately broken variant.
#include <cstdint>
#include <string>
#include <vector>

namespace lumeno::sim {

enum class EForm {
    Valid,       // length field little-endian (7A 00)
    BigEndian,   // length field 00 7A
    Short,       // one byte missing
    Long,        // one byte more
    WrongMarker, // A5 5A
    WrongType,   // type 2
    WrongLength, // length field 7B 00
};

struct SScannerAnnouncement {
    std::string m_strSerial;             // up to 16 characters, no terminator at 16
    uint8_t m_ip[4] = {192, 168, 0, 10}; // as written: a.b.c.d
    std::string m_strFirmware = "12LG";  // the four characters at offsets 62..65
    EForm m_eForm = EForm::Valid;
};

std::vector<uint8_t> BuildAnnouncement(const SScannerAnnouncement& a);

// "SERIAL/a.b.c.d/FWXX[/form]" with form one of be, short, long, marker,
// type, len; false when the item cannot be read.
bool ParseAnnouncementItem(const std::string& item, SScannerAnnouncement& a);

} // namespace lumeno::sim
