#pragma once
// The update dialog: searches for a newer version once per opening, offers
// the download, checks the installer and can start it.
#include "dialog_base.h"
#include "download_job.h"
#include "update_config.h"
#include "version_check_win32.h"

#include <memory>
#include <string>

namespace ostrel {

struct SUpdateArgs {
    SUpdateConfig m_config;
    std::wstring m_strLocalAppData; // download folder, no trailing backslash
    std::wstring m_strProgramPath;  // the running program, whose version is compared
};

class CDlgUpdate : public CDialogBase {
public:
    explicit CDlgUpdate(SUpdateArgs args);
    ~CDlgUpdate() override;

    // Set when the dialog ended in a way that lets the reporter go on.
    bool m_bContinue = false;
    // Set once the downloaded installer has been started.
    bool m_bInstallerStarted = false;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD wId, WORD wCode) override;
    void OnTimer(UINT_PTR nId) override;
    void OnOK() override {} // Enter does not end the dialog
    void OnCancel() override;
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    std::wstring LocalPath(const wchar_t* pszName) const;
    void StartCheck();
    void OnCheckDone(bool bFetched);
    void EndUpToDate();
    void StartDownload();
    void PollDownload();
    void FinishDownload(EDownloadState state);
    bool VerifyAndOffer();
    void ShowOffer(bool bDownloading);

    HBRUSH m_hWhiteBrush = nullptr;
    SUpdateArgs m_args;
    HWND m_hProgress = nullptr;
    CVersionFetch m_fetch;
    bool m_bChecked = false;
    std::shared_ptr<CDownloadJob> m_pJob;
};

} // namespace ostrel
