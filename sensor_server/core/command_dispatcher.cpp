#include "command_dispatcher.h"

#include "data_parsers.h"
#include "guard.h"
#include "status_codes.h"

namespace torvex {

CCommandDispatcher::CCommandDispatcher(const SServerPorts& ports)
    : m_ports(ports), m_mailbox(ports.m_store), m_answers(m_mailbox),
      m_transport(m_link, ports.m_box, ports.m_serial, ports.m_clock, ports.m_hooks),
      m_sensor(m_transport, m_mailbox, m_answers, m_view),
      m_linkCommands(m_transport, ports.m_slots, ports.m_bluefind, ports.m_hooks, m_view),
      m_direct(ports.m_slots, m_mailbox, m_view),
      m_filter(ports.m_files, ports.m_hooks),
      m_readout(m_transport, ports.m_files, ports.m_imageShell, m_view) {
    m_transport.SetPreArm(&m_sensor);
}

bool CCommandDispatcher::DirectOpen() const {
    return m_ports.m_slots.HoldsSensor(0) || m_ports.m_slots.HoldsSensor(1);
}

void CCommandDispatcher::SelectTarget() {
    const std::string strData = m_mailbox.ReadString("DATA", std::string());
    IDirectSlots& slots = m_ports.m_slots;
    for (int nSlot = 0; nSlot < 2; ++nSlot) {
        if (slots.HoldsSensor(nSlot) && strData == slots.DevicePath(nSlot)) {
            m_link.m_nSelectedSlot = nSlot;
            m_link.m_nKind = kLinkUsbWithDirect;
            m_link.m_bExplicitPath = false;
        }
    }
    // An empty saved path would match every empty DATA: only a found box counts.
    if (!m_view.m_strSavedBoxPath.empty() && strData == m_view.m_strSavedBoxPath) {
        m_link.m_nKind = kLinkUsb;
        m_link.m_bExplicitPath = false;
    }
}

bool CCommandDispatcher::Dispatch(uint64_t nCommand) {
    SelectTarget();
    if (m_view.m_bBusy)
        return false;
    m_answers.WriteNeutral();
    const SAnswer answer = Run(nCommand);
    m_answers.WriteFinal(answer);
    return true;
}

SAnswer CCommandDispatcher::NotYet() const {
    return AnswerCode(kNotImplemented);
}

SAnswer CCommandDispatcher::Run(uint64_t nWide) {
    if (nWide > 0xFFFFFFFFu)
        return AnswerCode(kRejected); // not a number of the table, whatever its low bits
    const unsigned nCommand = static_cast<unsigned>(nWide);
    const bool bDirect = DirectOpen();
    const int nSlot = m_link.m_nSelectedSlot;
    auto boxOnly = [&](auto handler) -> SAnswer {
        if (bDirect)
            return AnswerCode(kOk); // box/serial only: nothing to do with a direct sensor
        m_answers.WriteResultEmpty();
        return handler();
    };
    auto directOnly = [&](auto handler) -> SAnswer {
        if (!bDirect)
            return AnswerCode(kNoDirectSensor);
        m_answers.WriteResultEmpty();
        return handler();
    };
    auto any = [&](auto handler) -> SAnswer {
        m_answers.WriteResultEmpty();
        return handler();
    };
    auto data = [&]() { return m_mailbox.ReadString("DATA", std::string()); };

    switch (nCommand) {
    case kCmdDetectUsb:
        return any([&] { return m_linkCommands.DetectUsb(false); });
    case kCmdDetectUsbNext:
        return any([&] { return m_linkCommands.DetectUsb(true); });
    case kCmdDetectWireless:
        return any([&] { return m_linkCommands.DetectWireless(); });
    case kCmdInitLink:
        return any([&] { return m_linkCommands.InitLink(data()); });
    case kCmdStopLink:
        return any([&] { return m_linkCommands.StopLink(); });
    case kCmdReadLinkType:
        return any([&] { return m_linkCommands.ReadLinkType(); });
    case kCmdReadDevicePath:
        return any([&] { return m_linkCommands.ReadDevicePath(); });
    case kCmdCloseDevices:
        return any([&] { return m_linkCommands.CloseDevices(); });

    case kCmdStartAcquisitionMode2:
    case kCmdStartAcquisition: {
        const uint8_t nMode = nCommand == kCmdStartAcquisition ? 1 : 2;
        return any([&] {
            if (!bDirect)
                return m_sensor.StartAcquisition(nMode);
            return m_pAcquisition ? m_pAcquisition->StartAcquisition(true) : NotYet();
        });
    }
    case kCmdStopAcquisition:
        return any([&] {
            if (!bDirect)
                return m_sensor.StopAcquisition();
            return m_pAcquisition ? m_pAcquisition->StopAcquisition(nSlot)
                                  : m_direct.StopAcquisition(nSlot);
        });
    case kCmdSetAcquisitionValue: {
        const uint8_t n = static_cast<uint8_t>(m_mailbox.ReadInt("DATA", 3));
        return boxOnly([&] { return m_sensor.SetAcquisitionValue(n); });
    }
    case kCmdSetControlMode: {
        const uint8_t n = static_cast<uint8_t>(m_mailbox.ReadInt("DATA", 3));
        return boxOnly([&] { return m_sensor.SetControlMode(n); });
    }
    case kCmdSetOptionBits: {
        const SSwitchPair p = ParseSwitchPair(data());
        return any([&] { return m_sensor.SetOptionBits(p.m_nFirst, p.m_nSecond); });
    }
    case kCmdReadSensor:
        return any([&] { return bDirect ? m_direct.ReadSensor(nSlot) : m_sensor.ReadSensor(); });
    case kCmdReadBox:
        return any([&] { return bDirect ? m_direct.ReadBox(nSlot) : m_sensor.ReadBox(); });
    case kCmdReadState:
        return any([&] { return bDirect ? m_direct.ReadState() : m_sensor.ReadState(); });
    case kCmdReadImage: {
        const SImageRequest request = ParseImageRequest(m_mailbox.ReadString("DATA", "3"));
        std::optional<SPreview> preview;
        if (request.m_bPreview)
            preview = SPreview{request.m_nX, request.m_nY};
        const uint8_t nMode = static_cast<uint8_t>(request.m_nMode);
        return any([&] {
            if (bDirect) // the acquisition cycle's last image
                return m_pAcquisition ? m_pAcquisition->ReadImage() : NotYet();
            // Megabytes of buffers: running out answers 8 and clears the busy flag.
            return ostrel::GuardCall("ReadImage", AnswerText(kNoRoom, ""),
                                     [&] { return m_readout.ReadImage(nMode, preview); });
        });
    }
    case kCmdReadTransferRate:
        return any([&] { return AnswerText(kOk, std::to_string(m_view.m_nTransferRate)); });
    case kCmdReadBattery:
        return any([&] { return m_sensor.ReadBattery(); });
    case kCmdWriteBlemish: {
        const SValuePair p = ParseValuePair(data());
        return boxOnly([&] { return m_sensor.WriteBlemish(p.m_wFirst, p.m_wSecond); });
    }
    case kCmdSetBlemishMode: {
        const SSwitchPair p = ParseSwitchPair(data());
        return boxOnly([&] { return m_sensor.SetBlemishMode(p.m_nFirst, p.m_nSecond); });
    }
    case kCmdReadBlemish:
        if (bDirect) {
            m_mailbox.RemoveSection(kSectionBlemish);
            return AnswerCode(kOk);
        }
        return any([&] { return m_sensor.ReadBlemish(); });
    case kCmdSendFrame: {
        const auto frame = ParseFrameText(data());
        if (!frame)
            return AnswerCode(kOk); // fewer than eight numbers: nothing sent
        return boxOnly([&] { return m_sensor.SendFrame(*frame); });
    }

    // ---- direct sensors ----
    case kCmdReadDeviceStatus:
        return directOnly([&] { return m_direct.ReadDeviceStatus(nSlot); });
    case kCmdWaitDeviceStatus:
        return directOnly([&] { return m_direct.WaitDeviceStatus(data(), nSlot); });
    case kCmdAccessPage:
        return directOnly([&] { return m_direct.AccessPage(data(), nSlot); });
    case kCmdReadDeviceInfo:
        return directOnly([&] { return m_direct.ReadDeviceInfo(nSlot); });
    case kCmdReadDeviceValues:
        return directOnly([&] { return m_direct.ReadDeviceValues(nSlot); });
    case kCmdReadEnergy:
        return directOnly([&] { return m_direct.ReadEnergy(); });
    // ---- acquisition engine ----
    case kCmdAcquireImage:
        return directOnly(
            [&] { return m_pAcquisition ? m_pAcquisition->AcquireImage() : NotYet(); });
    case kCmdCaptureOscillogram: {
        const std::string strFolder = data();
        return directOnly(
            [&] { return m_pCapture ? m_pCapture->Capture(strFolder, nSlot) : NotYet(); });
    }

    case kCmdFilterImage: {
        const std::string strPath = data();
        return any([&] { return m_filter.FilterImage(strPath); });
    }
    default:
        return AnswerCode(kRejected);
    }
}

} // namespace torvex
