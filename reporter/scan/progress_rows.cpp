#include "progress_rows.h"

namespace ostrel {

CProgressRows::CProgressRows(IProgressView& view, CommandRunFn runCommand, ReportLineFn reportLine)
    : m_view(view), m_runCommand(std::move(runCommand)), m_reportLine(std::move(reportLine)) {}

int CProgressRows::ExecuteStep(const std::wstring& command, bool advance,
                               const std::wstring& action, const std::wstring& status,
                               const std::wstring& comment, int icon, bool useProcess) {
    if (!action.empty())
        m_nCurrentRow = m_view.AppendRow(action, icon);
    if (!status.empty())
        m_view.SetCell(m_nCurrentRow, kColumnStatus, status);
    if (!comment.empty())
        m_view.SetCell(m_nCurrentRow, kColumnComment, comment);
    m_view.RedrawAndRevealLast();
    m_view.PumpOneMessage();
    const int result = command.empty() ? 0 : m_runCommand(command, useProcess);
    if (advance)
        m_view.AdvanceProgress();
    return result;
}

void CProgressRows::ReportLine(const std::wstring& line) {
    if (m_reportLine)
        m_reportLine(line);
}

} // namespace ostrel
