#include "version_text.h"

namespace ostrel {

bool GetFileVersionText(const std::wstring&, const SVersionTextOptions&, std::wstring& text) {
    text.clear();
    return false;
}

} // namespace ostrel
