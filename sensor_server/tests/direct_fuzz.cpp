// libFuzzer entry for what the direct sensors and the mailbox hand the server:
// every read of a fuzzed device (replies, data phases, status packets) and
// AccessPage's DATA and PAGE texts (build with clang++; see CMakeLists.txt).
// Calibration files and image records have targets of their own.
#include "direct_commands.h"
#include "page_request.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

using namespace torvex;

namespace {

// Input: a mode byte, then chunks of (length byte, bytes) served in order to
// the server's reads; writes always succeed.
class CFuzzDevice final : public IUsbDevice {
public:
    CFuzzDevice(const uint8_t* p, size_t n) : m_p(p), m_n(n) {}
    int DeviceCount() override { return 2; }
    bool Open(int) override { return m_bOpen = Next() != 0; }
    bool IsOpen() const override { return m_bOpen; }
    uint16_t VendorId() const override { return 0x1CE6; }
    uint16_t ProductId() const override { return 0x0001; }
    std::string DevicePath() const override { return "fuzz"; }
    bool HasEndpoint(uint8_t a) const override { return m_nMissing == 0 || a != m_nMissing; }
    void SetTimeout(uint8_t, uint32_t) override {}
    bool Transfer(uint8_t a, uint8_t* p, size_t& n) override {
        if (!(a & 0x80))
            return true;
        if (m_n == 0) {
            m_bOpen = false; // the device went away
            return false;
        }
        size_t nChunk = Next();
        if (nChunk == 0xFF)
            return false;
        nChunk = std::min({nChunk, m_n, n});
        std::copy(m_p, m_p + nChunk, p);
        m_p += nChunk;
        m_n -= nChunk;
        n = nChunk;
        return true;
    }
    void Close() override { m_bOpen = false; }

    uint8_t m_nMissing = 0;

private:
    uint8_t Next() {
        if (m_n == 0)
            return 0;
        --m_n;
        return *m_p++;
    }
    const uint8_t* m_p;
    size_t m_n;
    bool m_bOpen = false;
};

class CFuzzMaker final : public IUsbDeviceMaker {
public:
    CFuzzMaker(const uint8_t* p, size_t n) : m_p(p), m_n(n) {}
    std::unique_ptr<IUsbDevice> MakeDevice() override {
        return std::make_unique<CFuzzDevice>(m_p, m_n);
    }
    const uint8_t* m_p;
    size_t m_n;
};

class CStepClock final : public IClock {
public:
    uint64_t NowMs() override { return m_n += 5; }
    void SleepMs(uint32_t n) override { m_n += n; }
    uint64_t m_n = 0;
};

class CMapStore final : public IMailboxStore {
public:
    std::string Read(const std::string& s, const std::string& k, const std::string& d,
                     size_t nMax) override {
        auto it = m_values.find(s + "/" + k);
        return it == m_values.end() ? d : it->second.substr(0, nMax);
    }
    void Write(const std::string& s, const std::string& k, const std::string& v) override {
        m_values[s + "/" + k] = v;
    }
    void RemoveSection(const std::string&) override {}
    std::map<std::string, std::string> m_values;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::string text(reinterpret_cast<const char*>(pData), nSize);
    if (const auto request = ParsePageRequest(text)) {
        if (request->m_nLength > kPageBufferSize)
            std::abort();
    }
    if (const auto bytes = ParsePageBytes(text)) {
        if (bytes->size() > kPageBufferSize)
            std::abort();
    }
    if (nSize < 1)
        return 0;
    CFuzzMaker maker(pData + 1, nSize - 1);
    CStepClock clock;
    CDirectSlots slots(maker, clock);
    CMapStore store;
    CMailbox mailbox(store);
    SViewState view;
    CDirectCommands commands(slots, mailbox, view);
    const int nSlot = pData[0] & 1;
    store.Write("TORVEX", "PAGE", "1;2;3");
    (void)commands.ReadSensor(nSlot);
    (void)commands.ReadDeviceInfo(nSlot);
    (void)commands.ReadBox(nSlot);
    (void)commands.ReadDeviceValues(nSlot);
    (void)commands.ReadDeviceStatus(nSlot);
    (void)commands.WaitDeviceStatus("72", nSlot);
    (void)commands.AccessPage((pData[0] & 2) ? "W;5;0;0" : "R;141;1;256", nSlot);
    (void)commands.StopAcquisition(nSlot);
    // The status packets themselves, on a slot opened afresh.
    SDeviceStatus status;
    for (int i = 0; i < 3; ++i) {
        const int nCode = slots.StatusOf(nSlot, status);
        if (nCode == 0 && status.m_nStateCode < 0)
            std::abort();
    }
    (void)slots.WaitStatus(static_cast<uint8_t>(pData[0] >> 2), 200, nSlot);
    return 0;
}
