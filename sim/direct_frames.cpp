#include "direct_frames.h"

#include <algorithm>

namespace torvex::sim {

namespace dp = proto::direct;

namespace {

// Flags of the status packets in each phase.
constexpr uint8_t kFlagsIdle = 0x10;    // wants the arm request
constexpr uint8_t kFlagsReady = 0x48;   // armed, waits for the abort-to-expose request
constexpr uint8_t kFlagsArmed = 0x44;   // waits for the exposure
constexpr uint8_t kFlagsExposed = 0x01; // an image is ready
constexpr uint8_t kStateImage = 0xFF;
constexpr uint8_t kSignalBase = 10;
constexpr uint8_t kSignalPulse = 120;
constexpr uint16_t kArmCapture = 257;

uint32_t Mix(uint32_t x, uint32_t y) {
    uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

void PutBe(std::vector<uint8_t>& out, uint32_t v, int nBytes) {
    for (int i = nBytes - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The capture's trigger signal: flat, a pulse, flat again.
uint8_t SignalAt(size_t k, bool bPulse) {
    return bPulse && k >= 200 && k < 300 ? kSignalPulse : kSignalBase;
}

} // namespace

SFrameGeometry GeometryOfSlot(int nSlot) {
    return nSlot == 0 ? SFrameGeometry{1000, 1500} : SFrameGeometry{1300, 1700};
}

std::vector<uint16_t> ExposureSamples(const SFrameGeometry& g) {
    std::vector<uint16_t> samples(size_t{g.m_nWidth} * g.m_nHeight);
    for (uint32_t y = 0; y < g.m_nHeight; ++y)
        for (uint32_t x = 0; x < g.m_nWidth; ++x)
            samples[size_t{y} * g.m_nWidth + x] =
                static_cast<uint16_t>(3500 + (x * 5 + y * 3) % 6000 + Mix(x, y) % 800);
    return samples;
}

std::vector<uint16_t> DarkSamples(const SFrameGeometry& g, bool bExposed) {
    std::vector<uint16_t> samples(size_t{g.m_nWidth} * g.m_nHeight);
    const uint16_t nOffset = bExposed ? kExposedDarkOffset : 0;
    for (uint32_t y = 0; y < g.m_nHeight; ++y)
        for (uint32_t x = 0; x < g.m_nWidth; ++x)
            samples[size_t{y} * g.m_nWidth + x] =
                static_cast<uint16_t>(200 + Mix(y, x) % 300 + nOffset);
    return samples;
}

std::vector<uint8_t> PackSamples(const std::vector<uint16_t>& samples) {
    std::vector<uint8_t> out;
    out.reserve(samples.size() * 14 / 8);
    for (size_t i = 0; i + 3 < samples.size(); i += 4) {
        uint64_t w = 0;
        for (size_t k = 0; k < 4; ++k)
            w = w << 14 | (samples[i + k] & 0x3FFFu);
        for (int b = 6; b >= 0; --b)
            out.push_back(static_cast<uint8_t>(w >> (8 * b)));
    }
    return out;
}

std::array<uint8_t, 1024> ExposureOscillogram() {
    std::array<uint8_t, 1024> samples{};
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<uint8_t>(i >= 60 && i < 140 ? 100 + i % 50 : 10 + i % 7);
    return samples;
}

std::array<uint8_t, 1024> DarkOscillogram(bool bExposed) {
    std::array<uint8_t, 1024> samples{};
    samples.fill(12);
    if (bExposed)
        samples[2] = 111;
    return samples;
}

bool CDirectAcquisition::Knows(uint8_t nCode) {
    switch (nCode) {
    case dp::kReqExposure:
    case dp::kReqEnergy:
    case dp::kReqOscillogramCount:
    case dp::kReqOscillogram:
    case dp::kReqRearm:
    case dp::kReqOscillogramCapture:
        return true;
    default:
        return false;
    }
}

void CDirectAcquisition::OnRequest(uint8_t nCode, uint32_t nValue) {
    switch (nCode) {
    case dp::kReqConnect:
        m_ePhase = EPhase::Idle;
        break;
    case dp::kReqArm:
        m_ePhase = EPhase::Ready;
        break;
    case dp::kReqDisconnect:
        m_ePhase = EPhase::Off;
        break;
    case dp::kReqAbort:
        if (nValue == 1)
            m_ePhase = EPhase::Ready; // an aborted exposure: armed again
        else if (m_ePhase == EPhase::AfterImage || m_ePhase == EPhase::Exposed)
            m_ePhase = EPhase::DarkArmed;
        else if (m_ePhase != EPhase::Off) {
            m_ePhase = EPhase::Armed;
            m_nPolls = 0;
        }
        break;
    case dp::kReqRearm:
        if (m_ePhase != EPhase::Off)
            m_ePhase = EPhase::DarkReady;
        break;
    case dp::kReqOscillogramCapture:
        if (nValue == kArmCapture) {
            m_ePhase = EPhase::Capture;
            m_nCaptureAt = 0;
        } else if (m_ePhase == EPhase::Capture) {
            m_ePhase = EPhase::Ready;
        }
        break;
    default:
        break;
    }
}

bool CDirectAcquisition::IncomingData(uint8_t nCode, std::vector<uint8_t>& data) const {
    switch (nCode) {
    case dp::kReqExposure:
        PutBe(data, m_setup.m_nExposure, 2);
        return true;
    case dp::kReqEnergy:
        PutBe(data, m_setup.m_nEnergy, 4);
        return true;
    case dp::kReqOscillogramCount:
        PutBe(data, m_setup.m_nOscCount, 2);
        return true;
    case dp::kReqOscillogram: {
        const auto samples =
            m_bLastDark ? DarkOscillogram(m_bLastDarkExposed) : ExposureOscillogram();
        data.assign(samples.begin(), samples.end());
        return true;
    }
    default:
        return false;
    }
}

void CDirectAcquisition::FillStatus(uint8_t* pPacket) {
    uint8_t nFlags = 0, nState = 0;
    switch (m_ePhase) {
    case EPhase::Off:
        return;
    case EPhase::Idle:
        nFlags = kFlagsIdle;
        break;
    case EPhase::Ready:
    case EPhase::AfterImage:
        nFlags = kFlagsReady;
        break;
    case EPhase::Armed:
        if (++m_nPolls > m_setup.m_nArmedPolls)
            m_ePhase = EPhase::Exposed;
        nFlags = kFlagsArmed;
        break;
    case EPhase::Exposed:
        break;
    case EPhase::DarkArmed:
    case EPhase::DarkReady:
        nFlags = kFlagsArmed;
        break;
    case EPhase::Capture:
        nFlags = kFlagsArmed;
        for (size_t i = 0; i < dp::kSamplesPerPacket; ++i)
            pPacket[dp::kAtSamples + i] = SignalAt(m_nCaptureAt++, m_setup.m_bTriggerPulse);
        break;
    }
    if (m_ePhase == EPhase::Exposed) {
        nFlags = kFlagsExposed;
        nState = kStateImage;
    }
    pPacket[dp::kAtStatusFlags] = nFlags;
    pPacket[dp::kAtStateCode] = nState;
}

bool CDirectAcquisition::ReadImage(uint8_t* pBuffer, size_t& nLength) {
    std::vector<uint8_t> frame;
    if (m_ePhase == EPhase::Exposed) {
        frame = PackSamples(ExposureSamples(m_geometry));
        m_bLastDark = false;
        m_nExposedLeft = m_setup.m_nExposedDarks;
        ++m_nImages;
    } else if (m_ePhase == EPhase::DarkReady) {
        m_bLastDark = true;
        m_bLastDarkExposed = m_nExposedLeft > 0;
        if (m_nExposedLeft > 0)
            --m_nExposedLeft;
        frame = PackSamples(DarkSamples(m_geometry, m_bLastDarkExposed));
        ++m_nDarkFrames;
    } else {
        return false;
    }
    m_ePhase = EPhase::AfterImage;
    frame.resize(frame.size() - std::min<size_t>(m_setup.m_nImageShort, frame.size()));
    if (!m_bLastDark && m_setup.m_nGoneInImage != 0 &&
        static_cast<uint32_t>(m_nImages) == m_setup.m_nGoneInImage) {
        // Half the frame reaches the host, then the transfer fails.
        m_bUnplugged = true;
        frame.resize(frame.size() / 2);
    }
    nLength = std::min(nLength, frame.size());
    std::copy(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(nLength), pBuffer);
    return !m_bUnplugged;
}

} // namespace torvex::sim
