#pragma once
// The USB device layer of the direct sensors: one device object per slot,
// opened on one interface of the sensors' driver class at a time.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace torvex {

class IUsbDevice {
public:
    virtual ~IUsbDevice() = default;
    // Present interfaces of the sensors' driver class, counted anew per call.
    virtual int DeviceCount() = 0;
    // Opens interface nIndex (closing what was open) and reads its endpoint
    // table. False when it could not be opened; nothing is open then.
    virtual bool Open(int nIndex) = 0;
    // False once closed, or once the device has gone away (a removal notice,
    // or a transfer that found no device); it then stays false until Open.
    virtual bool IsOpen() const = 0;
    virtual uint16_t VendorId() const = 0;
    virtual uint16_t ProductId() const = 0;
    // Path of the open interface; kept after the device went away.
    virtual std::string DevicePath() const = 0;
    virtual bool HasEndpoint(uint8_t nAddress) const = 0;
    // Limit of each later transfer on that endpoint, in milliseconds.
    virtual void SetTimeout(uint8_t nAddress, uint32_t nMs) = 0;
    // One transfer, direction by the address (bit 7 set: from the device).
    // nLength in: bytes to move; out: bytes moved. True only when the transfer
    // completed without error within the endpoint's limit; a short read is a
    // success with the smaller length. On false nLength may be anything and
    // the buffer may have been partly written.
    virtual bool Transfer(uint8_t nAddress, uint8_t* pBuffer, size_t& nLength) = 0;
    virtual void Close() = 0;
};

// Makes the device objects of the slots.
class IUsbDeviceMaker {
public:
    virtual ~IUsbDeviceMaker() = default;
    // A closed device object; null when no memory could be had.
    virtual std::unique_ptr<IUsbDevice> MakeDevice() = 0;
};

} // namespace torvex
