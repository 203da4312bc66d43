#pragma once
// The device side of a first-generation sensor with its interface box: what
// it answers to each 8-byte frame, from the frame tables of the transport.
#include "frame.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace torvex::sim {

struct SSensorSetup {
    char m_cType = 'A';
    std::array<uint8_t, proto::kSensorIdSize> m_idBytes{0x00, 0x00, 0x12, 0x34,
                                                        0x56}; // sensor identity reply
    uint16_t m_wExposures = 1500;
    uint64_t m_nSerial = 0x0000001122334455ull; // in block 0; 0 for a blank block
    uint32_t m_nCounterBase = 100;
    uint32_t m_nCounterValue = 160;
    std::vector<std::pair<uint16_t, uint16_t>> m_blemish{{10, 20}, {300, 4000}};
    uint8_t m_nEndMarker = proto::kEndMarkerZero; // or kEndMarkerFull
    uint8_t m_nBattery = 204;                     // of 255
    std::array<uint8_t, proto::kBoxIdSize> m_boxId{0x00, 0x00, 0x00, 0xAB, 0xCD, 0xEF};
    uint16_t m_wBoxFirmware = 0x0213;
    uint8_t m_nFirmwareTag = 0x00; // kFirmwareTagPolled on a polled box
    std::array<uint8_t, proto::kBoxSerialHalf> m_boxSerialA{0x00, 0x00, 0x00, 0x00};
    std::array<uint8_t, proto::kBoxSerialHalf> m_boxSerialB{0x00, 0x00, 0x00, 0x00};
    uint16_t m_wOptionWord = 0x0001;
    bool m_bImageReady = false;
    // Flag and mode bytes of the first state replies, in order; after them
    // the state follows the image-ready switch and the armed flag.
    std::vector<std::array<uint8_t, 2>> m_states;
    // ---- image side ----
    int m_nImageWidth = 1000; // of the images the sensor takes
    int m_nImageHeight = 1368;
};

constexpr const char* kSimConfirmationKey = "VARNIK";

class CSensorModel {
public:
    explicit CSensorModel(const SSensorSetup& setup);

    // The device's reaction to a frame; true when it sends a reply.
    bool Answer(const CFrame& frame, CFrame& reply);

    // What tests look at.
    const std::vector<CFrame>& Received() const { return m_received; }
    bool Armed() const { return m_bArmed; }
    uint16_t Exposures() const { return m_wExposures; }
    uint16_t OptionWord() const { return m_wOptionWord; }
    const std::vector<std::pair<uint16_t, uint16_t>>& Blemish() const { return m_blemish; }
    const proto::CBlock& Block(int n) const { return m_blocks[n]; }
    int AcquisitionValue() const { return m_nAcquisitionValue; }
    SSensorSetup& Setup() { return m_setup; }

private:
    // One per frame class; each fills the reply and says whether it is sent.
    bool AnswerAcquisition(const CFrame& frame);
    bool AnswerQuery(const CFrame& frame, CFrame& reply);
    bool AnswerBoxSerial(const CFrame& frame, CFrame& reply);
    bool AnswerBlocks(const CFrame& frame, CFrame& reply);
    bool AnswerBlemish(const CFrame& frame, CFrame& reply);
    bool AnswerControl(const CFrame& frame, CFrame& reply);

    SSensorSetup m_setup;
    std::vector<CFrame> m_received;
    std::array<proto::CBlock, proto::kSensorBlocks> m_blocks{};
    std::vector<std::pair<uint16_t, uint16_t>> m_blemish;
    uint16_t m_wExposures;
    uint16_t m_wOptionWord;
    size_t m_nWordIndex = 0;
    size_t m_nStateIndex = 0;
    bool m_bUnlocked = false;
    bool m_bArmed = false;
    int m_nAcquisitionValue = 0;
};

} // namespace torvex::sim
