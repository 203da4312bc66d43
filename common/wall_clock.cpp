#include "wall_clock.h"

#include <ctime>

namespace ostrel {
namespace {

class CSystemWallClock final : public IWallClock {
public:
    long long NowSeconds() override { return static_cast<long long>(std::time(nullptr)); }
};

} // namespace

IWallClock& SystemWallClock() {
    static CSystemWallClock s_clock;
    return s_clock;
}

} // namespace ostrel
