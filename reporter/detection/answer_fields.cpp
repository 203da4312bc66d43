#include "answer_fields.h"

#include <cwctype>
#include <limits>

namespace ostrel {

std::wstring AnswerField(const std::wstring& answer, unsigned n) {
    if (n == 0)
        return {};
    size_t nStart = 0;
    for (unsigned i = 1; i < n; ++i) {
        const size_t nSep = answer.find(L';', nStart);
        if (nSep == std::wstring::npos)
            return {};
        nStart = nSep + 1;
    }
    const size_t nEnd = answer.find(L';', nStart);
    return answer.substr(nStart, nEnd == std::wstring::npos ? std::wstring::npos : nEnd - nStart);
}

int32_t ReadDecimal(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i])))
        ++i;
    bool bNegative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        bNegative = text[i++] == L'-';
    int64_t nValue = 0;
    constexpr int64_t kLimit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        nValue = nValue * 10 + (text[i] - L'0');
        if (nValue > kLimit)
            nValue = kLimit;
    }
    if (bNegative)
        return static_cast<int32_t>(-nValue);
    return static_cast<int32_t>(nValue >= kLimit ? kLimit - 1 : nValue);
}

} // namespace ostrel
