#include "box_simulator.h"

#include <algorithm>
#include <cctype>

namespace torvex::sim {

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

CBoxSimulator::CBoxSimulator(const std::string& strPid, CSensorModel& model, CFaultPlan& faults,
                             IClock& clock)
    : m_strPath("\\\\?\\usb#vid_1a2b&pid_" + Lower(strPid) +
                "#sim0001#{ba8043cc-6cad-45a3-859a-86b2b74b8a15}"),
      m_bPolled(strPid.rfind("123", 0) == 0 || strPid.rfind("010", 0) == 0), m_model(model),
      m_faults(faults), m_clock(clock) {
    if (m_bPolled)
        m_model.Setup().m_nFirmwareTag = proto::kFirmwareTagPolled;
}

int CBoxSimulator::Write(const uint8_t* pFrame) {
    if (m_bGone)
        return kErrDeviceNotConnected;
    if (m_faults.Has(EFault::Gone) && m_nExchanges >= m_faults.ArgOf(EFault::Gone)) {
        m_bGone = true;
        return kErrDeviceNotConnected;
    }
    ++m_nExchanges;
    CFrame frame;
    std::copy(pFrame, pFrame + 8, frame.begin());
    if (CommandWord(frame) == proto::kWordImageRequest) {
        const SSensorSetup& setup = m_model.Setup();
        m_image = SensorImage(setup.m_nImageWidth, setup.m_nImageHeight, m_nImages++);
        m_stream = BoxImageStream(m_image, setup.m_nImageWidth, setup.m_nImageHeight, m_bPolled);
        m_nStreamAt = 0;
        uint32_t nCut = 0;
        if (m_faults.Take(EFault::Cut, frame, &nCut) && nCut < m_stream.size())
            m_stream.resize(nCut);
    }
    CFrame reply{};
    const bool bAnswers = m_model.Answer(frame, reply);
    // A polled box answers every frame: frames without data are echoed.
    m_bPending = bAnswers || m_bPolled;
    if (!bAnswers)
        reply = frame;
    m_bSilent = m_faults.Take(EFault::Silent, frame);
    m_faults.ApplyToReply(frame, reply);
    uint32_t nLate = 0;
    m_faults.Take(EFault::Late, frame, &nLate);
    m_reply = reply;
    m_nDueAt = m_clock.NowMs() + nLate;
    return 0;
}

int CBoxSimulator::Read(uint8_t* pFrame) {
    if (m_bGone)
        return kErrDeviceNotConnected;
    if (m_bPolled) {
        const bool bDue = m_bPending && !m_bSilent && m_clock.NowMs() >= m_nDueAt;
        const CFrame none{};
        const CFrame& out = bDue ? m_reply : none;
        std::copy(out.begin(), out.end(), pFrame);
        return 0;
    }
    if (!m_bPending || m_bSilent)
        return kErrSemTimeout; // the driver gives up on a box that says nothing
    const uint64_t nNow = m_clock.NowMs();
    if (nNow < m_nDueAt)
        m_clock.SleepMs(static_cast<uint32_t>(m_nDueAt - nNow));
    m_bPending = false;
    std::copy(m_reply.begin(), m_reply.end(), pFrame);
    return 0;
}

int CBoxSimulator::ReadStream(uint8_t* pBuffer, size_t nSize, size_t& nDone) {
    nDone = 0;
    if (m_bGone)
        return kErrDeviceNotConnected;
    if (m_nStreamAt >= m_stream.size())
        return kErrSemTimeout; // nothing more comes: the driver gives up
    nDone = std::min(nSize, m_stream.size() - m_nStreamAt);
    std::copy_n(m_stream.begin() + m_nStreamAt, nDone, pBuffer);
    m_nStreamAt += nDone;
    return 0;
}

} // namespace torvex::sim
