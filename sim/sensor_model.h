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
    std::array<uint8_t, 5> m_idBytes{0x00, 0x00, 0x12, 0x34, 0x56}; // B0 01 01 bytes 3..7
    uint16_t m_wExposures = 1500;
    uint64_t m_nSerial = 0x0000001122334455ull; // block 0 offset 80; 0 for a blank block
    uint32_t m_nCounterBase = 100;
    uint32_t m_nCounterValue = 160;
    std::vector<std::pair<uint16_t, uint16_t>> m_blemish{{10, 20}, {300, 4000}};
    uint8_t m_nEndMarker = 0x00;                                        // 0x00 or 0xFF
    uint8_t m_nBattery = 204;                                           // reply byte 7 of C0 0A
    std::array<uint8_t, 6> m_boxId{0x00, 0x00, 0x00, 0xAB, 0xCD, 0xEF}; // B0 02 01 bytes 2..7
    uint16_t m_wBoxFirmware = 0x0213;
    uint8_t m_nFirmwareTag = 0x00; // B0 02 02 byte 7; 0xB0 on a polled box
    std::array<uint8_t, 4> m_boxSerialA{0x00, 0x00, 0x00, 0x00}; // 60 01 00 bytes 4..7
    std::array<uint8_t, 4> m_boxSerialB{0x00, 0x00, 0x00, 0x00}; // 60 01 01 bytes 4..7
    uint16_t m_wOptionWord = 0x0001;
    bool m_bImageReady = false;
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
    const std::array<uint8_t, 128>& Block(int n) const { return m_blocks[n]; }
    int AcquisitionValue() const { return m_nAcquisitionValue; }
    SSensorSetup& Setup() { return m_setup; }

private:
    bool AnswerBlocks(const CFrame& frame, CFrame& reply);

    SSensorSetup m_setup;
    std::vector<CFrame> m_received;
    std::array<std::array<uint8_t, 128>, 3> m_blocks{};
    std::vector<std::pair<uint16_t, uint16_t>> m_blemish;
    uint16_t m_wExposures;
    uint16_t m_wOptionWord;
    size_t m_nWordIndex = 0;
    bool m_bUnlocked = false;
    bool m_bArmed = false;
    int m_nAcquisitionValue = 0;
};

} // namespace torvex::sim
