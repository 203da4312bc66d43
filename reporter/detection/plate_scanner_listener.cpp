#include "plate_scanner_listener.h"

namespace ostrel {

void SPlateScannerTable::File(const SAnnouncement& a) {
    for (SPlateScannerEntry& entry : m_entries) {
        if (entry.m_strSerial.empty()) {
            entry = {a.m_strSerial, a.m_strIp, a.m_strFirmware};
            break;
        }
        if (entry.m_strSerial == a.m_strSerial)
            break;
    }
    m_nCount = 0;
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (!m_entries[i].m_strSerial.empty())
            m_nCount = static_cast<int32_t>(i + 1);
}

CPlateScannerListener::CPlateScannerListener(IDatagramPort& port) : m_port(port) {
    m_bReady = m_port.Startup(m_nLastError);
}

CPlateScannerListener::~CPlateScannerListener() {
    if (m_bReady) {
        m_port.Close();
        m_port.Cleanup();
    }
}

bool CPlateScannerListener::StartListening(uintptr_t hWnd) {
    if (!m_bReady || m_port.IsOpen())
        return false;
    m_hWnd = hWnd;
    return m_port.Listen(m_strBindAddress, m_nPort, hWnd, kPlateScannerMessage, m_nLastError);
}

int CPlateScannerListener::OnDatagram(uintptr_t notification, SPlateScannerTable& table) {
    constexpr uintptr_t kReadWithoutError = 1;
    if (notification != kReadWithoutError)
        return 1;
    // One byte more than an announcement, so that a longer datagram is told apart.
    uint8_t buffer[kAnnouncementSize + 1] = {};
    const int nReceived = m_port.Receive(buffer, sizeof buffer);
    if (nReceived <= 0)
        return 1;
    if (!m_bReady ||
        CheckAnnouncement(buffer, static_cast<size_t>(nReceived)) != EAnnouncementCheck::Accepted)
        return 1;
    SAnnouncement announcement;
    DecodeAnnouncement(buffer, announcement);
    if (!m_strSerialFilter.empty() && announcement.m_strSerial != m_strSerialFilter)
        return 1;
    m_last = announcement;
    table.File(m_last);
    return 1;
}

} // namespace ostrel
