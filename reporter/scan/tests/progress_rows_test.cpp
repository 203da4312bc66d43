// ExecuteStep against a recording list view: what each call changes, and in
// which order the row, the redraw, the message, the command and the bar come.
#include "progress_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ostrel;

namespace {

std::string Narrow(const std::wstring& w) {
    return std::string(w.begin(), w.end());
}

class CRecordingView : public IProgressView {
public:
    int AppendRow(const std::wstring& action, int icon) override {
        m_rows.push_back({action, L"", L""});
        m_events.push_back("row " + Narrow(action) + " icon " + std::to_string(icon));
        return static_cast<int>(m_rows.size()) - 1;
    }
    void SetCell(int row, EProgressColumn column, const std::wstring& text) override {
        m_events.push_back("cell " + std::to_string(row) + "," + std::to_string(column) + " " +
                           Narrow(text));
        if (row >= 0 && row < static_cast<int>(m_rows.size()))
            m_rows[row][column] = text;
    }
    void RedrawAndRevealLast() override { m_events.push_back("redraw"); }
    void PumpOneMessage() override { m_events.push_back("pump"); }
    void AdvanceProgress() override {
        ++m_nProgress;
        m_events.push_back("advance");
    }
    std::vector<std::vector<std::wstring>> m_rows;
    std::vector<std::string> m_events;
    int m_nProgress = 0;
};

struct SRowsFixture {
    CRecordingView m_view;
    std::vector<std::wstring> m_report;
    int m_nResult = 0;
    CProgressRows m_rows{m_view,
                         [this](const std::wstring& command, bool useProcess) {
                             m_view.m_events.push_back("run " + Narrow(command) +
                                                       (useProcess ? " process" : " interpreter"));
                             return m_nResult;
                         },
                         [this](const std::wstring& line) { m_report.push_back(line); }};
};

TEST(ExecuteStep, NewRowThenUpdatesOfTheCurrentRowInOrder) {
    SRowsFixture f;
    f.m_nResult = 1;
    EXPECT_EQ(f.m_rows.ExecuteStep(SStepRow()
                                       .Command(L"copy a b")
                                       .Action(L"Copying INI file")
                                       .Status(L"OK")
                                       .Icon(1)
                                       .Advance()),
              1);
    EXPECT_EQ(f.m_rows.ExecuteStep(
                  SStepRow().Action(L"Exporting register").Status(L"Processing").Icon(2)),
              0);
    EXPECT_EQ(f.m_rows.CurrentRow(), 1);
    // An update: no new row, the icon ignored, empty texts keep their cells.
    f.m_nResult = -7;
    EXPECT_EQ(f.m_rows.ExecuteStep(SStepRow()
                                       .Command(L"regedit /E x")
                                       .Comment(L"Found: 3 files")
                                       .Icon(4)
                                       .Advance()
                                       .ByProcess()),
              -7);
    EXPECT_EQ(f.m_rows.ExecuteStep(SStepRow()), 0);

    EXPECT_EQ(f.m_view.m_events,
              (std::vector<std::string>{
                  // The status shows before the command runs; the result never changes it.
                  "row Copying INI file icon 1", "cell 0,1 OK", "redraw", "pump",
                  "run copy a b interpreter", "advance", "row Exporting register icon 2",
                  "cell 1,1 Processing", "redraw", "pump", "cell 1,2 Found: 3 files", "redraw",
                  "pump", "run regedit /E x process", "advance",
                  // Nothing to change: still a redraw and one message, no command.
                  "redraw", "pump"}));
    EXPECT_EQ(f.m_view.m_rows, (std::vector<std::vector<std::wstring>>{
                                   {L"Copying INI file", L"OK", L""},
                                   {L"Exporting register", L"Processing", L"Found: 3 files"}}));
    EXPECT_EQ(f.m_view.m_nProgress, 2);
}

TEST(ExecuteStep, ReportLinesGoToTheReport) {
    SRowsFixture f;
    f.m_rows.ReportLine(L"[DLL]");
    f.m_rows.ReportLine(L"");
    EXPECT_EQ(f.m_report, (std::vector<std::wstring>{L"[DLL]", L""}));
    EXPECT_TRUE(f.m_view.m_events.empty());
}

} // namespace
