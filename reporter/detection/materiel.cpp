#include "materiel.h"

#include <utility>

namespace ostrel {

CMateriel::CMateriel(const SMaterielPorts& ports, std::wstring strModuleDir)
    : m_ports(ports), m_strModuleDir(std::move(strModuleDir)) {}

CMateriel::~CMateriel() {
    StopPlateScannerListener();
    // A run cut short must not leave its server behind.
    StopServer();
}

bool CMateriel::StartPlateScannerListener(uintptr_t hWnd) {
    m_plateScanners.Clear();
    m_pListener.reset(); // a listener left from an earlier start closes first
    m_pListener = std::make_unique<CPlateScannerListener>(m_ports.m_datagrams);
    return m_pListener->StartListening(hWnd);
}

int CMateriel::OnPlateScannerDatagram(uintptr_t notification) {
    if (!m_pListener)
        return 0;
    return m_pListener->OnDatagram(notification, m_plateScanners);
}

void CMateriel::StopPlateScannerListener() {
    m_pListener.reset();
}

namespace {
const std::wstring kNoText;
}

const std::wstring& CMateriel::GetPlateScannerSerial(int i) const {
    return i >= 0 && i < static_cast<int>(kPlateScannerEntries)
               ? m_plateScanners.m_entries[static_cast<size_t>(i)].m_strSerial
               : kNoText;
}

const std::wstring& CMateriel::GetPlateScannerIp(int i) const {
    return i >= 0 && i < static_cast<int>(kPlateScannerEntries)
               ? m_plateScanners.m_entries[static_cast<size_t>(i)].m_strIp
               : kNoText;
}

const std::wstring& CMateriel::GetPlateScannerFirmware(int i) const {
    return i >= 0 && i < static_cast<int>(kPlateScannerEntries)
               ? m_plateScanners.m_entries[static_cast<size_t>(i)].m_strFirmware
               : kNoText;
}

} // namespace ostrel
