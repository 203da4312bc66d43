#pragma once
// Fields of a sensor-server answer and the number reading of its texts.
#include <cstdint>
#include <string>

namespace ostrel {

// Field n (from 1) of an answer split at ";". Empty fields keep their place,
// so "0;;4711" has the fields "0", "" and "4711"; a field past the last is empty.
std::wstring AnswerField(const std::wstring& answer, unsigned n);

// Decimal number as the C library's wide-string conversion reads it: leading
// blanks and a sign, digits up to the first other character, 0 without
// digits; values beyond 32 bits are clamped.
int32_t ReadDecimal(const std::wstring& text);

} // namespace ostrel
