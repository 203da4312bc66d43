#include "driver_path.h"

namespace ostrel {

namespace {

wchar_t Upper(wchar_t c) {
    if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<wchar_t>(c - 0x20);
    return c;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Upper(text[i]) != Upper(prefix[i]))
            return false;
    return true;
}

} // namespace

std::wstring UpperText(std::wstring text) {
    for (wchar_t& c : text)
        c = Upper(c);
    return text;
}

std::wstring DriverFileFromImagePath(const std::wstring& imagePath,
                                     const std::wstring& windowsFolder) {
    if (StartsWithNoCase(imagePath, L"system32"))
        return windowsFolder + L"\\" + imagePath;
    if (StartsWithNoCase(imagePath, L"\\systemroot")) {
        const size_t nSlash = imagePath.find(L'\\', 2);
        if (nSlash != std::wstring::npos && nSlash > 2)
            return windowsFolder + imagePath.substr(nSlash);
    }
    return imagePath;
}

} // namespace ostrel
