#pragma once
// The images the simulated sensor takes and the two ways they leave the
// device: the box's bitmap stream on USB, and the wireless sensor's
// checksummed packets (plain, or difference-coded against the image of the
// last mode-17 request).
#include "fault_plan.h"
#include "protocol.h"

#include <cstdint>
#include <vector>

namespace torvex::sim {

// The nIndex-th image of a sensor: rows top to bottom, nWidth bytes each.
std::vector<uint8_t> SensorImage(int nWidth, int nHeight, unsigned nIndex);

// What the box sends after D0 01 m: a bitmap file of the image (rows top to
// bottom, padded to 4, behind a palette that is not grey), then filler up to
// the stream size the server expects.
std::vector<uint8_t> BoxImageStream(const std::vector<uint8_t>& image, int nWidth, int nHeight,
                                    bool bPolled);

constexpr size_t kSimPacketPayload = 60000;

class CWirelessImages {
public:
    // The packets for one request in nMode; faults apply to the request word
    // (BadSum, else ShortFirst, else Cut: the stream stops after m_nArg bytes).
    std::vector<uint8_t> Stream(uint8_t nMode, int nWidth, int nHeight, CFaultPlan& faults);
    // The last image streamed (rows top to bottom, uncoded).
    const std::vector<uint8_t>& LastImage() const { return m_last; }

private:
    unsigned m_nIndex = 0;
    std::vector<uint8_t> m_reference; // the last mode-17 image
    std::vector<uint8_t> m_last;
};

} // namespace torvex::sim
