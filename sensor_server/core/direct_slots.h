#pragma once
// The two slots of the direct (second-generation) sensors: which sensor
// sits in which slot, their locks, and every request, data phase and status
// packet that travels to them.
#include "clock.h"
#include "usb_device.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace torvex {

// What a status packet says.
struct SDeviceStatus {
    // State code (byte 1), or the code of a failed read (224, 225, 226).
    int m_nStateCode = 0;
    uint8_t m_nFlags = 0;      // byte 0
    uint8_t m_nPhotodiode = 0; // byte 4
    std::array<uint8_t, 58> m_samples{};
};

// The slots as the commands see them; tests fake it.
class IDirectSlots {
public:
    virtual ~IDirectSlots() = default;
    virtual bool HoldsSensor(int nSlot) const = 0;
    virtual std::string DevicePath(int nSlot) const = 0;
    // 0 when found; kNoSlotSensor when no sensor of that size is present,
    // or when the slot already holds one.
    virtual int OpenSlot(int nSlot) = 0;
    virtual void CloseSlot(int nSlot) = 0;
    // An empty slot is opened; a slot whose device went away is closed (55).
    virtual int EnsureSlot(int nSlot) = 0;
    // Closes each slot whose device is no longer open.
    virtual void DropVanished() = 0;
    // One request: the packet, a data phase of nLength bytes when pData is
    // given and nLength has no kLengthNoData bit (towards the sensor when
    // bOutgoing), then the reply until the sensor is done. 0 or a code;
    // pReply (when given) receives the last 2-byte reply.
    virtual int Request(uint8_t nCode, uint16_t nLength, uint32_t nValue, uint8_t* pData,
                        bool bOutgoing, int nSlot, std::array<uint8_t, 2>* pReply = nullptr) = 0;
    // EnsureSlot's code; a failed packet read shows in status.m_nStateCode.
    virtual int StatusOf(int nSlot, SDeviceStatus& status) = 0;
    // Reads packets until (flags AND mask) equals mask (0), a read fails
    // (its code), or nTimeoutMs pass (239). An empty slot answers 55.
    virtual int WaitStatus(uint8_t nMask, uint32_t nTimeoutMs, int nSlot) = 0;
    // One read of the image endpoint under the slot's lock, limited to
    // nTimeoutMs. nLength in: room; out: bytes read (a short read is a
    // success). 0, EnsureSlot's code, 774 without the endpoint, or 1460.
    virtual int ReadImageData(int nSlot, uint8_t* pBuffer, size_t& nLength,
                              uint32_t nTimeoutMs) = 0;
};

class CDirectSlots final : public IDirectSlots {
public:
    CDirectSlots(IUsbDeviceMaker& maker, IClock& clock);
    ~CDirectSlots() override;
    CDirectSlots(const CDirectSlots&) = delete;
    CDirectSlots& operator=(const CDirectSlots&) = delete;

    bool HoldsSensor(int nSlot) const override;
    std::string DevicePath(int nSlot) const override;
    int OpenSlot(int nSlot) override;
    void CloseSlot(int nSlot) override;
    int EnsureSlot(int nSlot) override;
    void DropVanished() override;
    int Request(uint8_t nCode, uint16_t nLength, uint32_t nValue, uint8_t* pData, bool bOutgoing,
                int nSlot, std::array<uint8_t, 2>* pReply = nullptr) override;
    int StatusOf(int nSlot, SDeviceStatus& status) override;
    int WaitStatus(uint8_t nMask, uint32_t nTimeoutMs, int nSlot) override;
    int ReadImageData(int nSlot, uint8_t* pBuffer, size_t& nLength, uint32_t nTimeoutMs) override;

    uint8_t Sequence() const { return m_nSequence; }

private:
    // Locks are recursive: opening a slot holds it while it asks the CPLD byte.
    struct SSlot {
        std::unique_ptr<IUsbDevice> m_pDevice;
        std::unique_ptr<std::recursive_mutex> m_pLock;
    };

    // The request on a device that is not (yet) published in a slot.
    int RequestOn(IUsbDevice& device, std::recursive_mutex& lock, uint8_t nCode, uint16_t nLength,
                  uint32_t nValue, uint8_t* pData, bool bOutgoing, std::array<uint8_t, 2>& reply);
    // One status packet into status; 0, 224, 225 or 226.
    int ReadStatusPacket(SSlot& slot, SDeviceStatus& status);
    void CloseIfGone(int nSlot);
    static bool ValidSlot(int nSlot) { return nSlot == 0 || nSlot == 1; }

    IUsbDeviceMaker& m_maker;
    IClock& m_clock;
    std::array<SSlot, 2> m_slots;
    uint8_t m_nSequence = 0; // shared by both slots
};

} // namespace torvex
