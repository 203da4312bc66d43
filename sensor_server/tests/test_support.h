#pragma once
// Recording fakes of the server's ports and a fixture that runs commands
// through the dispatcher against simulated devices.
#include "command_dispatcher.h"
#include "memory_files.h"
#include "simulation.h"
#include "status_codes.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace torvex::test {

// An INI file in memory that records every write in order.
class CMemoryStore final : public IMailboxStore {
public:
    struct SWrite {
        std::string m_strSection, m_strKey, m_strValue;
    };
    std::string Read(const std::string& s, const std::string& k, const std::string& d,
                     size_t nMax) override {
        auto sec = m_values.find(s);
        if (sec == m_values.end())
            return d;
        auto it = sec->second.find(k);
        if (it == sec->second.end())
            return d;
        return it->second.substr(0, nMax);
    }
    void Write(const std::string& s, const std::string& k, const std::string& v) override {
        m_values[s][k] = v;
        m_writes.push_back({s, k, v});
    }
    void RemoveSection(const std::string& s) override {
        m_values.erase(s);
        m_writes.push_back({s, "", "<removed>"});
    }
    std::string Get(const std::string& s, const std::string& k) const {
        auto sec = m_values.find(s);
        if (sec == m_values.end())
            return "<none>";
        auto it = sec->second.find(k);
        return it == sec->second.end() ? "<none>" : it->second;
    }
    std::map<std::string, std::map<std::string, std::string>> m_values;
    std::vector<SWrite> m_writes;
};

class CFakeHooks final : public IShellHooks {
public:
    void BeginWaitCursor() override { ++m_nCursor; }
    void EndWaitCursor() override { --m_nCursor; }
    void DefaultBeep() override { ++m_nBeeps; }
    bool FileExists(const std::string& p) override { return p == m_strExisting; }
    int m_nCursor = 0;
    int m_nBeeps = 0;
    std::string m_strExisting;
};

class CFakeBluefind final : public IBluefind {
public:
    bool FindSensorPort(int& nResult, std::string& strPort) override {
        if (!m_bPresent)
            return false;
        nResult = m_nResult;
        strPort = m_strPort;
        return true;
    }
    bool m_bPresent = false;
    int m_nResult = 0;
    std::string m_strPort;
};

// A serial port that is never there (when the wireless sensor is not simulated).
class CAbsentSerialPort final : public ISerialPort {
public:
    int Open(const std::string&) override { return 2; }
    bool IsOpen() const override { return false; }
    void Close() override {}
    int Purge() override { return 6; }
    int StartWrite(const uint8_t*, size_t, size_t&) override { return 6; }
    int StartRead(uint8_t*, size_t, size_t&) override { return 6; }
    int QueryRequest(size_t&) override { return 6; }
    void EndRequest() override {}
    void CancelIo() override {}
};

struct SReply {
    std::string m_strResult;
    int m_nError = -1;
    std::string m_strReady;
};

// A server with simulated devices; the switch text chooses them.
class CServer {
public:
    explicit CServer(const std::string& strSim)
        : m_sim(sim::ParseSimConfig(strSim + ";clock=virtual"), m_sim_unusedClock()),
          m_slots(m_sim.UsbBus(), m_sim.Clock()),
          m_dispatcher(SServerPorts{m_store, m_sim.BoxPort(), SerialPort(), m_sim.Clock(), m_hooks,
                                    m_bluefind, m_slots, m_files, m_imageShell}) {}

    // Client side of the handshake: READY 0, DATA, post, then the answer.
    SReply Send(uint64_t nCommand, const std::string* pData = nullptr) {
        m_store.Write("TORVEX", "READY", "0");
        if (pData)
            m_store.Write("TORVEX", "DATA", *pData);
        const size_t nFirst = m_store.m_writes.size();
        m_dispatcher.Dispatch(nCommand);
        CheckAnswerOrder(nFirst);
        return SReply{m_store.Get("TORVEX", "RESULT"), std::stoi(m_store.Get("TORVEX", "ERROR")),
                      m_store.Get("TORVEX", "READY")};
    }
    SReply Send(uint64_t nCommand, const std::string& strData) { return Send(nCommand, &strData); }

    // READY 1 comes last and alone; RESULT and ERROR do not change after it.
    void CheckAnswerOrder(size_t nFirst) {
        const auto& w = m_store.m_writes;
        size_t nReadyOnes = 0;
        for (size_t i = nFirst; i < w.size(); ++i)
            if (w[i].m_strKey == "READY" && w[i].m_strValue == "1")
                ++nReadyOnes;
        if (w.size() == nFirst)
            return; // ignored command: nothing written
        EXPECT_EQ(w.back().m_strKey, "READY");
        EXPECT_EQ(w.back().m_strValue, "1");
        // Only ReadState's inner StopAcquisition answers once before.
        EXPECT_LE(nReadyOnes, m_nAllowedEarlyReady + 1);
    }

    size_t m_nAllowedEarlyReady = 0;
    CMemoryStore m_store;
    CFakeHooks m_hooks;
    CFakeBluefind m_bluefind;
    CMemoryFiles m_files;
    CFakeImageShell m_imageShell;
    CAbsentSerialPort m_absentSerial;
    sim::CSimulation m_sim;
    CDirectSlots m_slots; // on the simulation's direct sensors (none unless named)
    CCommandDispatcher m_dispatcher;

private:
    static IClock& m_sim_unusedClock() {
        static sim::CVirtualClock clock;
        return clock;
    }
    ISerialPort& SerialPort() {
        if (m_sim.SerialPort())
            return *m_sim.SerialPort();
        return m_absentSerial;
    }
};

} // namespace torvex::test
