#pragma once
// The scan dialog: a three-column progress list and a progress bar; half a
// second after it opens the whole scan runs inside its timer, then the end
// message shows and the rows stay until the user closes the dialog.
#include "dialog_base.h"
#include "incident_fields.h"
#include "progress_rows.h"
#include "scan_procedure.h"
#include "unique_handle.h"

#include <commctrl.h>

#include <string>

namespace ostrel {

struct SScanDlgArgs {
    const IIncidentForm* m_pForm = nullptr; // read when the scan starts
    SScanPaths m_paths;
    std::wstring m_strSupportEmail;
    std::wstring m_strAppTitle; // caption of the end message
};

struct SScanDlgResult {
    bool m_bArchiveCreated = false;
    std::wstring m_strZipPath;
};

class CScanDlg : public CDialogBase, private IProgressView {
public:
    explicit CScanDlg(SScanDlgArgs args);
    ~CScanDlg() override;

    const SScanDlgResult& Result() const { return m_result; }

protected:
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR nId) override;
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    void SetUpList();
    void OnScanTimer();
    void PaintBackground(HDC hdc);

    int AppendRow(const std::wstring& action, int icon) override;
    void SetCell(int row, EProgressColumn column, const std::wstring& text) override;
    void RedrawAndRevealLast() override;
    void PumpOneMessage() override;
    // Everything queued for the thread, as the command runner's wait does.
    void DispatchPendingMessages();
    void AdvanceProgress() override;

    SScanDlgArgs m_args;
    SScanDlgResult m_result;
    HIMAGELIST m_hImages = nullptr;
    HBITMAP m_hBackground = nullptr;
    HWND m_hList = nullptr;
    HWND m_hProgress = nullptr;
};

} // namespace ostrel
