#pragma once
// An interface box on USB, as its class driver shows it: a control request
// writes a frame, another reads the answer. Boxes of the polled families
// (PID 123x, 010x) answer every frame and keep answering "nothing yet" until
// the answer is due; the others answer one read at once.
#include "clock.h"
#include "fault_plan.h"
#include "image_source.h"
#include "sensor_model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace torvex::sim {

constexpr int kErrFileNotFound = 2;
constexpr int kErrSharingViolation = 32;
constexpr int kErrSemTimeout = 121;
constexpr int kErrDeviceNotConnected = 1167;

class CBoxSimulator {
public:
    // strPid: the product id in the device path, e.g. "123A" or "5841".
    CBoxSimulator(const std::string& strPid, CSensorModel& model, CFaultPlan& faults,
                  IClock& clock);

    const std::string& DevicePath() const { return m_strPath; }
    bool Polled() const { return m_bPolled; }
    bool Present() const { return !m_bGone; }

    int Write(const uint8_t* pFrame);
    int Read(uint8_t* pFrame);
    // The bitmap stream after an image request: up to nSize bytes.
    int ReadStream(uint8_t* pBuffer, size_t nSize, size_t& nDone);
    // The last image requested (rows top to bottom).
    const std::vector<uint8_t>& LastImage() const { return m_image; }

private:
    std::string m_strPath;
    bool m_bPolled;
    CSensorModel& m_model;
    CFaultPlan& m_faults;
    IClock& m_clock;
    bool m_bGone = false;
    uint32_t m_nExchanges = 0;
    bool m_bPending = false;
    bool m_bSilent = false;
    CFrame m_reply{};
    uint64_t m_nDueAt = 0;
    // ---- image side ----
    unsigned m_nImages = 0;
    std::vector<uint8_t> m_image;
    std::vector<uint8_t> m_stream;
    size_t m_nStreamAt = 0;
};

} // namespace torvex::sim
