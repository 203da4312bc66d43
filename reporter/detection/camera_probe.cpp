#include "camera_probe.h"

#include "materiel.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace ostrel {

namespace {

constexpr uint32_t kReadyLimitMs = 2500;
constexpr uint32_t kPollPauseMs = 5;
constexpr uint32_t kReadyPauseMs = 25;
constexpr uint32_t kSendPauseMs = 50;
constexpr uint32_t kSerialPauseMs = 250;
constexpr size_t kGroupSize = 1 + camera::kMaxWriteData; // sub-address byte + data

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool ParseHex(const std::string& strMessage, std::vector<uint8_t>& bytes) {
    if (strMessage.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < strMessage.size(); i += 2) {
        const int nHigh = HexDigit(strMessage[i]);
        const int nLow = HexDigit(strMessage[i + 1]);
        if (nHigh < 0 || nLow < 0)
            return false;
        bytes.push_back(static_cast<uint8_t>(nHigh << 4 | nLow));
    }
    return true;
}

bool WriteKey(SCameraLink& link) {
    uint32_t nKey = camera::kKey;
    return link.m_bridge.SetI2C_I(camera::kAddress, camera::kMailbox, 4, &nKey) == 0;
}

} // namespace

bool SendCameraCommand(const std::string& strMessage, SCameraLink& link) {
    std::vector<uint8_t> bytes;
    if (!ParseHex(strMessage, bytes))
        return false;
    if (!WriteKey(link)) {
        // The bridge may have gone away since the probe opened it.
        link.m_bridge.OpenInterface(link.m_pszDeviceName);
        if (!WriteKey(link)) {
            link.m_clock.SleepMs(kSendPauseMs);
            return false;
        }
    }
    bool bOk = true;
    for (size_t nStart = 0; bOk && nStart < bytes.size(); nStart += kGroupSize) {
        const size_t nEnd = std::min(bytes.size(), nStart + kGroupSize);
        uint32_t nData = 0;
        for (size_t i = nStart + 1; i < nEnd; ++i)
            nData |= uint32_t(bytes[i]) << (8 * (i - nStart - 1));
        const uint32_t nCount = static_cast<uint32_t>(nEnd - nStart - 1);
        bOk = link.m_bridge.SetI2C_I(camera::kAddress, bytes[nStart], nCount, &nData) == 0;
    }
    link.m_clock.SleepMs(kSendPauseMs);
    return bOk;
}

bool WaitCameraReady(SCameraLink& link) {
    const uint64_t nStart = link.m_clock.NowMs();
    for (;;) {
        if (link.m_clock.NowMs() - nStart >= kReadyLimitMs) {
            link.m_clock.SleepMs(kReadyPauseMs);
            return false;
        }
        uint32_t nPort = 0;
        link.m_bridge.GetPIO(&nPort); // its status tells nothing the port value does not
        link.m_clock.SleepMs(kPollPauseMs);
        if (camera::IsReadyPort(nPort))
            break;
    }
    link.m_clock.SleepMs(kReadyPauseMs);
    return true;
}

bool ReadCameraReply(CameraReply& reply, SCameraLink& link) {
    std::memset(reply, 0, sizeof reply);
    uint32_t v = 0;
    if (link.m_bridge.GetI2C_I(camera::kAddress, camera::kMailbox, 4, &v) != 0)
        return false;
    for (size_t i = 0; i < 4; ++i)
        reply[i] = static_cast<uint8_t>(v >> (8 * i));
    const size_t n = reply[0];
    for (size_t nRead = 4; nRead < n;) {
        const size_t nCount = std::min<size_t>(4, n - nRead);
        v = 0;
        link.m_bridge.GetI2C_NI(camera::kAddress, static_cast<uint32_t>(nCount), &v);
        for (size_t i = 0; i < nCount; ++i)
            reply[nRead + i] = static_cast<uint8_t>(v >> (8 * i));
        nRead += nCount;
    }
    return true;
}

bool CMateriel::ProbeCamera(const SCameraProbePorts& ports) {
    ICameraBridge* pBridge = nullptr;
    const char* pszName = nullptr;
    if (ports.m_first.OpenInterface(kFirstBridgeName) == 1) {
        pBridge = &ports.m_first;
        pszName = kFirstBridgeName;
    } else if (ports.m_second.OpenInterface(kSecondBridgeName) == 1) {
        pBridge = &ports.m_second;
        pszName = kSecondBridgeName;
    } else {
        return false;
    }
    SCameraLink link{*pBridge, pszName, ports.m_clock};
    CameraReply reply;
    auto sendAndRead = [&](const char* pszMessage) {
        SendCameraCommand(pszMessage, link);
        return WaitCameraReady(link) && ReadCameraReply(reply, link);
    };

    sendAndRead("02AB");
    sendAndRead("04A0011C");
    if (!sendAndRead("02AA") || reply[0] != camera::kIdentityLength)
        return false;
    m_nCameraFwMajor = reply[camera::kIdentityFwMajor];
    m_nCameraFwMinor = reply[camera::kIdentityFwMinor];
    const uint8_t nDivisor = reply[camera::kIdentityDivisor];
    // A divisor of 0 has no voltage; the accessor shows "(unknown)".
    m_fCameraVolts = nDivisor != 0 ? camera::kVoltsNumerator / static_cast<float>(nDivisor)
                                   : std::numeric_limits<float>::quiet_NaN();

    SendCameraCommand("04A0011C", link);
    WaitCameraReady(link);
    ReadCameraReply(reply, link);

    if (sendAndRead("0501010101") && reply[0] == camera::kStandardLength)
        m_bCameraPal = reply[1] != 0;

    ports.m_clock.SleepMs(kSerialPauseMs);

    if (sendAndRead("0501120808") && reply[0] == camera::kSerialLength) {
        const char* pszSerial = reinterpret_cast<const char*>(reply + 1);
        const std::string strSerial(pszSerial, strnlen(pszSerial, camera::kSerialLength - 1));
        if (ports.m_fnWiden) {
            m_strCameraSerial = ports.m_fnWiden(strSerial);
        } else {
            m_strCameraSerial.clear();
            for (char c : strSerial)
                m_strCameraSerial += static_cast<wchar_t>(static_cast<unsigned char>(c));
        }
    }

    SendCameraCommand("04A0010C", link);
    WaitCameraReady(link);
    ReadCameraReply(reply, link);
    return true;
}

} // namespace ostrel
