#pragma once
// Scripted answers of the stand-in first-generation plate-scanner control,
// and the record of the calls it received. Portable; the COM class is a thin
// adapter around it.
//
// Script text (environment variable LUMENO_SIM), items separated by ";":
//   open=<n>     what method 1 answers (default 1)
//   fail=<id>    method <id> fails (the call returns an error), repeatable
//   name=<text>  what method 21 answers (default "LUMENO-1")
// Record (environment variable LUMENO_SIM_LOG names a file): one line per
// call, "<id>(<arguments separated by ,>)".
#include <set>
#include <string>
#include <vector>

namespace lumeno::sim {

struct SControlScript {
    int m_nOpenAnswer = 1;
    std::set<int> m_failing;
    std::wstring m_strName = L"LUMENO-1";
};

SControlScript ParseControlScript(const std::string& text);

struct SCallArg {
    bool m_bString = false;
    long m_nValue = 0;
    std::wstring m_strValue;
};

// The call's record line (without line end).
std::wstring RecordLine(int nDispId, const std::vector<SCallArg>& args);

} // namespace lumeno::sim
