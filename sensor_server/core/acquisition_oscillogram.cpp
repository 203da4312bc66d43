#include "acquisition_oscillogram.h"

#include "protocol.h"
#include "status_codes.h"

#include <algorithm>
#include <ctime>

namespace torvex {

namespace dp = proto::direct;

namespace {

constexpr uint32_t kCaptureLimitMs = 30000;
constexpr uint32_t kArmWaitMs = 10000;
constexpr uint32_t kExposureWaitMs = 2500;
constexpr uint32_t kCaptureStart = 257;
constexpr uint32_t kCaptureStop = 0;
constexpr int kStatusFailed = 21;
constexpr uint8_t kFlagWantsArm = 0x10;
constexpr uint8_t kFlagArmed = 0x08;
constexpr uint8_t kMaskArmWait = 0x48;
constexpr uint8_t kMaskExposureWait = 0x44;
constexpr size_t kLead = 50; // samples kept before the trigger
constexpr size_t kTriggerAfter = 100;
constexpr size_t kTail = 150; // samples the end is judged on
constexpr size_t kGroups = 15, kGroupSize = 10;
constexpr size_t kNameLength = 19; // "%Y%m%d-%H%M%S.osc"

// StatusOf carries a failed packet read in the state code.
bool ReadFailed(const SDeviceStatus& status) {
    return status.m_nStateCode == kNoStatusEndpoint || status.m_nStateCode == kStatusPacketShort ||
           status.m_nStateCode == kStatusReadFailed;
}

} // namespace

COscillogramCapture::COscillogramCapture(IDirectSlots& slots, IClock& clock, IShellHooks& hooks,
                                         IHandoverFiles& files, ostrel::IWallClock& wallClock)
    : m_slots(slots), m_clock(clock), m_hooks(hooks), m_files(files), m_wallClock(wallClock) {}

std::string COscillogramCapture::FileName() const {
    const std::time_t t = static_cast<std::time_t>(m_wallClock.NowSeconds());
    char text[32] = {};
    if (const std::tm* pLocal = std::localtime(&t))
        std::strftime(text, sizeof text, "%Y%m%d-%H%M%S.osc", pLocal);
    return text;
}

COscillogramCapture::EProgress COscillogramCapture::Take(const uint8_t* pSamples, size_t nSamples) {
    uint8_t* s = m_buffer.data();
    for (size_t i = 0; i < nSamples && pSamples[i] != 0 && m_nCount < m_buffer.size(); ++i)
        s[m_nCount++] = pSamples[i];
    if (!m_bTriggered) {
        if (m_nCount <= kTriggerAfter)
            return EProgress::Running;
        m_nBaseline = (s[0] + s[1] + s[2] + s[4]) / 4 + 2;
        size_t j = 0;
        for (size_t k = kLead; k + 4 <= m_nCount && !m_bTriggered; ++k) {
            if (s[k] > m_nBaseline && s[k + 1] > m_nBaseline && s[k + 2] > m_nBaseline) {
                j = k;
                m_bTriggered = true;
            }
        }
        if (!m_bTriggered)
            j = std::max(kLead, m_nCount - 3);
        const size_t nDrop = j - kLead;
        std::copy(s + nDrop, s + m_nCount, s);
        std::fill(s + m_nCount - nDrop, s + m_nCount, uint8_t{0});
        m_nCount -= nDrop;
        return EProgress::Running;
    }
    if (m_nCount <= kTail)
        return EProgress::Running;
    const uint8_t* pTail = s + m_nCount - kTail;
    int nBefore = 0;
    for (size_t k = 0; k < kGroups; ++k) {
        int nSum = 0;
        for (size_t i = 0; i < kGroupSize; ++i)
            nSum += pTail[k * kGroupSize + i];
        const int nAverage = nSum / static_cast<int>(kGroupSize);
        if (nAverage > m_nBaseline || (k > 0 && nAverage > nBefore))
            return EProgress::Running;
        nBefore = nAverage;
    }
    return EProgress::Complete;
}

SAnswer COscillogramCapture::Capture(const std::string& strFolder, int nSlot) {
    const std::string strDir = strFolder.empty() ? m_files.TempFolder() : strFolder;
    if (strDir.size() + kNameLength >= kPathLimit)
        return AnswerCode(kBadData);
    m_buffer.resize(kCaptureBufferSize);
    std::fill(m_buffer.begin(), m_buffer.end(), uint8_t{0});
    m_nCount = 0;
    m_bTriggered = false;
    m_nBaseline = 0;

    m_slots.CloseSlot(nSlot);
    SAnswer answer = AnswerText(kTimeout, std::string());
    bool bStarted = false;
    const int nConnect = m_slots.Request(dp::kReqConnect, 0, 0, nullptr, false, nSlot);
    if (nConnect != kOk)
        answer = AnswerText(nConnect, std::string());
    if (nConnect == kOk) {
        uint8_t sizes[dp::kSizesSize] = {};
        if (m_slots.Request(dp::kReqSizes, dp::kSizesSize, 0, sizes, false, nSlot) == kOk) {
            std::vector<uint8_t> identity(static_cast<size_t>(sizes[2] << 8 | sizes[3]) + 1, 0);
            (void)m_slots.Request(dp::kReqIdentity, static_cast<uint16_t>(identity.size() - 1), 0,
                                  identity.data(), false, nSlot);
        }
        SDeviceStatus status;
        auto statusTwice = [&] {
            return m_slots.StatusOf(nSlot, status) == kOk && m_slots.StatusOf(nSlot, status) == kOk;
        };
        if (!statusTwice())
            return AnswerText(kStatusFailed, std::string());
        if (status.m_nFlags & kFlagWantsArm) {
            if (m_slots.Request(dp::kReqArm, 0, 0, nullptr, false, nSlot) != kOk ||
                m_slots.WaitStatus(kMaskArmWait, kArmWaitMs, nSlot) != kOk || !statusTwice())
                return AnswerText(kStatusFailed, std::string());
        }
        if (status.m_nFlags & kFlagArmed) {
            if (m_slots.Request(dp::kReqAbort, 0, 0, nullptr, false, nSlot) != kOk ||
                m_slots.WaitStatus(kMaskExposureWait, kExposureWaitMs, nSlot) != kOk)
                return AnswerText(kStatusFailed, std::string());
        }
        const int nStartCode =
            m_slots.Request(dp::kReqOscillogramCapture, 0, kCaptureStart, nullptr, false, nSlot);
        if (nStartCode != kOk)
            answer = AnswerText(nStartCode, std::string());
        if (nStartCode == kOk) {
            bStarted = true;
            m_hooks.DefaultBeep();
            (void)m_slots.StatusOf(nSlot, status); // the packet from before the start
            const uint64_t nStart = m_clock.NowMs();
            bool bComplete = false;
            while (!bComplete && m_nCount < m_buffer.size() &&
                   m_clock.NowMs() - nStart <= kCaptureLimitMs) {
                // A failed read ends the capture with what it holds.
                if (m_slots.StatusOf(nSlot, status) != kOk || ReadFailed(status)) {
                    bComplete = true;
                    break;
                }
                bComplete =
                    Take(status.m_samples.data(), status.m_samples.size()) == EProgress::Complete;
            }
            if (bComplete || m_nCount >= m_buffer.size()) {
                const std::string strPath = strDir + FileName();
                const auto itEnd = std::find(m_buffer.begin(), m_buffer.end(), uint8_t{0});
                (void)m_files.WriteFile(strPath, std::vector<uint8_t>(m_buffer.begin(), itEnd));
                answer = AnswerText(kOk, strPath);
            }
        }
    }
    if (bStarted) {
        (void)m_slots.Request(dp::kReqOscillogramCapture, 0, kCaptureStop, nullptr, false, nSlot);
        (void)m_slots.Request(dp::kReqDisconnect, 0, 0, nullptr, false, nSlot);
    }
    m_slots.CloseSlot(nSlot);
    m_hooks.DefaultBeep();
    return answer;
}

} // namespace torvex
