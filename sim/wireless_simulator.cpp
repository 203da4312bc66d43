#include "wireless_simulator.h"

#include <algorithm>

namespace torvex::sim {

CWirelessSimulator::CWirelessSimulator(CSensorModel& model, CFaultPlan& faults, IClock& clock)
    : m_model(model), m_faults(faults), m_clock(clock) {}

void CWirelessSimulator::Receive(const uint8_t* pData, size_t nSize) {
    m_inbound.insert(m_inbound.end(), pData, pData + nSize);
    for (;;) {
        // Resynchronise on the start byte.
        auto start = std::find(m_inbound.begin(), m_inbound.end(), proto::kEnvelopeStart);
        m_inbound.erase(m_inbound.begin(), start);
        if (m_inbound.size() < kEnvelopeSize)
            return;
        CEnvelope envelope;
        std::copy(m_inbound.begin(), m_inbound.begin() + kEnvelopeSize, envelope.begin());
        CFrame frame;
        if (!OpenEnvelope(envelope, frame)) {
            m_inbound.erase(m_inbound.begin()); // skip this start byte, look further
            continue;
        }
        m_inbound.erase(m_inbound.begin(), m_inbound.begin() + kEnvelopeSize);
        HandleEnvelope(envelope);
    }
}

void CWirelessSimulator::HandleEnvelope(const CEnvelope& envelope) {
    if (m_bGone)
        return;
    if (m_faults.Has(EFault::Gone) && m_nExchanges >= m_faults.ArgOf(EFault::Gone)) {
        m_bGone = true;
        return;
    }
    ++m_nExchanges;
    CFrame frame;
    OpenEnvelope(envelope, frame);
    if (CommandWord(frame) == proto::kWordImageRequest) {
        // The image request has no answer frame: the packets are the answer.
        const SSensorSetup& setup = m_model.Setup();
        std::vector<uint8_t> stream = m_images.Stream(
            frame[proto::kAtImageMode], setup.m_nImageWidth, setup.m_nImageHeight, m_faults);
        const uint64_t nDue = m_clock.NowMs();
        for (uint8_t b : stream)
            m_outbound.push_back(SChunk{nDue, b});
        return;
    }
    CFrame reply{};
    if (!m_model.Answer(frame, reply))
        return;
    if (m_faults.Take(EFault::Silent, frame))
        return;
    m_faults.ApplyToReply(frame, reply);
    CEnvelope out = BuildEnvelope(reply);
    if (m_faults.Take(EFault::BadEnvelope, frame)) {
        // Payload and sums stay right: only the header's kind is off.
        out[1] = proto::kEnvelopeKindStream;
        out[4] = SumOf(out.data(), 4);
    }
    uint32_t nLate = 0;
    m_faults.Take(EFault::Late, frame, &nLate);
    const uint64_t nDue = m_clock.NowMs() + nLate;
    for (uint8_t b : out)
        m_outbound.push_back(SChunk{nDue, b});
}

size_t CWirelessSimulator::Available() {
    const uint64_t nNow = m_clock.NowMs();
    size_t n = 0;
    while (n < m_outbound.size() && m_outbound[n].m_nDueAt <= nNow)
        ++n;
    return n;
}

size_t CWirelessSimulator::Take(uint8_t* pOut, size_t nMax) {
    const size_t n = std::min(nMax, Available());
    for (size_t i = 0; i < n; ++i) {
        pOut[i] = m_outbound.front().m_byte;
        m_outbound.pop_front();
    }
    return n;
}

void CWirelessSimulator::Purge() {
    m_inbound.clear();
    m_outbound.clear();
}

} // namespace torvex::sim
