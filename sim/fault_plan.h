#pragma once
// Misbehaviour a simulated device shows on request: per command word (or for
// every frame), for a number of frames or for ever.
#include "frame.h"

#include <cstdint>
#include <string>
#include <vector>

namespace torvex::sim {

enum class EFault {
    Busy,        // answers the busy word
    Reject,      // answers the rejected word
    Silent,      // never answers
    Wrong,       // answers another command word
    Late,        // answers after m_nArg ms
    BadEnvelope, // serial reply whose envelope kind is not a frame
    Gone,        // the device disappears after m_nArg exchanges
    // ---- image streams (rules on the request word D001) ----
    BadSum,     // packet number m_nArg (0 first) carries a wrong checksum
    ShortFirst, // the first packet holds only m_nArg bytes (under the image header)
    Cut,        // the image stream stops after m_nArg bytes (the sensor went out of reach)
};

constexpr uint16_t kAnyWord = 0xFFFF;

struct SFaultRule {
    EFault m_eKind = EFault::Busy;
    uint16_t m_wWord = kAnyWord; // command word the rule applies to
    int m_nByte2 = -1;           // and, when not -1, the frame's byte 2
    uint32_t m_nArg = 0;
    int m_nTimes = -1; // frames left; -1 for ever
};

class CFaultPlan {
public:
    void Add(const SFaultRule& rule) { m_rules.push_back(rule); }
    // The rule of this kind for the frame, consumed once when limited.
    bool Take(EFault eKind, const CFrame& frame, uint32_t* pArg = nullptr);
    bool Has(EFault eKind) const;
    uint32_t ArgOf(EFault eKind) const;
    // Busy, Reject and Wrong as the device would show them in its reply.
    void ApplyToReply(const CFrame& frame, CFrame& reply);

private:
    std::vector<SFaultRule> m_rules;
};

} // namespace torvex::sim
