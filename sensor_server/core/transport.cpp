#include "transport.h"

#include "status_codes.h"

namespace torvex {

using namespace proto;

CTransport::CTransport(SLinkState& link, IBoxPort& box, ISerialPort& serial, IClock& clock,
                       IShellHooks& hooks)
    : m_link(link), m_box(box), m_serial(serial, clock), m_clock(clock), m_hooks(hooks) {}

int CTransport::OpenLink(int nKind, const std::string* pPath) {
    if (pPath) {
        m_link.m_bExplicitPath = true;
        m_link.m_strDevicePath = pPath->substr(0, kDevicePathMax);
    }
    switch (nKind) {
    case kLinkUsb:
    case kLinkUsbWithDirect:
        m_link.m_nKind = nKind;
        return kOk;
    case kLinkSerial:
        if (!pPath) {
            m_link.m_nKind = kLinkNone;
            return kLinkPathMissing;
        }
        m_link.m_nKind = kLinkSerial;
        // A port left open under another name must not serve this link.
        m_serial.Close();
        // Not reported: a failure shows at the first exchange, which retries.
        (void)m_serial.EnsureOpen(m_link.m_strDevicePath);
        return kOk;
    default:
        m_link.m_nKind = kLinkNone;
        return kLinkKindBad;
    }
}

int CTransport::CloseLink() {
    m_link.m_bExplicitPath = false;
    m_link.m_strDevicePath.clear();
    // Also when DATA switched the link to the box meanwhile: no port stays open.
    m_serial.Close();
    if (m_link.m_nKind == kLinkNone)
        return kLinkKindBad;
    m_link.m_nKind = kLinkNone;
    return kOk;
}

int CTransport::OpenUsbDevice() {
    if (m_link.m_nKind == kLinkSerial)
        return kOk;
    if (m_link.m_nKind == kLinkNone)
        return kNoLink;
    if (m_link.m_strDevicePath.empty()) {
        m_link.m_nPidBits = 0;
        std::string strPath;
        const int nCode = m_box.FindBox(strPath);
        if (nCode != kOk)
            return nCode;
        m_link.m_strDevicePath = strPath.substr(0, kDevicePathMax);
        m_link.m_nPidBits = PidBitsOfPath(m_link.m_strDevicePath);
    }
    const int nCode = m_box.Open(m_link.m_strDevicePath);
    if (nCode != kOk && !m_link.m_bExplicitPath)
        m_link.m_strDevicePath.clear();
    return nCode;
}

int CTransport::DetectBox() {
    const int nCode = OpenUsbDevice();
    if (nCode == kOk && m_link.m_nKind != kLinkSerial)
        (void)m_box.Close();
    return nCode;
}

int CTransport::FinishUsb(int nCode) {
    const int nClose = m_box.Close();
    return nCode == kOk ? nClose : nCode;
}

int CTransport::ExchangeFrame(CFrame& frame) {
    const uint16_t wWord = CommandWord(frame);
    if ((wWord == kWordArm || wWord == kWordArmMode2) && m_pPreArm) {
        const int nCode = m_pPreArm->RunPreArmMaintenance();
        if (nCode != kOk)
            return nCode;
    }
    int nCode = OpenUsbDevice();
    if (nCode != kOk)
        return nCode;
    nCode = ExchangeOpened(frame);
    if (m_link.m_nKind == kLinkSerial)
        return nCode;
    return FinishUsb(nCode);
}

int CTransport::ExchangeOpened(CFrame& frame) {
    if (m_link.m_nKind == kLinkNone)
        return kNoLink;
    FillChecksum(frame);
    const EReply eReply = ReplyOf(frame);
    if (eReply == EReply::UnknownClass)
        m_hooks.DefaultBeep();
    const bool bReply = eReply == EReply::Read;
    if (m_link.m_nKind == kLinkSerial)
        return ExchangeSerial(frame, bReply);
    return ExchangeUsb(frame, bReply);
}

namespace {

int JudgeReply(uint16_t wAsked, const CFrame& reply) {
    const uint16_t wGot = CommandWord(reply);
    if (wGot == wAsked)
        return kOk;
    if (wGot == kWordRejected)
        return kRejected;
    if (wGot == kWordBusy)
        return kBusy;
    return kWrongReply;
}

} // namespace

int CTransport::ExchangeSerial(CFrame& frame, bool bReply) {
    // Only a successful exchange leaves the port open for the next one.
    const int nCode = ExchangeSerialOpen(frame, bReply);
    if (nCode != kOk)
        m_serial.Close();
    return nCode;
}

int CTransport::ExchangeSerialOpen(CFrame& frame, bool bReply) {
    const uint16_t wAsked = CommandWord(frame);
    const std::string& strPort = m_link.m_strDevicePath;
    if (m_serial.IsOpen()) {
        const int nCode = m_serial.Purge();
        if (nCode != kOk)
            return nCode;
    }
    const CEnvelope out = BuildEnvelope(frame);
    int nCode = m_serial.Write(strPort, out.data(), out.size());
    if (nCode != kOk)
        return nCode;
    if (!bReply) {
        m_serial.CancelIo();
        return kOk;
    }
    CEnvelope in{};
    size_t nDone = 0;
    nCode = m_serial.Read(strPort, in.data(), in.size(), nDone, m_link.m_nSerialBytes);
    if (nCode != kOk)
        return nCode;
    if (!OpenEnvelope(in, frame))
        return kEnvelopeBad;
    return JudgeReply(wAsked, frame);
}

int CTransport::ExchangeUsb(CFrame& frame, bool bReply) {
    const uint16_t wAsked = CommandWord(frame);
    const bool bFirstContact =
        m_link.m_nPidBits == 0 && wAsked == kWordBox && frame[2] == kSelectFirmware;
    const bool bPolled = (m_link.m_nPidBits & kPidBit0) != 0;
    int nCode = m_box.WriteFrame(frame.data());
    if (nCode != kOk)
        return nCode;
    const bool bSkipRead = bPolled ? wAsked == kWordImageRequest : !bReply;
    if (!bSkipRead) {
        if (!bPolled) {
            nCode = m_box.ReadFrame(frame.data());
        } else {
            const uint8_t nClass = frame[0];
            if (wAsked == kWordSensor || nClass == kClassBlemish || nClass == kClassMemory)
                m_clock.SleepMs(kPollSettleMs);
            if (nClass == kClassBoxSerial)
                m_clock.SleepMs(kPollSettleMs);
            frame.fill(0);
            const uint32_t nLimit = wAsked == kWordState ? kPollLimitStateMs : kPollLimitMs;
            const uint64_t nStart = m_clock.NowMs();
            for (;;) {
                nCode = m_box.ReadFrame(frame.data());
                if (nCode != kOk)
                    break;
                const uint16_t wGot = CommandWord(frame);
                if (wGot == kWordRejected || wGot == wAsked)
                    break;
                if (m_clock.NowMs() - nStart >= nLimit)
                    break;
                m_clock.SleepMs(kPollPauseMs);
            }
        }
        if (nCode != kOk)
            return nCode;
    }
    nCode = JudgeReply(wAsked, frame);
    if (nCode == kOk && bFirstContact)
        m_link.m_nPidBits =
            frame[kAtFirmwareTag] == kFirmwareTagPolled ? (kPidBit0 | kPidBit1) : kPidBit1;
    return nCode;
}

int CTransport::ReadBlock(uint8_t nBlock, CBlock& block) {
    int nCode = OpenUsbDevice();
    if (nCode != kOk)
        return nCode;
    for (size_t i = 0; i < kBlockWords && nCode == kOk; ++i) {
        CFrame frame = BlockReadFrame(nBlock, i);
        nCode = ExchangeOpened(frame);
        if (nCode == kOk)
            for (size_t k = 0; k < kBlockWordSize; ++k)
                block[kBlockWordSize * i + k] = frame[kAtBlockWord + k];
    }
    return m_link.m_nKind == kLinkSerial ? nCode : FinishUsb(nCode);
}

int CTransport::WriteBlock(uint8_t nBlock, const CBlock& block) {
    int nCode = OpenUsbDevice();
    if (nCode != kOk)
        return nCode;
    for (size_t i = 0; i < kBlockWords && nCode == kOk; ++i) {
        CFrame frame = BlockWriteFrame(nBlock, i, block.data() + kBlockWordSize * i);
        nCode = ExchangeOpened(frame);
    }
    return m_link.m_nKind == kLinkSerial ? nCode : FinishUsb(nCode);
}

int CTransport::PulseArm() {
    if (m_link.m_nKind == kLinkSerial)
        return kOk;
    if (m_link.m_nKind == kLinkNone)
        return kNoLink;
    int nCode = OpenUsbDevice();
    if (nCode != kOk)
        return nCode;
    CFrame arm = Frame(kWordArm);
    nCode = ExchangeOpened(arm);
    if (nCode == kOk) {
        CFrame stop = Frame(kWordDisarm);
        nCode = ExchangeOpened(stop);
    }
    return FinishUsb(nCode);
}

int CTransport::ReadSerialBytes(uint8_t* pBuffer, size_t nSize) {
    size_t nHave = 0;
    while (nHave < nSize) {
        size_t nDone = 0;
        const int nCode = m_serial.Read(m_link.m_strDevicePath, pBuffer + nHave, nSize - nHave,
                                        nDone, m_link.m_nSerialBytes);
        if (nCode != kOk)
            return nCode; // the link closed the port
        if (nDone == 0) {
            m_serial.Close();
            return kIoPending; // a completed read with nothing: the line went quiet
        }
        nHave += nDone;
    }
    return kOk;
}

} // namespace torvex
