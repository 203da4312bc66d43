#include "scan_dlg.h"

#include "command_runner.h"
#include "module_path.h"
#include "report_file.h"
#include "scan_resource.h"
#include "version_text.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <windows.h>

#include <ctime>

namespace ostrel {
namespace {

constexpr UINT_PTR kScanTimer = 1;
constexpr UINT kScanDelayMs = 500;
constexpr int kBackgroundSkipRows = 150;

class CWin32ScanShell : public IScanShell {
public:
    void DeleteTree(const std::wstring& folder) override {
        // Nothing to delete: no call, so the shell has no error to show.
        if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
            return;
        std::wstring list = folder;
        list.push_back(L'\0'); // double-zero-terminated list of one item
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = list.c_str();
        op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
        ::SHFileOperationW(&op);
    }
    bool CreateFolderTree(const std::wstring& folder) override {
        return ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr) == ERROR_SUCCESS;
    }
    bool DesktopFolder(std::wstring& folder) override {
        wchar_t buffer[MAX_PATH] = {};
        if (!::SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_DESKTOP, FALSE))
            return false;
        folder = buffer;
        return !folder.empty();
    }
};

class CSystemClock : public IScanClock {
public:
    long long NowSeconds() override { return SystemWallClock().NowSeconds(); }
    std::wstring LocalDate() override { return TodayText(); }
    int LocalYear() override { return CurrentLocalYear(); }
};

} // namespace

CScanDlg::CScanDlg(SScanDlgArgs args) : CDialogBase(IDD_SCAN_DIALOG), m_args(std::move(args)) {}

CScanDlg::~CScanDlg() {
    if (m_hImages)
        ::ImageList_Destroy(m_hImages);
    if (m_hBackground)
        ::DeleteObject(m_hBackground);
}

BOOL CScanDlg::OnInitDialog() {
    m_hList = ::GetDlgItem(m_hWnd, IDC_SCAN_LIST);
    m_hProgress = ::GetDlgItem(m_hWnd, IDC_SCAN_PROGRESS);
    if (m_args.m_pForm) {
        const std::wstring caption = m_args.m_pForm->ReadIncidentFields().m_strCloseCaption;
        if (!caption.empty())
            ::SetDlgItemTextW(m_hWnd, IDCANCEL, caption.c_str());
    }
    m_hBackground = static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                      MAKEINTRESOURCEW(IDB_BACKGROUND),
                                                      IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    SetUpList();
    ::SetTimer(m_hWnd, kScanTimer, kScanDelayMs, nullptr);
    return TRUE;
}

void CScanDlg::SetUpList() {
    ::SendMessageW(m_hList, LVM_DELETEALLITEMS, 0, 0);
    struct SColumn {
        const wchar_t* m_pszTitle;
        int m_nWidth;
    };
    const SColumn columns[] = {{L"Action", 340}, {L"Status", 80}, {L"Comment", 250}};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = columns[i].m_nWidth;
        column.pszText = const_cast<wchar_t*>(columns[i].m_pszTitle);
        column.iSubItem = i;
        ::SendMessageW(m_hList, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    m_hImages = ::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
    for (int id :
         {IDB_ROW_INFORMATION, IDB_ROW_DISKETTE, IDB_ROW_ARROWS, IDB_ROW_ARCHIVE, IDB_ROW_CROSS}) {
        HBITMAP hBitmap = static_cast<HBITMAP>(
            ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
        ::ImageList_AddMasked(m_hImages, hBitmap, RGB(255, 255, 255));
        ::DeleteObject(hBitmap);
    }
    ::SendMessageW(m_hList, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(m_hImages));
    ::SendMessageW(m_hProgress, PBM_SETRANGE32, 0, kProgressRange);
    ::SendMessageW(m_hProgress, PBM_SETSTEP, 1, 0);
}

void CScanDlg::OnTimer(UINT_PTR nId) {
    if (nId == kScanTimer)
        OnScanTimer();
}

void CScanDlg::OnScanTimer() {
    ::KillTimer(m_hWnd, kScanTimer);
    const SIncidentFields fields =
        m_args.m_pForm ? m_args.m_pForm->ReadIncidentFields() : SIncidentFields();
    const SScanPaths& paths = m_args.m_paths;
    CProgressRows rows(
        *this,
        [&paths](const std::wstring& command, bool useProcess) {
            return RunCommand(paths.m_strLogFile, command, useProcess);
        },
        [&paths](const std::wstring& line) { AppendReportLine(paths.m_strReportFile, line); });
    CWin32ScanShell shell;
    CSystemClock clock;
    // Compressing a large file takes seconds: the writer's progress lets the
    // dialog repaint and take clicks meanwhile.
    const std::unique_ptr<IArchiveFactory> archives =
        MakeZipArchiveFactory([this] { DispatchPendingMessages(); });
    SReportHeaderInfo header = CurrentReportHeaderInfo();
    const SScanPorts ports{rows,
                           SystemReportFileOps(),
                           header,
                           SystemCollectionFiles(),
                           SystemShellFolders(),
                           SystemImagingPorts(),
                           SystemTextFiles(),
                           *archives,
                           shell,
                           clock};
    CScanProcedure scan(ports, paths, fields);
    scan.RunAll();
    ::SendMessageW(m_hProgress, PBM_SETPOS, kProgressRange, 0);
    m_result.m_bArchiveCreated = scan.ArchiveCreated();
    m_result.m_strZipPath = scan.ZipPath();
    const std::wstring text =
        EndMessageText(scan.ArchiveCreated(), scan.ZipPath(), m_args.m_strSupportEmail);
    ::MessageBoxW(m_hWnd, text.c_str(), m_args.m_strAppTitle.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

bool CScanDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM, LRESULT& lResult) {
    if (uMsg != WM_ERASEBKGND || !m_hBackground)
        return false;
    PaintBackground(reinterpret_cast<HDC>(wParam));
    lResult = TRUE;
    return true;
}

void CScanDlg::PaintBackground(HDC hdc) {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    HDC hMem = ::CreateCompatibleDC(hdc);
    HGDIOBJ hOld = ::SelectObject(hMem, m_hBackground);
    // The picture's top rows belong to the form's title area.
    ::BitBlt(hdc, 0, 0, client.right, client.bottom, hMem, 0, kBackgroundSkipRows, SRCCOPY);
    ::SelectObject(hMem, hOld);
    ::DeleteDC(hMem);
}

int CScanDlg::AppendRow(const std::wstring& action, int icon) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = static_cast<int>(::SendMessageW(m_hList, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(action.c_str());
    item.iImage = icon;
    return static_cast<int>(
        ::SendMessageW(m_hList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void CScanDlg::SetCell(int row, EProgressColumn column, const std::wstring& text) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(m_hList, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void CScanDlg::RedrawAndRevealLast() {
    ::RedrawWindow(m_hList, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    const int count = static_cast<int>(::SendMessageW(m_hList, LVM_GETITEMCOUNT, 0, 0));
    if (count > 0)
        ::SendMessageW(m_hList, LVM_ENSUREVISIBLE, count - 1, TRUE);
}

void CScanDlg::PumpOneMessage() {
    MSG msg{};
    if (::PeekMessageW(&msg, m_hWnd, 0, 0, PM_NOREMOVE) && ::GetMessageW(&msg, m_hWnd, 0, 0))
        ::DispatchMessageW(&msg);
}

void CScanDlg::DispatchPendingMessages() {
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam)); // for the loop that owns it
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void CScanDlg::AdvanceProgress() {
    ::SendMessageW(m_hProgress, PBM_STEPIT, 0, 0);
}

} // namespace ostrel
