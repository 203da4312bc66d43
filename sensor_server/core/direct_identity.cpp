#include "direct_identity.h"

#include "byte_reader.h"
#include "protocol.h"
#include "status_codes.h"

#include <vector>

namespace torvex {

namespace dp = proto::direct;

int ReadDirectSizes(IDirectSlots& slots, int nSlot, uint16_t& nLength) {
    uint8_t buffer[dp::kSizesSize + 1] = {};
    const int nCode = slots.Request(dp::kReqSizes, dp::kSizesSize, 0, buffer, false, nSlot);
    CByteReader reader(buffer, dp::kSizesSize);
    nLength = nCode == kOk ? reader.U16Be(dp::kAtIdentityLength) : 0;
    return nCode;
}

int ReadDirectText(IDirectSlots& slots, uint8_t nCode, uint16_t nLength, int nSlot,
                   std::string& text) {
    std::vector<uint8_t> buffer(static_cast<size_t>(nLength) + 1, 0);
    const int nResult = slots.Request(nCode, nLength, 0, buffer.data(), false, nSlot);
    text =
        nResult == kOk ? std::string(reinterpret_cast<const char*>(buffer.data())) : std::string();
    return nResult;
}

std::string CutIdentity(std::string text) {
    const size_t nEnd = text.find(dp::kIdentityEnd);
    if (nEnd != std::string::npos)
        text.resize(nEnd);
    return text;
}

int ReadDirectIdentity(IDirectSlots& slots, int nSlot, std::string& identity, uint16_t& nLength) {
    identity.clear();
    int nCode = ReadDirectSizes(slots, nSlot, nLength);
    if (nCode != kOk)
        return nCode;
    nCode = ReadDirectText(slots, dp::kReqIdentity, nLength, nSlot, identity);
    identity = CutIdentity(identity);
    return nCode;
}

} // namespace torvex
