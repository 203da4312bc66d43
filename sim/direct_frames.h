#pragma once
// What a simulated direct sensor shows while it acquires: the status
// sequence of connect, arm, exposure and dark frame, the raw 14-bit frames
// of its geometry, the values read with the image, and the trigger signal
// of an oscillogram capture.
#include "protocol.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace torvex::sim {

// Raw geometry: slot 0 1000 x 1500, slot 1 1300 x 1700.
struct SFrameGeometry {
    uint32_t m_nWidth = 0;
    uint32_t m_nHeight = 0;
};
SFrameGeometry GeometryOfSlot(int nSlot);

// The 14-bit samples of the frames the sensor takes, row by row. Dark
// frames that saw light are the clean dark frame plus kExposedDarkOffset.
std::vector<uint16_t> ExposureSamples(const SFrameGeometry& g);
std::vector<uint16_t> DarkSamples(const SFrameGeometry& g, bool bExposed);
constexpr uint16_t kExposedDarkOffset = 500;
// Four samples to seven bytes, most significant bit first.
std::vector<uint8_t> PackSamples(const std::vector<uint16_t>& samples);

// The oscillogram the sensor keeps with each image: a trigger pulse with
// the exposure image; a flat line with a clean dark frame; a flat line with
// a sample of 111 at index 2 with a dark frame that saw light.
std::array<uint8_t, 1024> ExposureOscillogram();
std::array<uint8_t, 1024> DarkOscillogram(bool bExposed);

struct SAcquisitionSetup {
    uint16_t m_nExposure = 120; // request 0x82
    uint32_t m_nEnergy = 5400;  // request 0x8E
    uint16_t m_nOscCount = 300; // request 0x90 (may claim more than 1024)
    uint32_t m_nArmedPolls = 6; // status packets between arming and the exposure
    int m_nExposedDarks = 0;    // dark frames that see light before a clean one
    uint32_t m_nImageShort = 0; // bytes missing from every image transfer
    // The sensor is unplugged halfway through the transfer of this exposure
    // image (1: the first); 0: never.
    uint32_t m_nGoneInImage = 0;
    bool m_bTriggerPulse = true; // false: the capture's signal stays flat
};

// The acquisition side of one sensor. Until a connect request, and again
// after a disconnect, the sensor shows its scripted status flags.
class CDirectAcquisition {
public:
    explicit CDirectAcquisition(const SAcquisitionSetup& setup, int nSlot)
        : m_setup(setup), m_geometry(GeometryOfSlot(nSlot)) {}

    SAcquisitionSetup& Setup() { return m_setup; }
    bool Active() const { return m_ePhase != EPhase::Off; }
    // A request the sensor accepted (code, value).
    void OnRequest(uint8_t nCode, uint32_t nValue);
    // True when this layer knows the request.
    static bool Knows(uint8_t nCode);
    // Data of an incoming request this layer answers; false when it is not one.
    bool IncomingData(uint8_t nCode, std::vector<uint8_t>& data) const;
    // A status packet while active (flags, state code, samples).
    void FillStatus(uint8_t* pPacket);
    // The image endpoint: false when no frame waits (a transfer time-out),
    // or when the sensor was unplugged during the transfer (Unplugged()).
    bool ReadImage(uint8_t* pBuffer, size_t& nLength);
    bool Unplugged() const { return m_bUnplugged; }

    int DarkFramesTaken() const { return m_nDarkFrames; }
    int ImagesTaken() const { return m_nImages; }

private:
    enum class EPhase {
        Off,
        Idle,
        Ready,
        Armed,
        Exposed,
        AfterImage,
        DarkArmed,
        DarkReady,
        Capture
    };

    SAcquisitionSetup m_setup;
    SFrameGeometry m_geometry;
    EPhase m_ePhase = EPhase::Off;
    uint32_t m_nPolls = 0;
    bool m_bLastDark = false;        // the last frame read was a dark frame
    bool m_bLastDarkExposed = false; // ... that saw light
    int m_nExposedLeft = 0;
    int m_nDarkFrames = 0;
    int m_nImages = 0;
    size_t m_nCaptureAt = 0; // next sample of the capture's signal
    bool m_bUnplugged = false;
};

} // namespace torvex::sim
