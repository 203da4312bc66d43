#include "direct_commands.h"

#include "data_parsers.h"
#include "direct_identity.h"
#include "page_request.h"
#include "protocol.h"
#include "status_codes.h"

#include <cstdio>
#include <vector>

namespace torvex {

namespace dp = proto::direct;

namespace {

constexpr uint32_t kWaitStatusMs = 10000;
constexpr const char* kKeyPage = "PAGE";

std::string Format(const char* pFormat, int a, int b, int c) {
    char text[64];
    std::snprintf(text, sizeof text, pFormat, a, b, c);
    return text;
}

int SizeClassOf(uint8_t nCpld) {
    return dp::SlotOfCpld(nCpld) + 1;
}

} // namespace

CDirectCommands::CDirectCommands(IDirectSlots& slots, CMailbox& mailbox, SViewState& view)
    : m_slots(slots), m_mailbox(mailbox), m_view(view) {}

std::string CDirectCommands::ReadText(uint8_t nCode, uint16_t nLength, int nSlot) {
    std::string text;
    (void)ReadDirectText(m_slots, nCode, nLength, nSlot, text);
    return text;
}

uint32_t CDirectCommands::ReadNumber(uint8_t nCode, uint16_t nSize, int nSlot) {
    uint8_t buffer[4 + 1] = {};
    if (m_slots.Request(nCode, nSize, 0, buffer, false, nSlot) != kOk)
        return 0;
    uint32_t n = 0;
    for (uint16_t i = 0; i < nSize && i < 4; ++i)
        n = (n << 8) | buffer[i];
    return n;
}

int CDirectCommands::ReadSizes(int nSlot, uint16_t& nLength) {
    return ReadDirectSizes(m_slots, nSlot, nLength);
}

std::string CDirectCommands::ReadIdentity(int nSlot, uint16_t nLength) {
    return CutIdentity(ReadText(dp::kReqIdentity, nLength, nSlot));
}

SAnswer CDirectCommands::ReadSensor(int nSlot) {
    uint16_t nLength = 0;
    if (ReadSizes(nSlot, nLength) != kOk)
        return AnswerCode(kFirstRequestFailed);
    const std::string strIdentity = ReadIdentity(nSlot, nLength);
    const uint32_t nSerial = ReadNumber(dp::kReqSerial, dp::kSerialSize, nSlot);
    const uint8_t nCpld = static_cast<uint8_t>(ReadNumber(dp::kReqCpld, dp::kCpldSize, nSlot));
    return AnswerText(kOk, std::to_string(SizeClassOf(nCpld)) + ";" + strIdentity + ";" +
                               std::to_string(static_cast<int32_t>(nSerial)));
}

SAnswer CDirectCommands::ReadBox(int nSlot) {
    uint16_t nLength = 0;
    if (ReadSizes(nSlot, nLength) != kOk)
        return AnswerCode(kFirstRequestFailed);
    const std::string strIdentity = ReadIdentity(nSlot, nLength);
    const std::string strVersion = ReadText(dp::kReqVersion, dp::kVersionSize, nSlot);
    return AnswerText(kOk, strIdentity + ";" + strVersion);
}

SAnswer CDirectCommands::ReadState() const {
    return AnswerText(kOk, std::string(m_view.m_bImageReady ? "1" : "0") + ";" +
                               (m_view.m_bArmed ? "1" : "0"));
}

SAnswer CDirectCommands::ReadDeviceStatus(int nSlot) {
    SDeviceStatus status;
    const int nCode = m_slots.StatusOf(nSlot, status);
    if (nCode != kOk)
        return AnswerCode(nCode);
    return AnswerText(
        kOk, Format("%d;%d;%d", status.m_nStateCode, status.m_nFlags, status.m_nPhotodiode));
}

SAnswer CDirectCommands::WaitDeviceStatus(const std::string& strData, int nSlot) {
    if (strData.empty())
        return AnswerCode(kBadData);
    const uint8_t nMask = static_cast<uint8_t>(ProfileInt(strData, 0));
    return AnswerCode(m_slots.WaitStatus(nMask, kWaitStatusMs, nSlot));
}

SAnswer CDirectCommands::AccessPage(const std::string& strData, int nSlot) {
    std::optional<SPageRequest> request = ParsePageRequest(strData);
    if (!request)
        return AnswerCode(kBadData);
    uint8_t buffer[kPageBufferSize] = {};
    if (request->m_bWrite) {
        const auto bytes = ParsePageBytes(m_mailbox.ReadString(kKeyPage, std::string()));
        if (!bytes)
            return AnswerCode(kBadData);
        std::copy(bytes->begin(), bytes->end(), buffer);
        request->m_nLength = static_cast<uint16_t>(bytes->size());
    }
    const uint16_t nLength = request->m_nLength;
    const int nCode = m_slots.Request(request->m_nCode, nLength, request->m_nValue,
                                      nLength > 0 ? buffer : nullptr, request->m_bWrite, nSlot);
    m_mailbox.WriteString(kKeyPage, std::string());
    m_mailbox.WriteString("RESULT", std::string());
    if (nCode != kOk)
        return AnswerCode(nCode);
    const std::string strText = PageBytesText(buffer, nLength);
    if (request->m_bReadMode && request->m_nCode == dp::kReqPage) {
        m_mailbox.WriteString(kKeyPage, strText);
        return AnswerCode(kOk);
    }
    return AnswerText(kOk, strText);
}

SAnswer CDirectCommands::ReadDeviceInfo(int nSlot) {
    const std::string strVersion = ReadText(dp::kReqVersion, dp::kVersionSize, nSlot);
    uint16_t nLength = 0;
    (void)ReadSizes(nSlot, nLength);
    const std::string strIdentity = ReadIdentity(nSlot, nLength);
    const uint8_t nCpld = static_cast<uint8_t>(ReadNumber(dp::kReqCpld, dp::kCpldSize, nSlot));
    const uint32_t nSerial = ReadNumber(dp::kReqSerial, dp::kSerialSize, nSlot);
    return AnswerText(
        kOk, strIdentity + ";" + strVersion + ";" +
                 Format("%d;%d;%d", nCpld, static_cast<int32_t>(nSerial), SizeClassOf(nCpld)));
}

SAnswer CDirectCommands::ReadDeviceValues(int nSlot) {
    uint8_t buffer[dp::kVoltagesSize + 1] = {};
    const int nCode = m_slots.Request(dp::kReqVoltages, dp::kVoltagesSize, 0, buffer, false, nSlot);
    if (nCode != kOk)
        return AnswerCode(nCode);
    CByteReader reader(buffer, dp::kVoltagesSize);
    const int a = reader.U16Be(0), b = reader.U16Be(2), c = reader.U16Be(4), d = reader.U16Be(6);
    return AnswerText(kOk, Format("%d;%d;%d", a, b, c) + ";" + std::to_string(d));
}

SAnswer CDirectCommands::StopAcquisition(int nSlot) {
    (void)m_slots.Request(dp::kReqDisconnect, 0, 0, nullptr, false, nSlot);
    m_slots.CloseSlot(nSlot);
    m_view.m_bArmed = false;
    return AnswerCode(kOk);
}

SAnswer CDirectCommands::ReadEnergy() const {
    return AnswerText(kOk, std::to_string(m_view.m_nEnergy));
}

} // namespace torvex
