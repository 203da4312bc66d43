#pragma once
// State the view keeps between commands, and the answer of one command.
#include <cstdint>
#include <optional>
#include <string>

namespace torvex {

struct SViewState {
    bool m_bBusy = false;  // set while an image transfer runs: commands are ignored
    bool m_bArmed = false; // after a successful StartAcquisition on a box or serial link
    std::string m_strSavedBoxPath;
    std::string m_strLastImagePath;
    int m_nTransferRate = 0;
    // Direct sensors: an image of the acquisition cycle is ready; Nrj of the last image.
    bool m_bImageReady = false;
    uint32_t m_nEnergy = 0;
    uint32_t m_nPixelCount = 0; // of the last image handed over
};

// RESULT (when there is one) and ERROR of a command.
struct SAnswer {
    int m_nCode = 0;
    std::optional<std::string> m_result;
};

inline SAnswer AnswerCode(int nCode) {
    return SAnswer{nCode, std::nullopt};
}
inline SAnswer AnswerText(int nCode, std::string text) {
    return SAnswer{nCode, std::move(text)};
}

} // namespace torvex
