#include "bth_world.h"

#include "tessel_search.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace bthsim {

namespace {

// Platform codes of the stand-in.
constexpr uint32_t kNotFound = 1168;     // no such device
constexpr uint32_t kNotConnected = 1167; // pairing needs the device in range
constexpr uint32_t kNotAuthenticated = 1244;
constexpr uint32_t kMoreData = 234;

std::wstring Widen(const std::string& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        // Names are UTF-8 in the script; two-byte sequences cover the names tests use.
        if (c >= 0xC0 && c < 0xE0 && i + 1 < text.size()) {
            out += static_cast<wchar_t>(((c & 0x1F) << 6) | (text[i + 1] & 0x3F));
            ++i;
        } else {
            out += static_cast<wchar_t>(c);
        }
    }
    return out;
}

std::string NarrowAscii(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += static_cast<char>(c < 128 ? c : '?');
    return out;
}

bool ParseAddress(const std::string& text, uint64_t& nAddress) {
    if (text.size() != 12)
        return false;
    char* end = nullptr;
    nAddress = std::strtoull(text.c_str(), &end, 16);
    return *end == '\0' && nAddress != 0;
}

bool ParseServices(const std::string& text, std::vector<SGuid>& services) {
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        char* end = nullptr;
        const unsigned long n = std::strtoul(item.c_str(), &end, 16);
        if (item.empty() || *end != '\0' || n > 0xFFFF)
            return false;
        SGuid g = bluefind::kSerialPortService;
        g.m_nData1 = static_cast<uint32_t>(n);
        services.push_back(g);
    }
    return true;
}

} // namespace

std::string GuidText(const SGuid& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.m_nData1), g.m_nData2, g.m_nData3, g.m_aData4[0],
                  g.m_aData4[1], g.m_aData4[2], g.m_aData4[3], g.m_aData4[4], g.m_aData4[5],
                  g.m_aData4[6], g.m_aData4[7]);
    return text;
}

std::string AddressHex(uint64_t nAddress) {
    return NarrowAscii(bluefind::AddressText(nAddress));
}

bool CBthWorld::Load(const std::string& strScript, std::string& strError) {
    std::stringstream lines(strScript);
    std::string line;
    int nLine = 0;
    while (std::getline(lines, line)) {
        ++nLine;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t hash = line.find('#');
        const size_t nameAt = line.find(" name=");
        if (hash != std::string::npos && (nameAt == std::string::npos || hash < nameAt))
            line.erase(hash);
        std::string strName;
        if (nameAt != std::string::npos) {
            strName = line.substr(nameAt + 6);
            line.erase(nameAt);
        }
        std::stringstream words(line);
        std::string word;
        if (!(words >> word))
            continue;
        auto fail = [&](const std::string& why) {
            strError = "line " + std::to_string(nLine) + ": " + why;
            return false;
        };
        if (word == "radios") {
            if (!(words >> m_nRadios) || m_nRadios < 0)
                return fail("radios needs a count");
            continue;
        }
        if (word != "device")
            return fail("unknown item " + word);
        SSimDevice d;
        d.m_strName = Widen(strName);
        if (!(words >> word) || !ParseAddress(word, d.m_nAddress))
            return fail("device needs a 12-digit address");
        while (words >> word) {
            const size_t eq = word.find('=');
            const std::string key = word.substr(0, eq);
            const std::string value = eq == std::string::npos ? "" : word.substr(eq + 1);
            if (word == "paired")
                d.m_bAuthenticated = d.m_bRemembered = true;
            else if (word == "authenticated")
                d.m_bAuthenticated = true;
            else if (word == "remembered")
                d.m_bRemembered = true;
            else if (word == "connected")
                d.m_bConnected = true;
            else if (word == "away")
                d.m_bInRange = false;
            else if (key == "services" && ParseServices(value, d.m_services))
                ;
            else if (key == "pin")
                d.m_strPin = Widen(value);
            else if (key == "auth") {
                d.m_bForcedAuth = true;
                d.m_nAuthResult = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
            } else if (key == "blank")
                d.m_nBlankReports = std::atoi(value.c_str());
            else if (key == "radio")
                d.m_nRadio = std::atoi(value.c_str());
            else
                return fail("unknown device setting " + word);
        }
        m_devices.push_back(d);
    }
    return true;
}

namespace {

std::string Utf8(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += '?';
        }
    }
    return out;
}

} // namespace

std::string CBthWorld::Save() const {
    std::string out = "radios " + std::to_string(m_nRadios) + "\n";
    for (const SSimDevice& d : m_devices) {
        out += "device " + AddressHex(d.m_nAddress);
        if (d.m_bAuthenticated)
            out += d.m_bRemembered ? " paired" : " authenticated";
        else if (d.m_bRemembered)
            out += " remembered";
        if (d.m_bConnected)
            out += " connected";
        if (!d.m_bInRange)
            out += " away";
        if (!d.m_services.empty()) {
            out += " services=";
            for (size_t i = 0; i < d.m_services.size(); ++i) {
                char text[8];
                std::snprintf(text, sizeof text, "%s%04X", i ? "," : "",
                              static_cast<unsigned>(d.m_services[i].m_nData1 & 0xFFFF));
                out += text;
            }
        }
        out += " pin=" + Utf8(d.m_strPin);
        if (d.m_bForcedAuth)
            out += " auth=" + std::to_string(d.m_nAuthResult);
        out += " blank=" + std::to_string(d.m_nBlankReports);
        out += " radio=" + std::to_string(d.m_nRadio);
        out += " name=" + Utf8(d.m_strName) + "\n";
    }
    return out;
}

SSimDevice* CBthWorld::Find(uint64_t nAddress) {
    for (SSimDevice& d : m_devices)
        if (d.m_nAddress == nAddress)
            return &d;
    return nullptr;
}

std::vector<size_t> CBthWorld::Search(int nRadio, const SSearchParams& p) {
    char text[112];
    std::snprintf(text, sizeof text,
                  "find radio=%d auth=%d rem=%d unk=%d con=%d inquiry=%d timeout=%d", nRadio,
                  p.m_bReturnAuthenticated, p.m_bReturnRemembered, p.m_bReturnUnknown,
                  p.m_bReturnConnected, p.m_bIssueInquiry, p.m_nTimeoutMultiplier);
    Note(text);
    std::vector<size_t> found;
    for (size_t i = 0; i < m_devices.size(); ++i) {
        const SSimDevice& d = m_devices[i];
        if (nRadio >= 0 && d.m_nRadio != nRadio)
            continue;
        const bool bSeen = p.m_bIssueInquiry ? d.m_bInRange : d.m_bRemembered;
        const bool bConnected = d.m_bConnected && d.m_bInRange;
        const bool bClass = (p.m_bReturnAuthenticated && d.m_bAuthenticated) ||
                            (p.m_bReturnRemembered && d.m_bRemembered) ||
                            (p.m_bReturnUnknown && !d.m_bRemembered) ||
                            (p.m_bReturnConnected && bConnected);
        if (bSeen && bClass)
            found.push_back(i);
    }
    return found;
}

SDeviceInfo CBthWorld::Report(size_t nIndex) {
    SSimDevice& d = m_devices[nIndex];
    SDeviceInfo info;
    info.m_nAddress = d.m_nAddress;
    info.m_bAuthenticated = d.m_bAuthenticated;
    info.m_bRemembered = d.m_bRemembered;
    info.m_bConnected = d.m_bConnected && d.m_bInRange;
    if (d.m_nBlankReports == 0)
        info.m_strName = d.m_strName;
    else if (d.m_nBlankReports > 0)
        --d.m_nBlankReports;
    return info;
}

uint32_t CBthWorld::GetInfo(uint64_t nAddress, SDeviceInfo& info) {
    Note("info " + AddressHex(nAddress));
    for (size_t i = 0; i < m_devices.size(); ++i)
        if (m_devices[i].m_nAddress == nAddress) {
            info = Report(i);
            return 0;
        }
    return kNotFound;
}

uint32_t CBthWorld::Authenticate(uint64_t nAddress, const std::wstring& strPasskey) {
    SSimDevice* d = Find(nAddress);
    uint32_t nResult = 0;
    if (!d)
        nResult = kNotFound;
    else if (d->m_bForcedAuth)
        nResult = d->m_nAuthResult;
    else if (!d->m_bInRange)
        nResult = kNotConnected;
    else if (strPasskey != d->m_strPin)
        nResult = kNotAuthenticated;
    if (d && nResult == 0)
        d->m_bAuthenticated = d->m_bRemembered = m_bChanged = true;
    Note("pair " + AddressHex(nAddress) + " passkey=" + NarrowAscii(strPasskey) + " -> " +
         std::to_string(nResult));
    return nResult;
}

uint32_t CBthWorld::Services(uint64_t nAddress, size_t nMax, std::vector<SGuid>& services) {
    Note("services " + AddressHex(nAddress) + " max " + std::to_string(nMax));
    services.clear();
    SSimDevice* d = Find(nAddress);
    if (!d)
        return kNotFound;
    const size_t n = std::min(nMax, d->m_services.size());
    services.assign(d->m_services.begin(), d->m_services.begin() + n);
    return d->m_services.size() > nMax ? kMoreData : 0;
}

uint32_t CBthWorld::SetService(uint64_t nAddress, const SGuid& service, bool bEnable) {
    SSimDevice* d = Find(nAddress);
    uint32_t nResult = 0;
    if (!d)
        nResult = kNotFound;
    else if (bEnable && !d->m_bAuthenticated)
        nResult = kNotAuthenticated;
    else {
        auto it = std::find(d->m_services.begin(), d->m_services.end(), service);
        if (bEnable && it == d->m_services.end())
            d->m_services.push_back(service);
        if (!bEnable && it != d->m_services.end())
            d->m_services.erase(it);
        m_bChanged = true;
    }
    Note(std::string(bEnable ? "enable " : "disable ") + AddressHex(nAddress) + " " +
         GuidText(service) + " -> " + std::to_string(nResult));
    return nResult;
}

uint32_t CBthWorld::Remove(uint64_t nAddress) {
    SSimDevice* d = Find(nAddress);
    if (d) {
        d->m_bAuthenticated = d->m_bRemembered = false;
        d->m_services.clear();
        m_bChanged = true;
    }
    Note("remove " + AddressHex(nAddress) + " -> " + std::to_string(d ? 0u : kNotFound));
    return d ? 0 : kNotFound;
}

std::vector<std::string> CBthWorld::TakeJournal() {
    std::vector<std::string> out;
    out.swap(m_journal);
    return out;
}

} // namespace bthsim
