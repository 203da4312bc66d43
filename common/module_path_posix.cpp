#include "module_path.h"

namespace ostrel {

std::wstring GetRunningModulePath() {
    return std::wstring();
}

std::string GetRunningModulePathAnsi() {
    return std::string();
}

} // namespace ostrel
