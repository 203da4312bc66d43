// The sensor operations of the detection run: which server commands each
// sends, in which order, and how the answers land in the members.
#include "answer_fields.h"
#include "materiel.h"
#include "server_commands.h"

#include <cstdio>
#include <set>

namespace ostrel {

namespace {

const wchar_t kUnknown[] = L"(unknown)";

bool Contains(const std::wstring& text, const wchar_t* part) {
    return text.find(part) != std::wstring::npos;
}

// Both members of a pair fall back to "(unknown)" when either is empty.
void SetPair(const std::wstring& answer, unsigned nFirst, std::wstring& first,
             std::wstring& second) {
    first = AnswerField(answer, nFirst);
    second = AnswerField(answer, nFirst + 1);
    if (first.empty() || second.empty())
        first = second = kUnknown;
}

} // namespace

bool CMateriel::FindWiredSensor() {
    std::wstring answer;
    SendServerCommand(torvex::kCmdDetectUsb, answer);
    // A server that repeats itself would otherwise keep the search going for ever.
    std::set<std::wstring> seen;
    while (!answer.empty()) {
        if (Contains(answer, L"pid_123")) {
            m_strWiredSensor = answer;
            return true;
        }
        if (!seen.insert(answer).second)
            break;
        if (!SendServerCommand(torvex::kCmdDetectUsbNext, answer))
            break;
    }
    return false;
}

bool CMateriel::FindDirectSensor() {
    std::wstring answer;
    SendServerCommand(torvex::kCmdDetectUsb, answer);
    m_strDirectSensor[0] = answer;
    return Contains(answer, L"pid_0001");
}

bool CMateriel::FindSecondDirectSensor() {
    std::wstring answer;
    if (!SendServerCommand(torvex::kCmdDetectUsbNext, answer) || answer.empty() ||
        answer == m_strDirectSensor[0])
        return false;
    m_strDirectSensor[1] = answer;
    return Contains(answer, L"pid_0001");
}

// DATA, InitLink, the read, StopLink, empty DATA. The read's result; false
// without StopLink when InitLink fails.
bool CMateriel::RunDeviceRead(const std::wstring& device, unsigned nCommand, std::wstring& answer) {
    const std::wstring path = MailboxPath();
    m_ports.m_mailbox.WriteString(path, server::kData, device);
    std::wstring ignored;
    bool bResult = false;
    if (SendServerCommand(torvex::kCmdInitLink, ignored)) {
        bResult = SendServerCommand(nCommand, answer);
        SendServerCommand(torvex::kCmdStopLink, ignored);
    }
    m_ports.m_mailbox.WriteString(path, server::kData, L"");
    return bResult;
}

bool CMateriel::ReadSensorIdentity(const std::wstring& device) {
    m_strSensorSerial = m_strSensorExposures = kUnknown;
    std::wstring answer;
    const bool bResult = RunDeviceRead(device, torvex::kCmdReadSensor, answer);
    if (bResult && !answer.empty())
        SetPair(answer, 2, m_strSensorSerial, m_strSensorExposures);
    return bResult;
}

bool CMateriel::ReadBoxIdentity(const std::wstring& device) {
    m_strBoxSerial = m_strBoxFirmware = kUnknown;
    std::wstring answer;
    const bool bResult = RunDeviceRead(device, torvex::kCmdReadBox, answer);
    if (bResult && !answer.empty())
        SetPair(answer, 1, m_strBoxSerial, m_strBoxFirmware);
    return bResult;
}

bool CMateriel::ReadBatteryLevel(const std::wstring& device) {
    m_strBattery = kUnknown;
    std::wstring answer;
    const bool bResult = RunDeviceRead(device, torvex::kCmdReadBattery, answer);
    if (bResult && !answer.empty())
        m_strBattery = answer + L" mV";
    return bResult;
}

bool CMateriel::ReadLinkTypeText(const std::wstring& device) {
    m_strLinkType = kUnknown;
    std::wstring answer;
    const bool bResult = RunDeviceRead(device, torvex::kCmdReadLinkType, answer);
    if (bResult && !answer.empty()) {
        static const wchar_t* const kTypes[] = {L"USB 1.1", L"USB 2.0-1.1", L"USB 2.0",
                                                L"Wireless"};
        for (int i = 0; i < 4; ++i)
            if (answer == std::wstring(1, static_cast<wchar_t>(L'1' + i)))
                m_strLinkType = kTypes[i];
    }
    return bResult;
}

bool CMateriel::PrepareDirectSensor(const std::wstring& device) {
    m_ports.m_mailbox.WriteString(MailboxPath(), server::kData, device);
    std::wstring ignored;
    if (!SendServerCommand(torvex::kCmdInitLink, ignored))
        return false;
    return SendServerCommand(torvex::kCmdStartAcquisitionMode2, ignored);
}

bool CMateriel::ReadDirectSensorDetails(const std::wstring& device) {
    const size_t i = device == m_strDirectSensor[1] ? 1 : 0;
    m_strUsbMv[i] = m_strCpuMv[i] = m_strCpldMv[i] = m_strSensorMv[i] = kUnknown;
    m_strCpldVersion[i] = m_strSensorSize[i] = kUnknown;
    const std::wstring path = MailboxPath();
    m_ports.m_mailbox.WriteString(path, server::kData, device);
    std::wstring answer;
    bool bResult = false;
    if (SendServerCommand(torvex::kCmdInitLink, answer)) {
        SendServerCommand(torvex::kCmdStartAcquisitionMode2, answer);
        answer.clear();
        if (SendServerCommand(torvex::kCmdReadDeviceValues, answer) && !answer.empty()) {
            m_strCpldMv[i] = AnswerField(answer, 1);
            m_strUsbMv[i] = AnswerField(answer, 2);
            m_strSensorMv[i] = AnswerField(answer, 3);
            m_strCpuMv[i] = AnswerField(answer, 4);
        }
        std::wstring ignored;
        SendServerCommand(torvex::kCmdStopLink, ignored);
        answer.clear();
        if (SendServerCommand(torvex::kCmdReadDeviceInfo, answer) && !answer.empty()) {
            wchar_t hex[16];
            std::swprintf(hex, 16, L"%Xh",
                          static_cast<unsigned>(ReadDecimal(AnswerField(answer, 3))));
            m_strCpldVersion[i] = hex;
            const std::wstring size = AnswerField(answer, 5);
            m_strSensorSize[i] = size == L"1" ? L"Size 1" : size == L"2" ? L"Size 2" : size;
        }
        answer.clear();
        bResult = SendServerCommand(torvex::kCmdReadDeviceStatus, answer);
        if (bResult && !answer.empty()) {
            m_nFaultCode[i] = ReadDecimal(AnswerField(answer, 1));
            m_nStateFlags[i] = ReadDecimal(AnswerField(answer, 2));
            m_strPhotodiode[i] = AnswerField(answer, 3);
        }
    }
    m_ports.m_mailbox.WriteString(path, server::kData, L"");
    return bResult;
}

} // namespace ostrel
