#pragma once
// The two slots of the direct (second-generation) sensors. Their USB layer
// comes with the acquisition stage; until then CNoDirectSlots answers that
// no sensor is there.
#include <string>

namespace torvex {

class IDirectSlots {
public:
    virtual ~IDirectSlots() = default;
    virtual bool HoldsSensor(int nSlot) const = 0;
    virtual std::string DevicePath(int nSlot) const = 0;
    // 0 when found; kNoSlotSensor when no sensor of that size is present.
    virtual int OpenSlot(int nSlot) = 0;
    virtual void CloseSlot(int nSlot) = 0;
    // An empty slot is opened; a slot whose device went away is closed (55).
    virtual int EnsureSlot(int nSlot) = 0;
    // Closes each slot whose device is no longer open.
    virtual void DropVanished() = 0;
};

class CNoDirectSlots final : public IDirectSlots {
public:
    bool HoldsSensor(int) const override { return false; }
    std::string DevicePath(int) const override { return std::string(); }
    int OpenSlot(int) override;
    void CloseSlot(int) override {}
    int EnsureSlot(int nSlot) override { return OpenSlot(nSlot); }
    void DropVanished() override {}
};

} // namespace torvex
