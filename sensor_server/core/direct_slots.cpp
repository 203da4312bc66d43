#include "direct_slots.h"

#include "status_codes.h"

namespace torvex {

int CNoDirectSlots::OpenSlot(int) {
    return kNoSlotSensor;
}

} // namespace torvex
