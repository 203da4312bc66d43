#include "control_script.h"

#include <cstdlib>

namespace lumeno::sim {

SControlScript ParseControlScript(const std::string& text) {
    SControlScript script;
    size_t nStart = 0;
    while (nStart <= text.size()) {
        size_t nEnd = text.find(';', nStart);
        if (nEnd == std::string::npos)
            nEnd = text.size();
        const std::string item = text.substr(nStart, nEnd - nStart);
        const size_t nEq = item.find('=');
        if (nEq != std::string::npos) {
            const std::string key = item.substr(0, nEq), value = item.substr(nEq + 1);
            if (key == "open")
                script.m_nOpenAnswer = std::atoi(value.c_str());
            else if (key == "fail")
                script.m_failing.insert(std::atoi(value.c_str()));
            else if (key == "name")
                script.m_strName.assign(value.begin(), value.end());
        }
        nStart = nEnd + 1;
    }
    return script;
}

std::wstring RecordLine(int nDispId, const std::vector<SCallArg>& args) {
    std::wstring line = std::to_wstring(nDispId) + L"(";
    for (size_t i = 0; i < args.size(); ++i) {
        if (i)
            line += L",";
        line += args[i].m_bString ? args[i].m_strValue : std::to_wstring(args[i].m_nValue);
    }
    return line + L")";
}

} // namespace lumeno::sim
