#include "announcement.h"

#include <cstdio>

namespace ostrel {

namespace {

// Windows-1252 0x80..0x9F; 0 where the code page has no character.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

uint16_t U16Le(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// A text field: up to kTextFieldSize bytes, shorter at its first zero.
std::wstring TextField(const uint8_t* p) {
    std::wstring text;
    for (size_t i = 0; i < kTextFieldSize && p[i] != 0; ++i)
        text += WidenAnsiChar(p[i]);
    return text;
}

std::wstring Dotted(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    char buffer[20];
    std::snprintf(buffer, sizeof buffer, "%d.%d.%d.%d", a, b, c, d);
    return std::wstring(buffer, buffer + std::char_traits<char>::length(buffer));
}

std::wstring Ascii(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

} // namespace

wchar_t WidenAnsiChar(uint8_t c) {
    if (c >= 0x80 && c < 0xA0) {
        const uint16_t w = kCp1252High[c - 0x80];
        return static_cast<wchar_t>(w ? w : c);
    }
    return static_cast<wchar_t>(c);
}

EAnnouncementCheck CheckAnnouncement(const uint8_t* data, size_t size) {
    if (size != kAnnouncementSize)
        return EAnnouncementCheck::WrongSize;
    if (U16Le(data + announce::kMarker) != kAnnouncementMarker)
        return EAnnouncementCheck::WrongMarker;
    const uint16_t nLength = U16Le(data + announce::kLength);
    const uint16_t nSwapped = static_cast<uint16_t>((nLength >> 8) | (nLength << 8));
    if (nLength != kAnnouncementSize && nSwapped != kAnnouncementSize)
        return EAnnouncementCheck::WrongLength;
    if (data[announce::kType] != kAnnouncementType)
        return EAnnouncementCheck::WrongType;
    return EAnnouncementCheck::Accepted;
}

std::wstring FirmwareText(uint8_t f0, uint8_t f1, uint8_t f2, uint8_t f3) {
    std::wstring text;
    if (f3 >= 'G' && f3 <= 'Z') {
        char number[8];
        std::snprintf(number, sizeof number, "%d", f3 - 70);
        text = Ascii(number);
        text += L'.';
        text += WidenAnsiChar(f0);
        text += L'.';
        text += WidenAnsiChar(f1);
        text += L" (";
        text += WidenAnsiChar(f2);
        text += WidenAnsiChar(f3);
        text += L')';
    } else {
        text += WidenAnsiChar(f2);
        text += WidenAnsiChar(f3);
        text += L'.';
        text += WidenAnsiChar(f0);
        text += WidenAnsiChar(f1);
    }
    const size_t nZero = text.find(L'\0');
    if (nZero != std::wstring::npos)
        text.resize(nZero);
    return text;
}

void DecodeAnnouncement(const uint8_t* d, SAnnouncement& a) {
    using namespace announce;
    a.m_strDeviceName = TextField(d + kDeviceName);
    a.m_strSerial = TextField(d + kSerial);
    a.m_strIp = Dotted(d[kIp + 3], d[kIp + 2], d[kIp + 1], d[kIp]);
    a.m_nValue53 = U16Le(d + kValue53);
    char mac[24];
    std::snprintf(mac, sizeof mac, "%02X:%02X:%02X:%02X:%02X:%02X", d[kHardwareAddress + 5],
                  d[kHardwareAddress + 4], d[kHardwareAddress + 3], d[kHardwareAddress + 2],
                  d[kHardwareAddress + 1], d[kHardwareAddress]);
    a.m_strHardwareAddress = Ascii(mac);
    a.m_strFirmware =
        FirmwareText(d[kFirmware], d[kFirmware + 1], d[kFirmware + 2], d[kFirmware + 3]);
    char version[16];
    std::snprintf(version, sizeof version, "v%d.%d", d[kVersion + 1], d[kVersion]);
    a.m_strVersion = Ascii(version);
    a.m_strAddress70 =
        Dotted(d[kAddress70 + 3], d[kAddress70 + 2], d[kAddress70 + 1], d[kAddress70]);
    a.m_strAddress74 =
        Dotted(d[kAddress74 + 3], d[kAddress74 + 2], d[kAddress74 + 1], d[kAddress74]);
    a.m_nValue88 = (static_cast<uint32_t>(d[kValue88]) << 24) |
                   (static_cast<uint32_t>(d[kValue88 + 1]) << 16) |
                   (static_cast<uint32_t>(d[kValue88 + 2]) << 8) | d[kValue88 + 3];
    a.m_nByte96 = d[kByte96];
}

} // namespace ostrel
