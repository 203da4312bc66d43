#include "module_path.h"

namespace ostrel {

std::wstring GetRunningModulePath() {
    return std::wstring();
}

} // namespace ostrel
