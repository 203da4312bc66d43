#pragma once
// The identity reads every user of a direct sensor needs: request 0x88 (the
// sizes) and request 0x86 (the identity text of the length 0x88 gives).
#include "direct_slots.h"

#include <cstdint>
#include <string>

namespace torvex {

// Request 0x88: 0 or its code. On success nLength is its second word, the
// length of the identity text and of a memory page; 0 otherwise.
int ReadDirectSizes(IDirectSlots& slots, int nSlot, uint16_t& nLength);

// A request with an nLength-byte incoming data phase, as a text: the buffer
// has one zero byte more, so the text always ends. 0 or the request's code;
// the text is empty on failure.
int ReadDirectText(IDirectSlots& slots, uint8_t nCode, uint16_t nLength, int nSlot,
                   std::string& text);

// The part of an identity text before its first ";".
std::string CutIdentity(std::string text);

// Requests 0x88 and 0x86, the text cut at ";": 0 or the code of the request
// that failed. nLength is 0x88's second word (0 when it failed).
int ReadDirectIdentity(IDirectSlots& slots, int nSlot, std::string& identity, uint16_t& nLength);

} // namespace torvex
