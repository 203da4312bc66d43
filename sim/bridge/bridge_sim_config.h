#pragma once
// The text that sets up one simulated bridge. Each registered device carries
// it in its "SimConfig" value, which the filter reads from its property bag.
//
//   "gen=2;chip=65;camera=none;ready=0x21;len=AA:7"
//
// Items, separated by ";" (numbers decimal or 0x hex):
//   gen=1|2            vendor interface generation (default 1)
//   chip=<n>           chip identifier, property 0x101C (default 0x20)
//   rcaddr=<n> rccode=<n> kept=<n>   properties 0x1028, 0x1027, 0x103B
//   remote=<n>,<n>...  successive values of register 0x45
//   ac97=busy          the codec never gets ready; ac97reads=<n> busy reads per command
//   camera=none        no device at the camera's address
//   div=<n> fw=<hex>.<hex> pal=0|1 serial=<8 characters>   the camera's identity
//   idle=<n> busy=<n> ready=<n> busyreads=<n>   the port values the camera drives
//   len=<command hex>:<n>   reply length byte sent for that command
// Unknown items are ignored and listed in m_unknown.
#include "bridge_chip_model.h"

#include <string>
#include <vector>

namespace bridgesim {

struct SSimSetup {
    SBridgeSetup m_bridge;
    std::vector<std::string> m_unknown;
};

SSimSetup ParseBridgeConfig(const std::string& strText);

} // namespace bridgesim
