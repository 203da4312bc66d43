#pragma once
// The scan's progress list: every visible step is one row, written through
// ExecuteStep, which may also run an outside command. The rules live here;
// the list view, progress bar and message pump are behind IProgressView.
#include "scan_steps.h"

#include <functional>
#include <string>

namespace ostrel {

// Columns of the progress list, in insertion order.
enum EProgressColumn { kColumnAction = 0, kColumnStatus = 1, kColumnComment = 2 };

inline constexpr int kProgressRange = 30;

// What the scan dialog offers the rows. Calls come from the dialog's thread.
class IProgressView {
public:
    virtual ~IProgressView() = default;
    // Appends a row at the end with its action text and icon; its index.
    virtual int AppendRow(const std::wstring& action, int icon) = 0;
    // Sets a status or comment cell; a row that does not exist is left alone.
    virtual void SetCell(int row, EProgressColumn column, const std::wstring& text) = 0;
    // Redraws the list at once and scrolls its last row into view (partly
    // visible is enough).
    virtual void RedrawAndRevealLast() = 0;
    // Dispatches at most one pending message of the dialog.
    virtual void PumpOneMessage() = 0;
    virtual void AdvanceProgress() = 0;
};

// Runs one outside command and logs it (RunCommand); its result code.
using CommandRunFn = std::function<int(const std::wstring& command, bool useProcess)>;
// Appends one line to Report.txt.
using ReportLineFn = std::function<void(const std::wstring& line)>;

class CProgressRows : public IScanSteps {
public:
    CProgressRows(IProgressView& view, CommandRunFn runCommand, ReportLineFn reportLine);

    // A row with an action is new and becomes the current row; without one
    // the texts go to the current row. Empty texts leave cells unchanged.
    // The row shows its texts before its command runs; the command's result
    // is returned and never changes the row.
    int ExecuteStep(const SStepRow& row) override;
    void ReportLine(const std::wstring& line) override;

    int CurrentRow() const { return m_nCurrentRow; }

private:
    IProgressView& m_view;
    CommandRunFn m_runCommand;
    ReportLineFn m_reportLine;
    int m_nCurrentRow = 0;
};

} // namespace ostrel
