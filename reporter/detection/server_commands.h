#pragma once
// Command numbers of the sensor server that the reporter sends, and the
// names of its mailbox.
namespace ostrel::server {

enum ECommand : unsigned {
    DetectUsb = 10,
    DetectWireless = 11,
    DetectUsbNext = 12,
    InitLink = 20,
    StopLink = 21,
    StartAcquisitionMode2 = 30,
    ReadSensor = 40,
    ReadBox = 41,
    ReadLinkType = 43,
    ReadBattery = 46,
    ReadDeviceStatus = 210,
    ReadDeviceInfo = 213,
    ReadDeviceValues = 214,
};

inline constexpr wchar_t kWindowClass[] = L"TORVEX_WND";
inline constexpr wchar_t kCommandMessage[] = L"TORVEX_COMMAND";
inline constexpr wchar_t kSection[] = L"TORVEX";
inline constexpr wchar_t kReady[] = L"READY";
inline constexpr wchar_t kResult[] = L"RESULT";
inline constexpr wchar_t kData[] = L"DATA";
inline constexpr wchar_t kMailboxName[] = L"TORVEX.INI";
inline constexpr wchar_t kProgramName[] = L"TORVEX.EXE";

} // namespace ostrel::server
