#include "sim_config.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace torvex::sim {

namespace {

std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(sep, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

uint64_t Hex(const std::string& text) {
    return std::strtoull(text.c_str(), nullptr, 16);
}
long Dec(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 10);
}

// A fault kind by its name in the switch's text.
template <typename E> struct SKind {
    const char* m_pName;
    E m_eKind;
};
template <typename E, size_t N>
bool KindOf(const std::string& name, const SKind<E> (&kinds)[N], E& eKind) {
    for (const SKind<E>& k : kinds)
        if (name == k.m_pName) {
            eKind = k.m_eKind;
            return true;
        }
    return false;
}

bool ParseFault(const std::string& text, SFaultRule& rule) {
    const std::vector<std::string> f = Split(text, ':');
    static const SKind<EFault> kinds[] = {
        {"busy", EFault::Busy},        {"reject", EFault::Reject},
        {"silent", EFault::Silent},    {"wrong", EFault::Wrong},
        {"late", EFault::Late},        {"badenv", EFault::BadEnvelope},
        {"gone", EFault::Gone},        {"badsum", EFault::BadSum},
        {"short", EFault::ShortFirst}, {"cut", EFault::Cut}};
    if (!KindOf(f[0], kinds, rule.m_eKind))
        return false;
    if (f.size() > 1 && f[1] != "*" && !f[1].empty()) {
        const uint64_t v = Hex(f[1].substr(0, 4));
        // Written as the bytes travel: "B001" is class B0, code 01.
        rule.m_wWord = proto::Word(static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v));
        if (f[1].size() >= 6)
            rule.m_nByte2 = static_cast<int>(Hex(f[1].substr(4, 2)));
    }
    if (f.size() > 2)
        rule.m_nArg = static_cast<uint32_t>(Dec(f[2]));
    if (f.size() > 3)
        rule.m_nTimes = static_cast<int>(Dec(f[3]));
    return true;
}

bool ParseDirectFault(const std::string& text, SDirectFaultRule& rule) {
    const std::vector<std::string> f = Split(text, ':');
    static const SKind<EDirectFault> kinds[] = {
        {"working", EDirectFault::Working}, {"sequence", EDirectFault::Sequence},
        {"status", EDirectFault::Status},   {"short", EDirectFault::Short},
        {"gone", EDirectFault::Gone},       {"silent", EDirectFault::Silent}};
    if (!KindOf(f[0], kinds, rule.m_eKind))
        return false;
    if (f.size() > 1 && f[1] != "*" && !f[1].empty())
        rule.m_nRequest = static_cast<int>(Hex(f[1]) & 0xFF);
    if (f.size() > 2)
        rule.m_nArg = static_cast<uint32_t>(Dec(f[2]));
    if (f.size() > 3)
        rule.m_nTimes = static_cast<int>(Dec(f[3]));
    return true;
}

// A direct sensor of that CPLD byte; the n-th gets its own serial and identity.
SDirectSensorSetup DirectSensorOf(uint8_t nCpld, size_t n) {
    SDirectSensorSetup setup;
    setup.m_nCpld = nCpld;
    setup.m_nSerial = static_cast<uint32_t>(71 + n);
    char text[32];
    std::snprintf(text, sizeof text, "TS2-%d-%05u;R3", proto::direct::SlotOfCpld(nCpld) + 1,
                  static_cast<unsigned>(setup.m_nSerial));
    setup.m_strIdentity = text;
    // Memory pages with a recognisable pattern.
    setup.m_memory.resize(1024);
    for (size_t i = 0; i < setup.m_memory.size(); ++i)
        setup.m_memory[i] = static_cast<uint8_t>(i * 7 + n);
    return setup;
}

} // namespace

SSimConfig ParseSimConfig(const std::string& text) {
    SSimConfig config;
    for (const std::string& item : Split(text, ';')) {
        if (item.empty())
            continue;
        const size_t eq = item.find('=');
        const std::string key = item.substr(0, eq);
        const std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
        SSensorSetup& s = config.m_setup;
        if (key == "box") {
            config.m_strBoxPid = value;
        } else if (key == "wireless") {
            config.m_nWirelessPort = static_cast<int>(Dec(value));
        } else if (key == "clock") {
            config.m_bVirtualClock = value == "virtual";
        } else if (key == "fault") {
            SFaultRule rule;
            if (ParseFault(value, rule))
                config.m_faults.push_back(rule);
            else
                config.m_unknown.push_back(item);
        } else if (key == "image") {
            const size_t nX = value.find('x');
            if (nX != std::string::npos) {
                s.m_nImageWidth = static_cast<int>(Dec(value.substr(0, nX)));
                s.m_nImageHeight = static_cast<int>(Dec(value.substr(nX + 1)));
            }
        } else if (key == "exposures") {
            s.m_wExposures = static_cast<uint16_t>(Dec(value));
        } else if (key == "serial") {
            s.m_nSerial = Hex(value);
        } else if (key == "blemish") {
            s.m_blemish.clear();
            for (long i = 0; i < Dec(value) && i < 256; ++i)
                s.m_blemish.emplace_back(static_cast<uint16_t>(i + 1),
                                         static_cast<uint16_t>(1000 + i));
        } else if (key == "marker") {
            s.m_nEndMarker = static_cast<uint8_t>(Hex(value));
        } else if (key == "battery") {
            s.m_nBattery = static_cast<uint8_t>(Dec(value));
        } else if (key == "type" && !value.empty()) {
            s.m_cType = value[0];
        } else if (key == "ready") {
            s.m_bImageReady = value == "1";
        } else if (key == "state") {
            for (const std::string& pair : Split(value, ',')) {
                const uint64_t v = Hex(pair);
                s.m_states.push_back({static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
            }
        } else if (key == "boxserial") {
            const uint64_t v = Hex(value);
            for (int i = 0; i < 4; ++i) {
                s.m_boxSerialA[i] = static_cast<uint8_t>(v >> (56 - 8 * i));
                s.m_boxSerialB[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
            }
        } else if (key == "direct") {
            config.m_direct.clear();
            for (const std::string& cpld : Split(value, ','))
                config.m_direct.push_back(
                    DirectSensorOf(static_cast<uint8_t>(Hex(cpld)), config.m_direct.size()));
        } else if (key == "dstatus") {
            std::vector<uint8_t> flags;
            for (const std::string& f : Split(value, ','))
                flags.push_back(static_cast<uint8_t>(Hex(f)));
            for (SDirectSensorSetup& d : config.m_direct)
                d.m_statusFlags = flags;
        } else if (key == "dstate") {
            for (SDirectSensorSetup& d : config.m_direct)
                d.m_nStateCode = static_cast<uint8_t>(Dec(value));
        } else if (key == "dcal") {
            // ---- calibration archives in the sensors' memory ----
            config.m_directCalibrations = Split(value, ',');
        } else if (key == "dcalfail") {
            for (SDirectSensorSetup& d : config.m_direct)
                d.m_nFailingPage = static_cast<int64_t>(Dec(value));
        } else if (key == "dfault") {
            SDirectFaultRule rule;
            if (ParseDirectFault(value, rule))
                config.m_directFaults.push_back(rule);
            else
                config.m_unknown.push_back(item);
        } else if (key == "dexpo" || key == "denergy" || key == "doscount" || key == "ddark" ||
                   key == "dshort" || key == "darmpolls") {
            // ---- acquisition of the direct sensors ----
            const uint32_t n = static_cast<uint32_t>(Dec(value));
            for (SDirectSensorSetup& d : config.m_direct) {
                SAcquisitionSetup& a = d.m_acquisition;
                if (key == "dexpo")
                    a.m_nExposure = static_cast<uint16_t>(n);
                else if (key == "denergy")
                    a.m_nEnergy = n;
                else if (key == "doscount")
                    a.m_nOscCount = static_cast<uint16_t>(n);
                else if (key == "ddark")
                    a.m_nExposedDarks = static_cast<int>(n);
                else if (key == "dshort")
                    a.m_nImageShort = n;
                else
                    a.m_nArmedPolls = n;
            }
        } else if (key == "dgone") {
            const std::vector<std::string> images = Split(value, ',');
            for (size_t n = 0; n < images.size() && n < config.m_direct.size(); ++n)
                config.m_direct[n].m_acquisition.m_nGoneInImage =
                    static_cast<uint32_t>(std::max(0L, Dec(images[n])));
        } else if (key == "dnoep") {
            config.m_missingEndpoints.push_back(static_cast<uint8_t>(Hex(value)));
        } else {
            config.m_unknown.push_back(item);
        }
    }
    return config;
}

} // namespace torvex::sim
