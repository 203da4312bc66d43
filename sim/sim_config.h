#pragma once
// The simulator switch's text: which devices to simulate and how they misbehave.
//
//   TORVEX_SIM="box=123A;wireless=7;clock=virtual;fault=busy:B001"
//
// Items, separated by ";":
//   box=<pid>            a box of that product id (123, 123A, 123B, 5841, 0101, 0102)
//   wireless=<n>         port \\.\COM<n> is the simulated wireless sensor; without it
//                        serial ports are the real ones
//   clock=virtual        pauses and time limits pass without waiting
//   fault=<kind>:<word>[:<arg>[:<times>]]
//                        kind: busy, reject, silent, wrong, late (arg ms), badenv,
//                        gone (arg = exchanges before the device disappears);
//                        on the image request D001: badsum (arg = packet number),
//                        short (arg = bytes of the first packet), cut (arg = bytes
//                        of the stream before it stops); one of them per image;
//                        word: the frame's first two (or three) bytes in hex
//                        ("B003", "B00202") or "*"
//   exposures=<n> serial=<hex, up to 16 digits> blemish=<entries> marker=00|FF
//   battery=<0..255> type=<letter> ready=1 boxserial=<16 hex digits>
//   state=<ffmm>[,<ffmm>...]  flag and mode bytes (hex) of the first state replies
//   image=<w>x<h>        size of the images the sensor takes (default 1000x1368)
// Direct sensors:
//   direct=<cpld>[,<cpld>...]  one sensor per CPLD byte (hex), in interface
//                        order; bit 7 set is a slot-0 sensor ("direct=85,12": both)
//   dstatus=<ff>[,<ff>...]     flag bytes (hex) of the status packets; the last repeats
//   dstate=<code>        state code of the status packets (decimal)
//   dfault=<kind>:<request>[:<arg>[:<times>]]
//                        kind: working (arg replies), sequence, status (arg),
//                        short (arg bytes), gone (after arg requests), silent;
//                        request: the code in hex ("84") or "*"
//   dnoep=<addr>         endpoint (hex) the sensors lack
//   dexpo=<n> denergy=<n> doscount=<n>  values read with each image (decimal)
//   ddark=<n>            dark frames that see light before a clean one
//   dshort=<n>           bytes missing from every image transfer
//   darmpolls=<n>        status packets between arming and the exposure
//   dgone=<n>[,<n>...]   in sensor order: the sensor is unplugged halfway through
//                        the transfer of its n-th exposure image, and every
//                        later request on it fails ("0" or "-": never)
// Items after "direct=" apply to the sensors it names.
//   dcal=<w>x<h>[,<w>x<h>...]  in sensor order: the sensor's memory holds a
//                        calibration archive with "<identity>.FFC" of that size
//                        (SampleCalibrationFile with the sensor's index as seed);
//                        "-" leaves a sensor without one
//   dcalfail=<page>      reading that memory page fails on every sensor
// Unknown items are ignored and listed in m_unknown.
#include "direct_sensor.h"
#include "fault_plan.h"
#include "sensor_model.h"

#include <string>
#include <vector>

namespace torvex::sim {

struct SSimConfig {
    std::string m_strBoxPid;
    int m_nWirelessPort = 0; // 0: real serial ports
    bool m_bVirtualClock = false;
    std::vector<SFaultRule> m_faults;
    SSensorSetup m_setup;
    std::vector<SDirectSensorSetup> m_direct;
    std::vector<SDirectFaultRule> m_directFaults;
    std::vector<uint8_t> m_missingEndpoints;
    // Per direct sensor, "<w>x<h>" of the calibration archive in its memory.
    std::vector<std::string> m_directCalibrations;
    std::vector<std::string> m_unknown;
};

SSimConfig ParseSimConfig(const std::string& text);

} // namespace torvex::sim
