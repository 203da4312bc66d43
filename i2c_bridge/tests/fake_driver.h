#pragma once
// A recording fake of the vendor property interface: every call as
// "S1007=014A7304" (set) or "G1008=11223344" (get, the variable afterwards),
// scripted answers, and a count of live instances.
#include "bridge_driver.h"

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vidlink::test {

struct SDriverScript {
    std::vector<std::string> m_log;
    std::map<uint32_t, uint32_t> m_getValues;       // value a get writes, by property
    std::map<std::string, HResult> m_failures;      // status by "S1005=00000901"-style key
    std::function<uint32_t(uint32_t nId)> m_fnNext; // overrides m_getValues when set
    int m_nLive = 0;
};

class CFakeDriver final : public IBridgeDriver {
public:
    explicit CFakeDriver(SDriverScript& script) : m_script(script) { ++m_script.m_nLive; }
    ~CFakeDriver() override { --m_script.m_nLive; }

    HResult SetProperty(uint32_t nId, void* pData) override {
        return Record('S', nId, *static_cast<uint32_t*>(pData));
    }
    HResult GetProperty(uint32_t nId, void* pData) override {
        uint32_t& v = *static_cast<uint32_t*>(pData);
        const std::string strKey = Key('G', nId, 0).substr(0, 5);
        auto failure = m_script.m_failures.find(strKey);
        if (failure != m_script.m_failures.end()) {
            m_script.m_log.push_back(strKey + "!");
            return failure->second;
        }
        if (m_script.m_fnNext)
            v = m_script.m_fnNext(nId);
        else if (m_script.m_getValues.count(nId))
            v = m_script.m_getValues[nId];
        m_script.m_log.push_back(Key('G', nId, v));
        return 0;
    }

private:
    static std::string Key(char c, uint32_t nId, uint32_t v) {
        char text[32];
        std::snprintf(text, sizeof text, "%c%04X=%08X", c, nId, v);
        return text;
    }
    HResult Record(char c, uint32_t nId, uint32_t v) {
        const std::string strKey = Key(c, nId, v);
        auto failure = m_script.m_failures.find(strKey);
        m_script.m_log.push_back(failure == m_script.m_failures.end() ? strKey : strKey + "!");
        return failure == m_script.m_failures.end() ? 0 : failure->second;
    }

    SDriverScript& m_script;
};

// Hands out fake drivers: nothing for the first m_nMisses requests.
class CFakeFinder final : public IFilterFinder {
public:
    explicit CFakeFinder(SDriverScript& script) : m_script(script) {}
    std::unique_ptr<IBridgeDriver> FindDriver(const std::string& strName) override {
        m_names.push_back(strName);
        if (m_nMisses > 0) {
            --m_nMisses;
            return nullptr;
        }
        if (m_bNone)
            return nullptr;
        return std::make_unique<CFakeDriver>(m_script);
    }
    int m_nMisses = 0;
    bool m_bNone = false;
    std::vector<std::string> m_names;

private:
    SDriverScript& m_script;
};

} // namespace vidlink::test
