#pragma once
// The direct sensors' USB device layer on the platform's USB stack: SetupAPI
// finds the interfaces of the sensors' driver class, the device file is
// opened overlapped, and WinUSB reads the descriptors and moves the data.
#include "usb_device.h"

namespace torvex {

class CWin32UsbDeviceMaker final : public IUsbDeviceMaker {
public:
    std::unique_ptr<IUsbDevice> MakeDevice() override;
};

} // namespace torvex
