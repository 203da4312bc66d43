#include "progress_rows.h"

namespace ostrel {

CProgressRows::CProgressRows(IProgressView& view, CommandRunFn runCommand, ReportLineFn reportLine)
    : m_view(view), m_runCommand(std::move(runCommand)), m_reportLine(std::move(reportLine)) {}

int CProgressRows::ExecuteStep(const SStepRow& row) {
    if (!row.m_strAction.empty())
        m_nCurrentRow = m_view.AppendRow(row.m_strAction, row.m_nIcon);
    if (!row.m_strStatus.empty())
        m_view.SetCell(m_nCurrentRow, kColumnStatus, row.m_strStatus);
    if (!row.m_strComment.empty())
        m_view.SetCell(m_nCurrentRow, kColumnComment, row.m_strComment);
    m_view.RedrawAndRevealLast();
    m_view.PumpOneMessage();
    const int result =
        row.m_strCommand.empty() ? 0 : m_runCommand(row.m_strCommand, row.m_bUseProcess);
    if (row.m_bAdvance)
        m_view.AdvanceProgress();
    return result;
}

void CProgressRows::ReportLine(const std::wstring& line) {
    if (m_reportLine)
        m_reportLine(line);
}

} // namespace ostrel
