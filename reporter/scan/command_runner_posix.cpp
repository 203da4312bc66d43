// The host build runs no Windows command: every start fails as a missing
// program would.
#include "command_runner.h"

namespace ostrel {
namespace {

class CNoLauncher : public IProcessLauncher {
public:
    SCommandOutcome RunProcess(const std::wstring&, unsigned) override { return {}; }
    SCommandOutcome RunInterpreter(const std::wstring&, unsigned) override { return {}; }
};

} // namespace

IProcessLauncher& SystemProcessLauncher() {
    static CNoLauncher s_launcher;
    return s_launcher;
}

} // namespace ostrel
