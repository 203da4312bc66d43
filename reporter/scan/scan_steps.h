#pragma once
// The scan's side of every step: one progress row (and the command run with
// it), and the lines of Report.txt. The scan dialog implements IScanSteps;
// the collection and the archive steps report through it.
#include <string>
#include <utility>

namespace ostrel {

// Icons of the progress rows.
enum EStepIcon {
    kIconInfo = 0,
    kIconFile = 1,
    kIconProgram = 2,
    kIconArchive = 3,
    kIconFailed = 4
};

// One call of ExecuteStep. A row with an action text is a new row with its
// icon; without one it updates the current row, and empty status or comment
// texts leave those cells as they are. The setters return the row so that a
// call names what it fills in: SStepRow().Action(path).Status(L"OK").Advance().
struct SStepRow {
    std::wstring m_strCommand;  // run after the texts are shown; empty: nothing run
    bool m_bAdvance = false;    // advance the progress bar by one step
    std::wstring m_strAction;   // not empty: a new row
    std::wstring m_strStatus;   // column 2
    std::wstring m_strComment;  // column 3
    int m_nIcon = kIconInfo;    // used by a new row only
    bool m_bUseProcess = false; // process creation rather than the command interpreter

    SStepRow& Command(std::wstring command) {
        m_strCommand = std::move(command);
        return *this;
    }
    SStepRow& ByProcess() {
        m_bUseProcess = true;
        return *this;
    }
    SStepRow& Action(std::wstring action) {
        m_strAction = std::move(action);
        return *this;
    }
    SStepRow& Status(std::wstring status) {
        m_strStatus = std::move(status);
        return *this;
    }
    SStepRow& Comment(std::wstring comment) {
        m_strComment = std::move(comment);
        return *this;
    }
    SStepRow& Icon(int icon) {
        m_nIcon = icon;
        return *this;
    }
    SStepRow& Advance(bool advance = true) {
        m_bAdvance = advance;
        return *this;
    }
};

class IScanSteps {
public:
    virtual ~IScanSteps() = default;
    // Shows the row, then runs its command through the command runner (which
    // logs it) and gives its result code; 0 when there is no command. A failed
    // command shows only through that code: the row keeps its texts.
    virtual int ExecuteStep(const SStepRow& row) = 0;
    virtual void ReportLine(const std::wstring& line) = 0;
};

} // namespace ostrel
