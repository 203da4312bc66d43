#pragma once
// The device side of a second-generation direct sensor at endpoint level:
// request packets in, data phases either way, 2-byte replies, status
// packets, memory pages, and the faults it can show.
#include "clock.h"
#include "direct_frames.h"
#include "protocol.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace torvex::sim {

struct SDirectSensorSetup {
    uint8_t m_nCpld = 0x85; // bit 7 set: size 1, slot 0
    std::string m_strIdentity = "TS2-1-00071;R3";
    uint32_t m_nSerial = 71;
    std::string m_strVersion = "FW 2.04.11"; // 10 characters
    uint16_t m_wHardware = 3;                // first word of 0x88
    std::array<uint16_t, 4> m_voltages{3300, 5020, 1800, 1210};
    // Flag bytes of the status packets in order; the last one repeats.
    std::vector<uint8_t> m_statusFlags{0x08};
    uint8_t m_nStateCode = 0;
    uint8_t m_nPhotodiode = 17;
    // Memory read by pages of the requested length; page p starts at p x length.
    std::vector<uint8_t> m_memory;
    // ---- acquisition ----
    SAcquisitionSetup m_acquisition;
    // The memory page whose reads fail (reply status 255); -1 for none.
    int64_t m_nFailingPage = -1;
};

enum class EDirectFault {
    Working,  // answers "working" m_nArg times before the real reply
    Sequence, // replies with another sequence number
    Status,   // replies with status m_nArg
    Short,    // an incoming data phase m_nArg bytes short
    Gone,     // the device goes away after m_nArg requests
    Silent,   // the reply is never read (a transfer time-out)
};

struct SDirectFaultRule {
    EDirectFault m_eKind = EDirectFault::Working;
    int m_nRequest = -1; // request code, -1 for every request
    uint32_t m_nArg = 0;
    int m_nTimes = -1; // requests left; -1 for ever
};

constexpr uint32_t kStatusPeriodMs = 8; // one status packet per interrupt interval

class CDirectSensor {
public:
    CDirectSensor(const SDirectSensorSetup& setup, IClock& clock);

    void AddFault(const SDirectFaultRule& rule) { m_faults.push_back(rule); }
    bool Present() const { return m_bPresent; }
    void Remove() { m_bPresent = false; }
    const SDirectSensorSetup& Setup() const { return m_setup; }
    SDirectSensorSetup& Setup() { return m_setup; }

    // The host's side of a transfer on one endpoint; false as a failed transfer.
    bool HostWrite(uint8_t nAddress, const uint8_t* pData, size_t& nLength);
    bool HostRead(uint8_t nAddress, uint8_t* pBuffer, size_t& nLength);

    // What the sensor saw, for tests.
    int PollCount() const { return m_nPolls; }
    int RequestCount() const { return m_nRequests; }
    uint8_t LastCode() const { return m_last.m_nCode; }
    uint32_t LastValue() const { return m_last.m_nValue; }
    const std::vector<uint8_t>& LastOutgoing() const { return m_outgoing; }
    // Every request (not the polls) in order: code and value.
    struct SSeen {
        uint8_t m_nCode;
        uint32_t m_nValue;
    };
    const std::vector<SSeen>& Requests() const { return m_requests; }
    CDirectAcquisition& Acquisition() { return m_acquisition; }

private:
    void Receive(const proto::direct::SPacketFields& packet);
    std::vector<uint8_t> IncomingData(const proto::direct::SPacketFields& packet) const;
    SDirectFaultRule* Fault(EDirectFault eKind, uint8_t nCode);

    SDirectSensorSetup m_setup;
    IClock& m_clock;
    std::vector<SDirectFaultRule> m_faults;
    bool m_bPresent = true;
    proto::direct::SPacketFields m_last;
    bool m_bPending = false; // a request waits for its data phase or its reply
    bool m_bDataDone = false;
    uint32_t m_nWorkingLeft = 0;
    uint8_t m_nReplyStatus = proto::direct::kStatusDone;
    bool m_bSilent = false;
    bool m_bWrongSequence = false;
    uint32_t m_nShort = 0;
    std::vector<uint8_t> m_outgoing;
    size_t m_nStatusIndex = 0;
    int m_nPolls = 0;
    int m_nRequests = 0;
    std::vector<SSeen> m_requests;
    // ---- acquisition ----
    CDirectAcquisition m_acquisition;
};

} // namespace torvex::sim
