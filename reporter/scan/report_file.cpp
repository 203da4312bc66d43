#include "report_file.h"

#include "utf16.h"

#include <ctime>

namespace ostrel {

std::vector<std::wstring> ReportHeaderLines(const SReportHeaderInfo& info) {
    return {
        L"; VARNIK-Imaging Report File",
        L"; Date : " + info.m_strDate,
        L";",
        L"[VERSION]",
        L"Reporter=" + info.m_strReporterPath,
        L"Version=" + info.m_strVersion,
        L"[ACTIONS]",
    };
}

bool AppendReportLine(IReportFileOps& ops, const std::wstring& path, const std::wstring& line) {
    std::string bytes;
    bytes.reserve((line.size() + 2) * 2);
    AppendUtf16Le(bytes, line);
    AppendUtf16Le(bytes, L"\r\n");
    return ops.AppendExisting(path, bytes);
}

bool WriteReportHeader(IReportFileOps& ops, const std::wstring& path,
                       const SReportHeaderInfo& info) {
    if (!ops.CreateTruncate(path))
        return false;
    // Every line is tried; a header with a lost line is no success.
    bool bAll = true;
    for (const auto& line : ReportHeaderLines(info))
        bAll = AppendReportLine(ops, path, line) && bAll;
    return bAll;
}

std::wstring TodayText() {
    // Called on the one UI thread only, so the shared buffer of localtime is safe.
    const std::time_t now = std::time(nullptr);
    const std::tm* pLocal = std::localtime(&now);
    char date[32] = {};
    if (pLocal)
        std::strftime(date, sizeof date, "%Y-%m-%d", pLocal);
    return Utf8ToWide(date);
}

namespace {

constexpr int kTreeLevels = 4;

void WalkTree(const DeviceTree& items, int level, std::vector<std::wstring>& lines) {
    static const wchar_t* const kPrefix[kTreeLevels] = {L"+-", L"| +-", L"| | +-", L"| | | +-"};
    for (const auto& item : items) {
        lines.push_back(kPrefix[level] + item.m_strText);
        if (level + 1 < kTreeLevels)
            WalkTree(item.m_children, level + 1, lines);
    }
}

} // namespace

std::vector<std::wstring> DeviceTreeLines(const DeviceTree& tree) {
    std::vector<std::wstring> lines;
    WalkTree(tree, 0, lines);
    return lines;
}

bool AppendReportLine(const std::wstring& path, const std::wstring& line) {
    return AppendReportLine(SystemReportFileOps(), path, line);
}

bool WriteReportHeader(const std::wstring& path) {
    return WriteReportHeader(SystemReportFileOps(), path, CurrentReportHeaderInfo());
}

} // namespace ostrel
