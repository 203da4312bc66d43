#pragma once
// The wireless sensor at the far end of its serial port: 14-byte envelopes in,
// an envelope back for every frame that has an answer. Envelopes that fail
// their checks are dropped, as the sensor does not answer garbage.
#include "clock.h"
#include "fault_plan.h"
#include "frame.h"
#include "image_source.h"
#include "sensor_model.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace torvex::sim {

class CWirelessSimulator {
public:
    CWirelessSimulator(CSensorModel& model, CFaultPlan& faults, IClock& clock);

    // Bytes from the server; partial envelopes wait for the rest.
    void Receive(const uint8_t* pData, size_t nSize);
    // Bytes due by now, at most nMax.
    size_t Take(uint8_t* pOut, size_t nMax);
    size_t Available();
    bool Gone() const { return m_bGone; }
    // Drops what is queued both ways (a purge of the port).
    void Purge();
    const CWirelessImages& Images() const { return m_images; }

private:
    void HandleEnvelope(const CEnvelope& envelope);

    CSensorModel& m_model;
    CFaultPlan& m_faults;
    IClock& m_clock;
    std::vector<uint8_t> m_inbound;
    struct SChunk {
        uint64_t m_nDueAt;
        uint8_t m_byte;
    };
    std::deque<SChunk> m_outbound;
    uint32_t m_nExchanges = 0;
    bool m_bGone = false;
    CWirelessImages m_images;
};

} // namespace torvex::sim
