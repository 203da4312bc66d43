#pragma once
// A clock whose sleeps only move its hand: simulated devices and tests run
// seconds of device time in no time.
#include "clock.h"

namespace torvex::sim {

class CVirtualClock final : public IClock {
public:
    uint64_t NowMs() override { return m_nNow; }
    void SleepMs(uint32_t nMs) override { m_nNow += nMs; }
    void Advance(uint64_t nMs) { m_nNow += nMs; }

private:
    uint64_t m_nNow = 1000;
};

} // namespace torvex::sim
