#include "fault_plan.h"

namespace torvex::sim {

bool CFaultPlan::Take(EFault eKind, const uint8_t* pFrame, uint32_t* pArg) {
    const uint16_t wWord = static_cast<uint16_t>(pFrame[0] | (pFrame[1] << 8));
    for (SFaultRule& rule : m_rules) {
        if (rule.m_eKind != eKind || rule.m_nTimes == 0)
            continue;
        if (rule.m_wWord != kAnyWord && rule.m_wWord != wWord)
            continue;
        if (rule.m_nByte2 >= 0 && rule.m_nByte2 != pFrame[2])
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
    if (Take(EFault::Busy, frame.data()))
        reply = MakeFrame(0xF0, 0x02);
    else if (Take(EFault::Reject, frame.data()))
        reply = MakeFrame(0xF0, 0x01);
    else if (Take(EFault::Wrong, frame.data()))
        reply[1] = static_cast<uint8_t>(reply[1] ^ 0x40);
}

} // namespace torvex::sim
