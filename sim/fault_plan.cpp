#include "fault_plan.h"

namespace torvex::sim {

namespace {
// A Wrong fault answers with this bit of the code byte flipped.
constexpr uint8_t kWrongCodeFlip = 0x40;
} // namespace

bool CFaultPlan::Take(EFault eKind, const CFrame& frame, uint32_t* pArg) {
    const uint16_t wWord = CommandWord(frame);
    for (SFaultRule& rule : m_rules) {
        if (rule.m_eKind != eKind || rule.m_nTimes == 0)
            continue;
        if (rule.m_wWord != kAnyWord && rule.m_wWord != wWord)
            continue;
        if (rule.m_nByte2 >= 0 && rule.m_nByte2 != frame[2])
            continue;
        if (rule.m_nTimes > 0)
            --rule.m_nTimes;
        if (pArg)
            *pArg = rule.m_nArg;
        return true;
    }
    return false;
}

bool CFaultPlan::Has(EFault eKind) const {
    for (const SFaultRule& rule : m_rules)
        if (rule.m_eKind == eKind && rule.m_nTimes != 0)
            return true;
    return false;
}

uint32_t CFaultPlan::ArgOf(EFault eKind) const {
    for (const SFaultRule& rule : m_rules)
        if (rule.m_eKind == eKind)
            return rule.m_nArg;
    return 0;
}

void CFaultPlan::ApplyToReply(const CFrame& frame, CFrame& reply) {
    if (Take(EFault::Busy, frame))
        reply = proto::Frame(proto::kWordBusy);
    else if (Take(EFault::Reject, frame))
        reply = proto::Frame(proto::kWordRejected);
    else if (Take(EFault::Wrong, frame))
        reply[1] = static_cast<uint8_t>(reply[1] ^ kWrongCodeFlip);
}

} // namespace torvex::sim
