#include "direct_sensor.h"

#include <algorithm>

namespace torvex::sim {

namespace dp = proto::direct;

namespace {

constexpr uint8_t kFlagError = 0x20; // status flags: the sensor's own error bit
constexpr size_t kRequestsKept = 1u << 16;

void PutU16Be(std::vector<uint8_t>& out, uint16_t w) {
    out.push_back(static_cast<uint8_t>(w >> 8));
    out.push_back(static_cast<uint8_t>(w));
}

} // namespace

CDirectSensor::CDirectSensor(const SDirectSensorSetup& setup, IClock& clock)
    : m_setup(setup), m_clock(clock),
      m_acquisition(setup.m_acquisition, proto::direct::SlotOfCpld(setup.m_nCpld)) {}

SDirectFaultRule* CDirectSensor::Fault(EDirectFault eKind, uint8_t nCode) {
    for (SDirectFaultRule& rule : m_faults) {
        if (rule.m_eKind != eKind || rule.m_nTimes == 0)
            continue;
        if (rule.m_nRequest != -1 && rule.m_nRequest != nCode)
            continue;
        if (rule.m_nTimes > 0)
            --rule.m_nTimes;
        return &rule;
    }
    return nullptr;
}

void CDirectSensor::Receive(const dp::SPacketFields& packet) {
    if (packet.m_nCode == dp::kReqPoll && m_bPending && packet.m_nSequence == m_last.m_nSequence) {
        ++m_nPolls;
        return; // the reply read next tells how the running request stands
    }
    ++m_nRequests;
    // A server that runs for hours under the simulator keeps the recent ones.
    if (m_requests.size() >= kRequestsKept)
        m_requests.erase(m_requests.begin(), m_requests.begin() + kRequestsKept / 2);
    m_requests.push_back(SSeen{packet.m_nCode, packet.m_nValue});
    m_last = packet;
    m_bPending = true;
    m_bDataDone = packet.m_nLength == 0 || (packet.m_nLength & dp::kLengthNoData);
    m_outgoing.clear();
    m_nWorkingLeft = 0;
    m_nReplyStatus = dp::kStatusDone;
    m_bSilent = false;
    m_nShort = 0;
    if (SDirectFaultRule* pGone = Fault(EDirectFault::Gone, packet.m_nCode)) {
        if (pGone->m_nArg == 0) {
            Remove();
            return;
        }
        --pGone->m_nArg;
        if (pGone->m_nTimes == 0)
            pGone->m_nTimes = 1; // the countdown is not spent yet
    }
    if (const SDirectFaultRule* p = Fault(EDirectFault::Working, packet.m_nCode))
        m_nWorkingLeft = p->m_nArg;
    if (const SDirectFaultRule* p = Fault(EDirectFault::Status, packet.m_nCode))
        m_nReplyStatus = static_cast<uint8_t>(p->m_nArg);
    if (Fault(EDirectFault::Silent, packet.m_nCode))
        m_bSilent = true;
    m_bWrongSequence = Fault(EDirectFault::Sequence, packet.m_nCode) != nullptr;
    if (const SDirectFaultRule* p = Fault(EDirectFault::Short, packet.m_nCode))
        m_nShort = p->m_nArg;
    // ---- memory pages: a damaged page ----
    if (packet.m_nCode == dp::kReqPage && m_setup.m_nFailingPage == int64_t{packet.m_nValue})
        m_nReplyStatus = dp::kStatusFailed;
    // ---- end memory pages ----
    bool bKnown = false;
    switch (packet.m_nCode) {
    case dp::kReqVersion:
    case dp::kReqCpld:
    case dp::kReqIdentity:
    case dp::kReqSerial:
    case dp::kReqSizes:
    case dp::kReqPage:
    case dp::kReqVoltages:
    case dp::kReqConnect:
    case dp::kReqArm:
    case dp::kReqDisconnect:
    case dp::kReqAbort:
        bKnown = true;
        break;
    default:
        // writes are taken as they come
        bKnown = !(packet.m_nCode & 0x80) || CDirectAcquisition::Knows(packet.m_nCode);
    }
    if (!bKnown && m_nReplyStatus == dp::kStatusDone)
        m_nReplyStatus = dp::kStatusUnsupported;
    // ---- acquisition: only requests the sensor carries out move it ----
    if (m_nReplyStatus == dp::kStatusDone && !m_bSilent)
        m_acquisition.OnRequest(packet.m_nCode, packet.m_nValue);
}

std::vector<uint8_t> CDirectSensor::IncomingData(const dp::SPacketFields& packet) const {
    std::vector<uint8_t> data;
    // ---- acquisition ----
    if (m_acquisition.IncomingData(packet.m_nCode, data)) {
        data.resize(packet.m_nLength, 0);
        return data;
    }
    switch (packet.m_nCode) {
    case dp::kReqVersion:
        data.assign(m_setup.m_strVersion.begin(), m_setup.m_strVersion.end());
        break;
    case dp::kReqCpld:
        data.push_back(m_setup.m_nCpld);
        break;
    case dp::kReqIdentity:
        data.assign(m_setup.m_strIdentity.begin(), m_setup.m_strIdentity.end());
        break;
    case dp::kReqSerial:
        PutU16Be(data, static_cast<uint16_t>(m_setup.m_nSerial >> 16));
        PutU16Be(data, static_cast<uint16_t>(m_setup.m_nSerial));
        break;
    case dp::kReqSizes:
        PutU16Be(data, m_setup.m_wHardware);
        PutU16Be(data, static_cast<uint16_t>(m_setup.m_strIdentity.size()));
        break;
    case dp::kReqVoltages:
        for (uint16_t w : m_setup.m_voltages)
            PutU16Be(data, w);
        break;
    case dp::kReqPage: {
        const size_t nStart = static_cast<size_t>(packet.m_nValue) * packet.m_nLength;
        for (size_t i = 0; i < packet.m_nLength; ++i)
            data.push_back(nStart + i < m_setup.m_memory.size() ? m_setup.m_memory[nStart + i]
                                                                : 0xFF);
        break;
    }
    default:
        break;
    }
    data.resize(packet.m_nLength, 0);
    return data;
}

bool CDirectSensor::HostWrite(uint8_t nAddress, const uint8_t* pData, size_t& nLength) {
    if (!m_bPresent || nAddress != dp::kEpRequest)
        return false;
    if (m_bPending && !m_bDataDone && !(m_last.m_nCode & 0x80)) {
        m_outgoing.assign(pData, pData + std::min<size_t>(nLength, m_last.m_nLength));
        m_bDataDone = true;
        return true;
    }
    dp::SPacketFields packet;
    if (!dp::PacketFieldsOf(pData, nLength, packet))
        return false;
    Receive(packet);
    return true;
}

bool CDirectSensor::HostRead(uint8_t nAddress, uint8_t* pBuffer, size_t& nLength) {
    if (!m_bPresent)
        return false;
    if (nAddress == dp::kEpStatus) {
        m_clock.SleepMs(kStatusPeriodMs);
        uint8_t packet[dp::kStatusPacketSize] = {};
        const std::vector<uint8_t>& flags = m_setup.m_statusFlags;
        if (!flags.empty()) {
            packet[dp::kAtStatusFlags] = flags[std::min(m_nStatusIndex, flags.size() - 1)];
            ++m_nStatusIndex;
        }
        packet[dp::kAtStateCode] = m_setup.m_nStateCode;
        packet[dp::kAtPhotodiode] = m_setup.m_nPhotodiode;
        // ---- acquisition: its own sequence once connected ----
        // A sensor reporting an error keeps reporting it and never arms.
        const bool bInError = (packet[dp::kAtStatusFlags] & kFlagError) != 0;
        if (m_acquisition.Active() && !bInError)
            m_acquisition.FillStatus(packet);
        nLength = std::min(nLength, sizeof packet);
        std::copy(packet, packet + nLength, pBuffer);
        return true;
    }
    // ---- acquisition ----
    if (nAddress == dp::kEpImage) {
        const bool bRead = m_acquisition.ReadImage(pBuffer, nLength);
        if (m_acquisition.Unplugged())
            Remove();
        return bRead;
    }
    if (nAddress != dp::kEpReply || !m_bPending)
        return false;
    if (!m_bDataDone && (m_last.m_nCode & 0x80)) {
        std::vector<uint8_t> data = IncomingData(m_last);
        data.resize(data.size() - std::min<size_t>(m_nShort, data.size()));
        nLength = std::min(nLength, data.size());
        std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(nLength), pBuffer);
        m_bDataDone = true;
        return true;
    }
    if (m_bSilent || nLength < dp::kReplySize)
        return false;
    pBuffer[dp::kAtReplySequence] =
        static_cast<uint8_t>(m_last.m_nSequence + (m_bWrongSequence ? 1 : 0));
    if (m_nWorkingLeft > 0) {
        --m_nWorkingLeft;
        pBuffer[dp::kAtReplyStatus] = dp::kStatusWorking;
    } else {
        pBuffer[dp::kAtReplyStatus] = m_nReplyStatus;
        m_bPending = false;
    }
    nLength = dp::kReplySize;
    return true;
}

} // namespace torvex::sim
