#include "module_path.h"

#include <vector>

namespace ostrel {

std::wstring ReadModulePath(const ModulePathQuery& query) {
    std::vector<wchar_t> buffer(kModulePathInitial);
    for (;;) {
        const unsigned size = static_cast<unsigned>(buffer.size());
        const unsigned len = query(buffer.data(), size);
        if (len == 0)
            return std::wstring();
        if (len < size)
            return std::wstring(buffer.data(), len);
        if (size + kModulePathStep > kModulePathLimit)
            return std::wstring();
        buffer.resize(size + kModulePathStep);
    }
}

} // namespace ostrel
