#pragma once
// Second-generation plate scanners heard during one detection run: the table
// of up to ten scanners and the listener that fills it from announcements.
#include "announcement.h"
#include "plate_scanner_ports.h"

#include <array>
#include <string>

namespace ostrel {

constexpr unsigned kPlateScannerMessage = 0x0401; // the first user-defined message
constexpr uint16_t kPlateScannerPort = 48322;
constexpr size_t kPlateScannerEntries = 10;

struct SPlateScannerEntry {
    std::wstring m_strSerial; // empty: the entry is free
    std::wstring m_strIp;
    std::wstring m_strFirmware;
};

struct SPlateScannerTable {
    std::array<SPlateScannerEntry, kPlateScannerEntries> m_entries;
    int32_t m_nCount = 0;

    void Clear() { *this = SPlateScannerTable(); }
    // The first announcement of a scanner is kept; an eleventh scanner is dropped.
    void File(const SAnnouncement& announcement);
};

// The listener of one run: created ready or not, listens once, closes at
// destruction (socket first, then the socket library).
class CPlateScannerListener {
public:
    explicit CPlateScannerListener(IDatagramPort& port);
    ~CPlateScannerListener();
    CPlateScannerListener(const CPlateScannerListener&) = delete;
    CPlateScannerListener& operator=(const CPlateScannerListener&) = delete;

    bool StartListening(uintptr_t hWnd);
    // notification: the second parameter of the socket message. Files an
    // accepted announcement into table; always 1 (handled).
    int OnDatagram(uintptr_t notification, SPlateScannerTable& table);

    bool Ready() const { return m_bReady; }
    int LastError() const { return m_nLastError; }
    const SAnnouncement& LastAnnouncement() const { return m_last; }

private:
    IDatagramPort& m_port;
    bool m_bReady = false;
    int m_nLastError = 0;
    uint16_t m_nPort = kPlateScannerPort;
    std::string m_strBindAddress = "0.0.0.0";
    std::wstring m_strSerialFilter; // always empty: every scanner passes
    uintptr_t m_hWnd = 0;
    SAnnouncement m_last;
};

} // namespace ostrel
