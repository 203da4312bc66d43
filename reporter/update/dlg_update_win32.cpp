#include "dlg_update_win32.h"

#include "guard.h"
#include "installer_verify_win32.h"
#include "unique_handle.h"
#include "update_ports_win32.h"
#include "update_resource.h"
#include "update_rules.h"
#include "version_text.h"

#include <commctrl.h>
#include <shellapi.h>

#include <thread>
#include <vector>

namespace ostrel {

namespace {

constexpr UINT_PTR kCheckTimer = 1234;      // first check, 1 s after opening
constexpr UINT_PTR kCheckLimitTimer = 1235; // the check took too long
constexpr UINT_PTR kProgressTimer = 1236;   // download progress and stall watch
constexpr UINT kMsgCheckDone = WM_APP + 11;

const wchar_t kTextUpdateFound[] = L"Connected to the server.\r\nSearching for updates...\r\n1 "
                                   L"update found: \"Ostrel Install.exe\"";
const wchar_t kTextUpToDate[] =
    L"Connected to the server.\r\nSearching for updates...\r\nOstrel is up to date.";
const wchar_t kTextNotDownloaded[] = L"The file \"Ostrel Install.exe\" has not been downloaded.";
const wchar_t kTextInstallNow[] = L"Do you want to install this update now ?";
const wchar_t kCaption[] = L"Ostrel Update";
const wchar_t kCaptionError[] = L"Ostrel Update Error";

} // namespace

CDlgUpdate::CDlgUpdate(SUpdateArgs args) : CDialogBase(IDD_UPDATE_DIALOG), m_args(std::move(args)) {
    m_hWhiteBrush = ::CreateSolidBrush(RGB(255, 255, 255));
}

CDlgUpdate::~CDlgUpdate() {
    if (m_pJob)
        m_pJob->Abort();
    if (m_hWhiteBrush)
        ::DeleteObject(m_hWhiteBrush);
}

std::wstring CDlgUpdate::LocalPath(const wchar_t* pszName) const {
    return m_args.m_strLocalAppData + L"\\" + pszName;
}

BOOL CDlgUpdate::OnInitDialog() {
    m_hProgress = ::GetDlgItem(m_hWnd, IDC_UPDATE_PROGRESS);
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_UPDATE_DOWNLOAD), SW_HIDE);
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_UPDATE_ABORT), SW_HIDE);
    ::ShowWindow(m_hProgress, SW_HIDE);
    ::SetTimer(m_hWnd, kCheckTimer, 1000, nullptr);
    return TRUE;
}

void CDlgUpdate::OnTimer(UINT_PTR nId) {
    switch (nId) {
    case kCheckTimer:
        // Once per opening: a repeated check could end the dialog under a
        // running download.
        ::KillTimer(m_hWnd, kCheckTimer);
        StartCheck();
        break;
    case kCheckLimitTimer:
        ::KillTimer(m_hWnd, kCheckLimitTimer);
        m_fetch.Abandon();
        EndUpToDate();
        break;
    case kProgressTimer:
        PollDownload();
        break;
    default:
        break;
    }
}

void CDlgUpdate::StartCheck() {
    if (m_bChecked)
        return;
    m_bChecked = true;
    if (!m_fetch.Start(m_args.m_config, LocalPath(kVersionFileName), m_hWnd, kMsgCheckDone)) {
        EndUpToDate();
        return;
    }
    ::SetTimer(m_hWnd, kCheckLimitTimer, m_args.m_config.m_nCheckLimitMs, nullptr);
}

void CDlgUpdate::OnCheckDone(bool bFetched) {
    ::KillTimer(m_hWnd, kCheckLimitTimer);
    m_fetch.Abandon();
    bool bNewer = false;
    if (bFetched) {
        const std::wstring file = LocalPath(kVersionFileName);
        wchar_t remote[255] = {};
        ::GetPrivateProfileStringW(L"UPDATE", L"Version", L"", remote, 255, file.c_str());
        ::DeleteFileW(file.c_str());
        std::wstring local;
        GetFileVersionText(m_args.m_strProgramPath, SVersionTextOptions().FourParts(), local);
        bNewer = IsNewerVersion(remote, local);
    }
    if (!bNewer) {
        EndUpToDate();
        return;
    }
    ::SetDlgItemTextW(m_hWnd, IDC_UPDATE_STATUS, kTextUpdateFound);
    ShowOffer(false);
}

void CDlgUpdate::EndUpToDate() {
    ::SetDlgItemTextW(m_hWnd, IDC_UPDATE_STATUS, kTextUpToDate);
    m_bContinue = true;
    EndDialog(IDCANCEL);
}

void CDlgUpdate::ShowOffer(bool bDownloading) {
    // Download comes last: once it can be pressed, the rest is in place.
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_UPDATE_ABORT), bDownloading ? SW_SHOW : SW_HIDE);
    ::ShowWindow(m_hProgress, bDownloading ? SW_SHOW : SW_HIDE);
    HWND hDownload = ::GetDlgItem(m_hWnd, IDC_UPDATE_DOWNLOAD);
    ::EnableWindow(hDownload, bDownloading ? FALSE : TRUE);
    ::ShowWindow(hDownload, SW_SHOW);
}

bool CDlgUpdate::OnCommand(WORD wId, WORD wCode) {
    if (wCode != BN_CLICKED)
        return false;
    if (wId == IDC_UPDATE_DOWNLOAD) {
        if (!m_pJob)
            StartDownload();
        return true;
    }
    if (wId == IDC_UPDATE_ABORT) {
        if (m_pJob)
            FinishDownload(m_pJob->Abort());
        return true;
    }
    return false;
}

void CDlgUpdate::OnCancel() {
    // Ending the dialog ends a download: its file goes with it.
    if (m_pJob) {
        m_pJob->Abort();
        m_pJob.reset();
        ::KillTimer(m_hWnd, kProgressTimer);
    }
    m_fetch.Abandon();
    m_bContinue = true;
    EndDialog(IDCANCEL);
}

void CDlgUpdate::StartDownload() {
    ShowOffer(true);
    m_bContinue = false;
    ::SendMessageW(m_hProgress, PBM_SETRANGE32, 0, 1);
    ::SendMessageW(m_hProgress, PBM_SETPOS, 0, 0);
    auto job = std::make_shared<CDownloadJob>(
        std::make_unique<CFtpInstallerSource>(m_args.m_config),
        std::make_unique<CFileInstallerSink>(LocalPath(kInstallerName)));
    try {
        // The worker keeps the job alive while it runs; the dialog may drop it
        // at any time (a frozen server never lets the read return).
        std::thread([job] {
            const bool ran = GuardCall("CDownloadJob::Run", false, [&] {
                job->Run();
                return true;
            });
            if (!ran)
                job->Abort(); // nothing half-written stays behind
        }).detach();
    } catch (...) {
        FinishDownload(EDownloadState::Failed);
        return;
    }
    m_pJob = std::move(job);
    ::SetTimer(m_hWnd, kProgressTimer, 100, nullptr);
}

void CDlgUpdate::PollDownload() {
    if (!m_pJob)
        return;
    const EDownloadState state =
        m_pJob->CheckStall(::GetTickCount64(), m_args.m_config.m_nStallLimitMs);
    // One step per 16 KiB block, in larger steps where the 32-bit range ends.
    const uint64_t size = m_pJob->Size();
    const uint64_t step =
        CDownloadJob::kBlockSize * (size / 0x7FFFFFFF / CDownloadJob::kBlockSize + 1);
    const uint64_t top = size / step > 0 ? size / step : 1;
    ::SendMessageW(m_hProgress, PBM_SETRANGE32, 0, static_cast<LPARAM>(top));
    ::SendMessageW(m_hProgress, PBM_SETPOS, static_cast<WPARAM>(m_pJob->Received() / step), 0);
    if (state != EDownloadState::Running)
        FinishDownload(state);
}

void CDlgUpdate::FinishDownload(EDownloadState state) {
    ::KillTimer(m_hWnd, kProgressTimer);
    m_pJob.reset();
    if (state == EDownloadState::Complete) {
        ::SendMessageW(m_hProgress, PBM_SETPOS,
                       static_cast<WPARAM>(::SendMessageW(m_hProgress, PBM_GETRANGE, FALSE, 0)), 0);
        if (VerifyAndOffer())
            return;
    }
    ::MessageBoxW(m_hWnd, kTextNotDownloaded, kCaptionError, MB_OK | MB_ICONINFORMATION);
    ShowOffer(false);
}

// True when the dialog has ended (installed or kept); false when the file was
// refused and deleted.
bool CDlgUpdate::VerifyAndOffer() {
    const std::wstring path = LocalPath(kInstallerName);
    // Held open without write or delete sharing from the check until the
    // installer has started, so the file that runs is the one checked.
    CFileHandle hGuard(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hGuard ||
        CheckInstaller(path, m_args.m_config.m_strSignerPins) != EInstallerCheck::Trusted) {
        hGuard.reset();
        ::DeleteFileW(path.c_str());
        return false;
    }
    if (::MessageBoxW(m_hWnd, kTextInstallNow, kCaption, MB_YESNO) == IDYES) {
        const wchar_t* pszDir =
            m_args.m_strLocalAppData.empty() ? nullptr : m_args.m_strLocalAppData.c_str();
        const auto hInst = reinterpret_cast<INT_PTR>(
            ::ShellExecuteW(m_hWnd, nullptr, path.c_str(), nullptr, pszDir, SW_SHOWNORMAL));
        if (hInst > 32) {
            m_bInstallerStarted = true;
            m_bContinue = true;
            EndDialog(IDCANCEL);
            return true;
        }
        // Not started: the file stays where the next message says.
    }
    hGuard.reset();
    std::vector<wchar_t> text(512 + m_args.m_strLocalAppData.size());
    ::swprintf(text.data(), text.size(),
               L"The file \"%ls\" is stored into the following path:\r\n%ls", kInstallerName,
               m_args.m_strLocalAppData.c_str());
    ::MessageBoxW(m_hWnd, text.data(), kCaption, MB_OK | MB_ICONINFORMATION);
    m_bContinue = true;
    EndDialog(IDCANCEL);
    return true;
}

bool CDlgUpdate::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    if (uMsg == kMsgCheckDone) {
        OnCheckDone(wParam != FALSE);
        lResult = 0;
        return true;
    }
    if (uMsg == WM_CTLCOLORSTATIC &&
        reinterpret_cast<HWND>(lParam) == ::GetDlgItem(m_hWnd, IDC_UPDATE_STATUS)) {
        ::SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
        lResult = reinterpret_cast<LRESULT>(m_hWhiteBrush);
        return true;
    }
    return false;
}

} // namespace ostrel
