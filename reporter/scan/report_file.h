#pragma once
// Report.txt and Report.log: UTF-16LE without byte-order mark, CR LF line
// ends, never held open. Every line opens the existing file, appends, closes,
// so another program may read the file between lines.
#include "device_tree.h"

#include <string>
#include <vector>

namespace ostrel {

// File access the report needs. Paths are Windows paths on Windows.
class IReportFileOps {
public:
    virtual ~IReportFileOps() = default;
    // Creates the file or truncates it to zero length; false when it cannot.
    virtual bool CreateTruncate(const std::wstring& path) = 0;
    // Appends bytes to an existing file, never creating it; false when the
    // file cannot be opened (nothing written then).
    virtual bool AppendExisting(const std::wstring& path, const std::string& bytes) = 0;
};

// What the header tells beside the fixed lines.
struct SReportHeaderInfo {
    std::wstring m_strDate;         // "%Y-%m-%d", local time
    std::wstring m_strReporterPath; // full path of the running program file
    std::wstring m_strVersion;      // version text, no name, four parts
};

// The local date as "%Y-%m-%d".
std::wstring TodayText();

std::vector<std::wstring> ReportHeaderLines(const SReportHeaderInfo& info);

bool AppendReportLine(IReportFileOps& ops, const std::wstring& path, const std::wstring& line);
// Creates or truncates the file, then appends the header lines one by one.
// False when the file cannot be created (nothing written then) or when any
// header line was lost (the others are still written).
bool WriteReportHeader(IReportFileOps& ops, const std::wstring& path,
                       const SReportHeaderInfo& info);

// Lines of the device tree: depth first, four levels, deeper items left out.
std::vector<std::wstring> DeviceTreeLines(const DeviceTree& tree);

// The system's own file access and header values (Win32 on Windows, POSIX on
// the host, where the header values are the host's).
IReportFileOps& SystemReportFileOps();
SReportHeaderInfo CurrentReportHeaderInfo();

// The scan's entry points: path-only, on the system's files.
bool AppendReportLine(const std::wstring& path, const std::wstring& line);
bool WriteReportHeader(const std::wstring& path);

} // namespace ostrel
