#include "guard.h"

namespace ostrel {

void WriteDebugOutput(const char*) noexcept {}

} // namespace ostrel
