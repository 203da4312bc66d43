// libFuzzer target: arbitrary datagrams through the listener into a table.
// Every input is one datagram; a run of inputs shares one table, so that
// what one datagram leaves cannot leak into the decoding of the next.
#include "plate_scanner_listener.h"

#include <cstdlib>
#include <cstring>

using namespace ostrel;

namespace {

class CFuzzPort : public IDatagramPort {
public:
    const uint8_t* m_pData = nullptr;
    size_t m_nSize = 0;
    bool Startup(int&) override { return true; }
    void Cleanup() override {}
    bool Listen(const std::string&, uint16_t, uintptr_t, unsigned, int&) override { return true; }
    int Receive(uint8_t* buffer, size_t size) override {
        if (m_nSize > size)
            return -1; // the platform refuses a datagram longer than the buffer
        if (m_nSize)
            std::memcpy(buffer, m_pData, m_nSize);
        return static_cast<int>(m_nSize);
    }
    void Close() override {}
    bool IsOpen() const override { return true; }
};

CFuzzPort g_port;
CPlateScannerListener g_listener(g_port);
SPlateScannerTable g_table;
long g_nInputs = 0;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (++g_nInputs % 5000 == 0)
        g_table.Clear();
    g_port.m_pData = data;
    g_port.m_nSize = size;
    const int nBefore = g_table.m_nCount;
    const SPlateScannerEntry last = nBefore ? g_table.m_entries[nBefore - 1] : SPlateScannerEntry();
    g_listener.OnDatagram(1, g_table);
    const bool bAccepted =
        size == kAnnouncementSize && CheckAnnouncement(data, size) == EAnnouncementCheck::Accepted;
    if (!bAccepted && g_table.m_nCount != nBefore)
        std::abort(); // a rejected datagram changed the table
    if (g_table.m_nCount < 0 || g_table.m_nCount > 10)
        std::abort();
    for (const SPlateScannerEntry& e : g_table.m_entries)
        if (e.m_strSerial.size() > kTextFieldSize || e.m_strIp.size() > 15)
            std::abort();
    if (bAccepted) {
        // The serial filed or found is exactly the datagram's, read up to 16 bytes.
        size_t n = 0;
        while (n < kTextFieldSize && data[announce::kSerial + n] != 0)
            ++n;
        if (g_listener.LastAnnouncement().m_strSerial.size() != n)
            std::abort();
    }
    (void)last;
    return 0;
}
