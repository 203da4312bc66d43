#include "link_commands.h"

#include "data_parsers.h"
#include "status_codes.h"

namespace torvex {

CLinkCommands::CLinkCommands(CTransport& transport, IDirectSlots& slots, IBluefind& bluefind,
                             IShellHooks& hooks, SViewState& view)
    : m_transport(transport), m_slots(slots), m_bluefind(bluefind), m_hooks(hooks), m_view(view) {}

SAnswer CLinkCommands::DetectUsb(bool bNext) {
    SLinkState& link = m_transport.Link();
    m_hooks.BeginWaitCursor();
    if (!bNext) {
        m_slots.DropVanished();
        m_slots.CloseSlot(0);
        m_slots.CloseSlot(1);
        link.m_strDevicePath.clear();
    }
    link.m_bExplicitPath = false;
    link.m_nKind = kLinkUsbWithDirect;
    SAnswer answer = AnswerCode(kNoMoreDevices);
    if (!m_slots.HoldsSensor(0) && m_slots.OpenSlot(0) == kOk) {
        answer = AnswerText(kOk, m_slots.DevicePath(0));
    } else if (!m_slots.HoldsSensor(1) && m_slots.OpenSlot(1) == kOk) {
        answer = AnswerText(kOk, m_slots.DevicePath(1));
    } else if (link.m_strDevicePath.empty()) {
        // The box comes after both slots, whether or not they hold sensors, so
        // that repeated DetectUsbNext names slot 0, slot 1, the box, then none.
        const int nCode = m_transport.DetectBox();
        if (nCode == kOk) {
            m_view.m_strSavedBoxPath = link.m_strDevicePath;
            answer = AnswerText(kOk, link.m_strDevicePath);
        } else {
            answer = AnswerCode(nCode);
        }
    }
    m_hooks.EndWaitCursor();
    return answer;
}

SAnswer CLinkCommands::DetectWireless() {
    m_hooks.BeginWaitCursor();
    int nResult = 0;
    std::string strPort;
    SAnswer answer = AnswerCode(kOk);
    if (m_bluefind.FindSensorPort(nResult, strPort))
        answer = nResult < 0 ? AnswerCode(nResult) : AnswerText(kOk, strPort);
    m_hooks.EndWaitCursor();
    return answer;
}

SAnswer CLinkCommands::InitLink(const std::string& strData) {
    const int nUsbKind =
        (m_slots.HoldsSensor(0) || m_slots.HoldsSensor(1)) ? kLinkUsbWithDirect : kLinkUsb;
    int nCode;
    if (strData.empty())
        nCode = m_transport.OpenLink(nUsbKind, nullptr);
    else if (NamesSerialPort(strData))
        nCode = m_transport.OpenLink(kLinkSerial, &strData);
    else
        nCode = m_transport.OpenLink(nUsbKind, &strData);
    // Only negative codes are answered; OpenLink gives none, so this is always 0.
    return AnswerCode(nCode < 0 ? nCode : kOk);
}

SAnswer CLinkCommands::StopLink() {
    const int nCode = m_transport.CloseLink();
    return AnswerCode(nCode < 0 ? nCode : kOk);
}

SAnswer CLinkCommands::ReadLinkType() {
    const SLinkState& link = m_transport.Link();
    if (link.m_nKind == kLinkSerial)
        return AnswerText(kOk, "4");
    if (m_transport.OpenUsbDevice() == kOk)
        (void)m_transport.CloseUsbDevice();
    const uint8_t nBits = link.m_nPidBits;
    int nType;
    if (!(nBits & kPidBit0))
        nType = (nBits & kPidBit1) ? 1 : 5;
    else if (nBits & kPidBit2)
        nType = 3;
    else if (nBits & kPidBit1)
        nType = 2;
    else
        nType = 0;
    return AnswerText(kOk, std::to_string(nType));
}

SAnswer CLinkCommands::ReadDevicePath() {
    const int nFirst = m_slots.EnsureSlot(0);
    const int nSecond = m_slots.EnsureSlot(1);
    if (nFirst != kOk || nSecond != kOk)
        return AnswerCode(kBadValue);
    return AnswerText(kOk, m_slots.DevicePath(m_transport.Link().m_nSelectedSlot));
}

SAnswer CLinkCommands::CloseDevices() {
    m_slots.CloseSlot(0);
    m_slots.CloseSlot(1);
    return AnswerCode(kOk);
}

} // namespace torvex
