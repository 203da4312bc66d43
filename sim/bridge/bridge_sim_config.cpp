#include "bridge_sim_config.h"

#include <cstdlib>

namespace bridgesim {

namespace {

uint32_t Number(const std::string& strText, int nBase = 0) {
    return static_cast<uint32_t>(std::strtoul(strText.c_str(), nullptr, nBase));
}

std::vector<std::string> Split(const std::string& strText, char cSeparator) {
    std::vector<std::string> parts;
    size_t nStart = 0;
    for (;;) {
        const size_t nEnd = strText.find(cSeparator, nStart);
        parts.push_back(strText.substr(nStart, nEnd - nStart));
        if (nEnd == std::string::npos)
            return parts;
        nStart = nEnd + 1;
    }
}

} // namespace

SSimSetup ParseBridgeConfig(const std::string& strText) {
    SSimSetup result;
    SBridgeSetup& bridge = result.m_bridge;
    SCameraSetup& camera = bridge.m_camera;
    for (const std::string& strItem : Split(strText, ';')) {
        if (strItem.empty())
            continue;
        const size_t nEq = strItem.find('=');
        const std::string strKey = strItem.substr(0, nEq);
        const std::string strValue = nEq == std::string::npos ? "" : strItem.substr(nEq + 1);
        const uint32_t n = Number(strValue);
        if (strKey == "gen")
            bridge.m_eGeneration = n == 2 ? EGeneration::Second : EGeneration::First;
        else if (strKey == "chip")
            bridge.m_nChipId = static_cast<uint8_t>(n);
        else if (strKey == "rcaddr")
            bridge.m_nRemoteAddress = n;
        else if (strKey == "rccode")
            bridge.m_nRemoteCode = n;
        else if (strKey == "kept")
            bridge.m_nKept103B = n;
        else if (strKey == "remote")
            for (const std::string& strReading : Split(strValue, ','))
                bridge.m_remoteReadings.push_back(Number(strReading));
        else if (strKey == "ac97" && strValue == "busy")
            bridge.m_bAc97AlwaysBusy = true;
        else if (strKey == "ac97reads")
            bridge.m_nAc97BusyReads = static_cast<int>(n);
        else if (strKey == "camera" && strValue == "none")
            bridge.m_bCamera = false;
        else if (strKey == "div")
            camera.m_nDivisor = static_cast<uint8_t>(n);
        else if (strKey == "fw" && strValue.find('.') != std::string::npos) {
            camera.m_nFwMajor =
                static_cast<uint8_t>(Number(strValue.substr(0, strValue.find('.')), 16));
            camera.m_nFwMinor =
                static_cast<uint8_t>(Number(strValue.substr(strValue.find('.') + 1), 16));
        } else if (strKey == "pal")
            camera.m_bPal = n != 0;
        else if (strKey == "serial")
            camera.m_strSerial = strValue;
        else if (strKey == "idle")
            camera.m_nIdlePort = static_cast<uint8_t>(n);
        else if (strKey == "busy")
            camera.m_nBusyPort = static_cast<uint8_t>(n);
        else if (strKey == "ready")
            camera.m_nReadyPort = static_cast<uint8_t>(n);
        else if (strKey == "busyreads")
            camera.m_nBusyReads = static_cast<int>(n);
        else if (strKey == "len" && strValue.find(':') != std::string::npos)
            camera.m_wrongLength[static_cast<uint8_t>(
                Number(strValue.substr(0, strValue.find(':')), 16))] =
                static_cast<uint8_t>(Number(strValue.substr(strValue.find(':') + 1)));
        else
            result.m_unknown.push_back(strItem);
    }
    return result;
}

} // namespace bridgesim
