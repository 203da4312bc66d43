#pragma once
// The second-generation plate scanner's announcement datagram: layout,
// validation and the texts the detection uses. Only a datagram of exactly
// kAnnouncementSize bytes is decoded; every field comes from that datagram.
#include <cstddef>
#include <cstdint>
#include <string>

namespace ostrel {

constexpr size_t kAnnouncementSize = 122;
constexpr uint16_t kAnnouncementMarker = 0xA55A; // the bytes 5A A5
constexpr uint8_t kAnnouncementType = 1;
constexpr size_t kTextFieldSize = 16;

namespace announce {
constexpr size_t kLength = 0;
constexpr size_t kMarker = 2;
constexpr size_t kType = 4;
constexpr size_t kDeviceName = 5;
constexpr size_t kSerial = kDeviceName + kTextFieldSize; // 21
constexpr size_t kIp = kSerial + kTextFieldSize;         // 37
constexpr size_t kValue53 = kIp + 4 + 12;                // 53
constexpr size_t kHardwareAddress = 56;
constexpr size_t kFirmware = 62;
constexpr size_t kVersion = 66;
constexpr size_t kAddress70 = 70;
constexpr size_t kAddress74 = 74;
constexpr size_t kValue88 = 88;
constexpr size_t kByte96 = 96;
} // namespace announce

struct SAnnouncement {
    std::wstring m_strDeviceName;
    std::wstring m_strSerial;
    std::wstring m_strIp;
    std::wstring m_strHardwareAddress;
    std::wstring m_strFirmware;
    std::wstring m_strVersion;
    std::wstring m_strAddress70;
    std::wstring m_strAddress74;
    uint16_t m_nValue53 = 0;
    uint32_t m_nValue88 = 0;
    uint8_t m_nByte96 = 0;
};

enum class EAnnouncementCheck {
    Accepted,
    WrongSize,
    WrongMarker,
    WrongLength,
    WrongType,
};

// Checks size, marker, length field (122 in either byte order) and type.
EAnnouncementCheck CheckAnnouncement(const uint8_t* data, size_t size);

// Decodes an accepted datagram; announcement is fully rewritten.
void DecodeAnnouncement(const uint8_t* data, SAnnouncement& announcement);

// "%d.%C.%C (%C%C)" when f3 is "G" to "Z", else "%C%C.%C%C" of f2 f3 f0 f1;
// the text ends at a zero character, as a C string would.
std::wstring FirmwareText(uint8_t f0, uint8_t f1, uint8_t f2, uint8_t f3);

// A character of the 8-bit text (Windows-1252) as a wide character.
wchar_t WidenAnsiChar(uint8_t c);

} // namespace ostrel
