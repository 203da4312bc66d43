#pragma once
// Time for the exchanges' time limits and pauses. Tests drive a fake clock so
// that limits of seconds pass without waiting.
#include <cstdint>

namespace torvex {

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds since an arbitrary start; never goes back.
    virtual uint64_t NowMs() = 0;
    virtual void SleepMs(uint32_t nMs) = 0;
};

} // namespace torvex
