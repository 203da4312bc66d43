#pragma once
// The command numbers of "TORVEX_COMMAND" (its wParam): one list for the
// server's dispatcher and for its clients.
namespace torvex {

enum ECommand : unsigned {
    kCmdDetectUsb = 10,
    kCmdDetectWireless = 11,
    kCmdDetectUsbNext = 12,
    kCmdInitLink = 20,
    kCmdStopLink = 21,
    kCmdStartAcquisitionMode2 = 30,
    kCmdStartAcquisition = 32,
    kCmdStopAcquisition = 35,
    kCmdSetAcquisitionValue = 36,
    kCmdSetControlMode = 37,
    kCmdSetOptionBits = 38,
    kCmdReadSensor = 40,
    kCmdReadBox = 41,
    kCmdReadState = 42,
    kCmdReadLinkType = 43,
    kCmdReadImage = 44,
    kCmdReadTransferRate = 45,
    kCmdReadBattery = 46,
    kCmdWriteBlemish = 50,
    kCmdSetBlemishMode = 51,
    kCmdReadBlemish = 52,
    kCmdReadDevicePath = 200,
    kCmdCloseDevices = 201,
    kCmdReadDeviceStatus = 210,
    kCmdWaitDeviceStatus = 211,
    kCmdAccessPage = 212,
    kCmdReadDeviceInfo = 213,
    kCmdReadDeviceValues = 214,
    kCmdAcquireImage = 220,
    kCmdCaptureOscillogram = 221,
    kCmdReadEnergy = 222,
    kCmdFilterImage = 300,
    kCmdSendFrame = 4200,
};

} // namespace torvex
