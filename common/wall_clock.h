#pragma once
// The calendar clock of portable code: whatever reads the time of day or
// measures an elapsed time in whole seconds asks this port, so that tests
// can let time pass.
namespace ostrel {

class IWallClock {
public:
    virtual ~IWallClock() = default;
    // Seconds since 1970-01-01 00:00 UTC, as std::time gives them.
    virtual long long NowSeconds() = 0;
};

// std::time of the machine.
IWallClock& SystemWallClock();

} // namespace ostrel
