#pragma once
// Result codes the server answers in ERROR. Codes other than these are the
// platform's own error codes, passed through unchanged.

namespace torvex {

enum EStatus : int {
    kOk = 0,
    kBadValue = 1,        // value out of range
    kFileMissing = 2,     // FilterImage source absent
    kNoRoom = 8,          // image larger than its buffer, or a first packet too short
    kNoDirectSensor = 10, // direct-only command without a direct sensor
    kBadData = 11,        // malformed DATA of a direct command
    kEnvelopeBad = 13,    // serial reply failed its envelope checks
    kAlreadyArmed = 21,
    kFirstRequestFailed = 21, // a direct identity read whose first request failed
    kRejected = 22,           // device rejected the frame; unknown command number
    kWrongReply = 30,         // device answered another frame
    kNoSlotSensor = 55,
    kBusy = 170,
    kNotImplemented = 120, // command of a later stage of the server
    kIoPending = 997,      // serial write or read not done in time
    kIoIncomplete = 996,   // overlapped request still running
    kLinkKindBad = 1117,
    kLinkPathMissing = 1118,
    kNoMoreDevices = 1168,
    kTimeout = 1460,
    kNoLink = 4319,

    // Direct-sensor transport.
    kNoStatusEndpoint = 224,
    kStatusPacketShort = 225, // too short to carry flags, state code and photodiode
    kStatusReadFailed = 226,
    kStatusWaitTimeout = 239,
    kNoDeviceMemory = 648,
    kMissingEndpoint = 774,    // or reply status 2
    kDeviceUnsupported = 1109, // reply status 3
    kDeviceFailed = 1606,      // reply status 255
    kSequenceMismatch = 6815,
    kDeviceStatusOther = 14007,
};

} // namespace torvex
