#include "utf16.h"

#include <cstdint>

namespace ostrel {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void PutUnit(std::string& out, char16_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
}

// Walks a wide text as code points, whatever the width of wchar_t.
template <typename F> void ForEachCodePoint(const std::wstring& text, F&& fn) {
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
                char32_t lo = static_cast<char16_t>(text[i + 1]);
                if (lo >= 0xDC00 && lo <= 0xDFFF) {
                    fn(0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00), false);
                    ++i;
                    continue;
                }
            }
        }
        bool lone = c >= 0xD800 && c <= 0xDFFF;
        fn(c, lone);
    }
}

} // namespace

void AppendUtf16Le(std::string& out, const std::wstring& text) {
    // Not transcoded: lone surrogates pass through as they are.
    ForEachCodePoint(text, [&](char32_t c, bool) {
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            PutUnit(out, static_cast<char16_t>(0xD800 + (c >> 10)));
            PutUnit(out, static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            PutUnit(out, static_cast<char16_t>(c));
        }
    });
}

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t c, bool lone) {
        if (lone || c > 0x10FFFF)
            c = kReplacement;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    });
    return out;
}

std::wstring Utf8ToWide(const std::string& text) {
    std::wstring out;
    auto put = [&](char32_t c) {
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0x10000) {
                c -= 0x10000;
                out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
                out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
                return;
            }
        }
        out.push_back(static_cast<wchar_t>(c));
    };
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        uint8_t b = static_cast<uint8_t>(text[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        if (extra < 0) {
            put(kReplacement);
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? b : (b & (0x3F >> extra));
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= n || (static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (static_cast<uint8_t>(text[i + k]) & 0x3F);
        }
        static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            put(kReplacement);
            ++i;
            continue;
        }
        put(c);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

} // namespace ostrel
