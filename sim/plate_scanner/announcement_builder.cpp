#include "announcement_builder.h"

#include <cstdio>
#include <cstring>

namespace lumeno::sim {

std::vector<uint8_t> BuildAnnouncement(const SScannerAnnouncement& a) {
    std::vector<uint8_t> d(122, 0);
    d[0] = 122; // length, least significant byte first
    d[1] = 0;
    d[2] = 0x5A; // marker 0xA55A
    d[3] = 0xA5;
    d[4] = 1; // announcement
    const char name[] = "LUMENO-G2";
    std::memcpy(&d[5], name, sizeof name - 1);
    std::memcpy(&d[21], a.m_strSerial.data(),
                a.m_strSerial.size() < 16 ? a.m_strSerial.size() : 16);
    for (int i = 0; i < 4; ++i)
        d[37 + i] = a.m_ip[3 - i]; // least significant byte first
    d[53] = 0x34;
    d[54] = 0x12;
    const uint8_t mac[6] = {0x0E, 0x0D, 0x0C, 0x0B, 0x0A, 0x00};
    std::memcpy(&d[56], mac, 6);
    for (size_t i = 0; i < 4 && i < a.m_strFirmware.size(); ++i)
        d[62 + i] = static_cast<uint8_t>(a.m_strFirmware[i]);
    d[66] = 3;
    d[67] = 1;
    for (size_t i = 97; i < 122; ++i)
        d[i] = 0xEE; // filler the tool does not read
    switch (a.m_eForm) {
    case EForm::Valid:
        break;
    case EForm::BigEndian:
        d[0] = 0;
        d[1] = 122;
        break;
    case EForm::Short:
        d.pop_back();
        break;
    case EForm::Long:
        d.push_back(0xEE);
        break;
    case EForm::WrongMarker:
        d[2] = 0xA5;
        d[3] = 0x5A;
        break;
    case EForm::WrongType:
        d[4] = 2;
        break;
    case EForm::WrongLength:
        d[0] = 0x7B;
        break;
    }
    return d;
}

bool ParseAnnouncementItem(const std::string& item, SScannerAnnouncement& a) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t pos; (pos = item.find('/', start)) != std::string::npos; start = pos + 1)
        parts.push_back(item.substr(start, pos - start));
    parts.push_back(item.substr(start));
    if (parts.size() < 3 || parts.size() > 4 || parts[2].size() != 4)
        return false;
    a = SScannerAnnouncement();
    a.m_strSerial = parts[0];
    unsigned ip[4];
    if (std::sscanf(parts[1].c_str(), "%u.%u.%u.%u", &ip[0], &ip[1], &ip[2], &ip[3]) != 4)
        return false;
    for (int i = 0; i < 4; ++i)
        a.m_ip[i] = static_cast<uint8_t>(ip[i]);
    a.m_strFirmware = parts[2];
    if (parts.size() == 4) {
        const std::string& f = parts[3];
        if (f == "be")
            a.m_eForm = EForm::BigEndian;
        else if (f == "short")
            a.m_eForm = EForm::Short;
        else if (f == "long")
            a.m_eForm = EForm::Long;
        else if (f == "marker")
            a.m_eForm = EForm::WrongMarker;
        else if (f == "type")
            a.m_eForm = EForm::WrongType;
        else if (f == "len")
            a.m_eForm = EForm::WrongLength;
        else
            return false;
    }
    return true;
}

} // namespace lumeno::sim
