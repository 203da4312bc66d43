#include "ostrel_dlg.h"

#include "about_dlg.h"
#include "artwork_ids.h"
#include "busy_indicator_win32.h"
#include "camera_probe_win32.h"
#include "form_control_ids.h"
#include "form_controls_win32.h"
#include "form_language.h"
#include "form_view_win32.h"
#include "imaging_apps_win32.h"
#include "imaging_settings.h"
#include "materiel_probes.h"
#include "module_path.h"
#include "ostrel_app.h"
#include "scan_dlg.h"
#include "scan_resource.h"
#include "tree_view_win32.h"
#include "ui_text.h"
#include "ui_text_ids.h"
#include "update_startup_win32.h"
#include "version_text.h"

#ifndef OSTREL_SUPPORT_EMAIL
#error "OSTREL_SUPPORT_EMAIL is a deployment value set by the build"
#endif

namespace ostrel {
namespace {

constexpr COLORREF kMandatoryColour = RGB(255, 180, 180);
constexpr int kBackgroundOrigin = 5;
constexpr UINT_PTR kStartTimer = 1;
constexpr UINT kStartDelayMs = 200;

constexpr COLORREF kIconTransparent = RGB(255, 255, 255);

bool IsMandatoryField(int id) {
    return id == IDC_TECH_NAME || id == IDC_CLIENT_NAME || id == IDC_REMARK;
}

// The application title: the program file's base name.
std::wstring AppTitle() {
    std::wstring name = GetRunningModulePath();
    name = name.substr(name.rfind(L'\\') + 1);
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

std::wstring ModuleDir() {
    return COstrelApp::Get().GetModuleDir();
}

// A missing bitmap would shift every later icon index: a blank one stands in.
HBITMAP TreeBitmap(HINSTANCE hInstance, unsigned id) {
    auto hBitmap = static_cast<HBITMAP>(
        ::LoadImageW(hInstance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 16, 16, LR_CREATEDIBSECTION));
    if (hBitmap)
        return hBitmap;
    HDC hScreen = ::GetDC(nullptr);
    hBitmap = ::CreateCompatibleBitmap(hScreen, 16, 16);
    HDC hMem = ::CreateCompatibleDC(hScreen);
    HGDIOBJ hOld = ::SelectObject(hMem, hBitmap);
    RECT all{0, 0, 16, 16};
    ::FillRect(hMem, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::SelectObject(hMem, hOld);
    ::DeleteDC(hMem);
    ::ReleaseDC(nullptr, hScreen);
    return hBitmap;
}

} // namespace

COstrelDlg::COstrelDlg(const SOstrelDlgArgs& args)
    : CDialogBase(IDD_OSTREL_DIALOG),
      m_pMateriel(std::make_unique<CMateriel>(m_probePorts.Ports(), ModuleDir())), m_args(args) {}

COstrelDlg::~COstrelDlg() = default;

SOstrelDlgResult COstrelDlg::Run(HINSTANCE hInstance, HWND hParent) {
    SOstrelDlgResult result;
    result.m_nEndCode = DoModal(hInstance, hParent);
    return result;
}

BOOL COstrelDlg::OnInitDialog() {
    const SLanguageChoice language = ChooseLanguage(SystemUiLanguage());
    m_nLangOffset = language.m_nLangOffset;
    ::SetFocus(::GetDlgItem(m_hWnd, static_cast<int>(language.m_nFocusId)));

    std::wstring title;
    GetFileVersionText(GetRunningModulePath(), SVersionTextOptions().WithName().FourParts(), title);
    ::SetWindowTextW(m_hWnd, title.c_str());

    // A newer installer started, or the update dialog closed without going
    // on: the reporter ends before its form shows.
    if (!RunStartupUpdate(m_hWnd, COstrelApp::Get().GetLocalAppData())) {
        EndDialog(IDCANCEL);
        return FALSE;
    }

    // Ends the process when the user cancels, or an application stays open
    // in unattended mode.
    EnsureImagingApplicationsClosed(m_hWnd, m_args.m_bAuto,
                                    CUiText(ProgramStrings(), m_nLangOffset));

    HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    m_mandatoryBrush.reset(::CreateSolidBrush(kMandatoryColour));
    m_background.reset(::LoadImageW(hInstance, MAKEINTRESOURCEW(IDB_BACKGROUND), IMAGE_BITMAP, 0, 0,
                                    LR_CREATEDIBSECTION));

    ApplyLanguage();
    m_tags = ReadProductTag(SystemImagingPorts());
    FillModelLists();

    CRapport rapport;
    if (rapport.GetImagesDir(SystemImagingPorts(), m_strImagesDir) && !m_strImagesDir.empty() &&
        m_strImagesDir.back() != L'\\')
        m_strImagesDir += L'\\';

    // Without the driver the form works on; the scanner probe then finds nothing.
    m_plateScanner.Create(m_hWnd, IDC_PLATE_SCANNER);

    m_bigIcon.reset(static_cast<HICON>(::LoadImageW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                    IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR)));
    m_smallIcon.reset(static_cast<HICON>(::LoadImageW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                      IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.get()));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.get()));

    ::SetTimer(m_hWnd, kStartTimer, kStartDelayMs, nullptr);
    return FALSE; // the language button has the focus
}

void COstrelDlg::ApplyLanguage() {
    CUiText text(ProgramStrings(), m_nLangOffset);
    SFormLanguageState state;
    state.m_bTagGroup1 = m_tags.m_bTagGroup1;
    const SDetectionFlags& flags = m_run.Flags();
    state.m_bCameraFields = flags.m_bHasBridge2820 || flags.m_bHasBridge28285;
    state.m_bXrayFields = flags.m_bHasWiredSensor || flags.m_bHasDirectSensor;
    CFormViewWin32 view(m_hWnd, static_cast<HFONT>(m_titleFont.get()));
    CSystemMenuWin32 menu(m_hWnd);
    ApplyFormLanguage(text, state, view, menu);
    if (state.m_bXrayFields) {
        CFormControlsWin32 controls(m_hWnd);
        m_generator.FillOnce(SystemImagingPorts(), controls);
    }
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void COstrelDlg::FillModelLists() {
    HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    m_treeImages.reset(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 3, 3));
    for (unsigned id : kTreeImageBitmaps) {
        HBITMAP hBitmap = TreeBitmap(hInstance, id);
        ::ImageList_AddMasked(m_treeImages.get(), hBitmap, kIconTransparent);
        ::DeleteObject(hBitmap);
    }
    HWND hTree = ::GetDlgItem(m_hWnd, IDC_DEVICE_TREE);
    TreeView_SetImageList(hTree, m_treeImages.get(), TVSIL_NORMAL);
    CTreeViewSink(hTree).Append(kTreeRoot, LanguageText(IDS_TREE_WAITING), kTreeWaitingIcon);

    const SModelLists lists = ModelListsFor(m_tags);
    for (const auto& [id, entries] :
         {std::pair<int, const std::vector<std::wstring>*>{IDC_DEVICE_TYPE, &lists.m_deviceTypes},
          {IDC_DOCK_TYPE, &lists.m_dockTypes}})
        for (const std::wstring& entry : *entries)
            ::SendDlgItemMessageW(m_hWnd, id, CB_ADDSTRING, 0,
                                  reinterpret_cast<LPARAM>(entry.c_str()));
}

void COstrelDlg::UpdateScanEnabled() {
    CFormControlsWin32 controls(m_hWnd);
    const bool enabled = IsScanEnabled(controls);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SCAN), enabled ? TRUE : FALSE);
    CSystemMenuWin32(m_hWnd).EnableItem(IDM_SCAN, enabled);
}

void COstrelDlg::StepBusyIndicator(bool bRestart) {
    CBusyWindowWin32 window(m_hWnd, ::GetDlgItem(m_hWnd, IDC_DEVICE_TREE));
    m_busy.Step(bRestart, window);
}

void COstrelDlg::ShortenTree() {
    RECT saved{};
    if (!ShortenTreeWindow(::GetDlgItem(m_hWnd, IDC_DEVICE_TREE), kShortTreeHeight, saved))
        return;
    m_busy.BeginDrawing({saved.left, saved.top, saved.right, saved.bottom});
}

void COstrelDlg::RestoreTree() {
    m_busy.EndDrawing();
    const SBusyRect& saved = m_busy.SavedTree();
    RestoreTreeWindow(::GetDlgItem(m_hWnd, IDC_DEVICE_TREE),
                      RECT{saved.m_nLeft, saved.m_nTop, saved.m_nRight, saved.m_nBottom});
}

std::wstring COstrelDlg::LanguageText(int nId) {
    return CUiText(ProgramStrings(), m_nLangOffset).Text(static_cast<unsigned>(nId));
}

void COstrelDlg::OnTimer(UINT_PTR) {
    OnStartTimer();
}

void COstrelDlg::OnStartTimer() {
    ::KillTimer(m_hWnd, kStartTimer);
    if (!m_titleFont)
        m_titleFont.reset(
            ::CreateFontW(24, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, FF_SWISS, L"Arial"));
    StepBusyIndicator(false);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SCAN), FALSE);
    RunDetection();
    ApplyLanguage();
    // Fields typed before or during the run count at once.
    UpdateScanEnabled();
    ::SetFocus(::GetDlgItem(m_hWnd, IDC_TECH_NAME));
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void COstrelDlg::RunDetection() {
    SMaterielProbeArgs args{*m_pMateriel, CameraProbePortsWin32(),
                            m_plateScanner.Window() ? &m_plateScanner : nullptr, m_strImagesDir,
                            reinterpret_cast<uintptr_t>(m_hWnd)};
    CMaterielProbes probes(args);
    CTreeViewSink tree(::GetDlgItem(m_hWnd, IDC_DEVICE_TREE));
    m_run.RunDetection(tree, *this, probes);
}

void COstrelDlg::OnRefresh() {
    // A run in progress dispatches this click: a nested run would rebuild
    // the tree, bind the listener twice and stop the server under it.
    if (m_run.IsRunning())
        return;
    RunDetection();
    ApplyLanguage();
    UpdateScanEnabled();
}

void COstrelDlg::SetLanguage(int nLangOffset) {
    m_nLangOffset = nLangOffset;
    ApplyLanguage();
}

SIncidentFields COstrelDlg::ReadIncidentFields() const {
    CFormControlsWin32 controls(m_hWnd);
    SIncidentFields fields = ReadFormFields(controls);
    fields.m_bTagGroup1 = m_tags.m_bTagGroup1;
    fields.m_bTagGroup2 = m_tags.m_bTagGroup2;
    fields.m_bTagGroup3 = m_tags.m_bTagGroup3;
    fields.m_strCloseCaption = controls.GetText(IDCANCEL);
    fields.m_tree = ReadTreeView(::GetDlgItem(m_hWnd, IDC_DEVICE_TREE));
    return fields;
}

void COstrelDlg::OnScan() {
    // Not while a run is in progress: the scan would print a half-built tree
    // and the run would go on under the scan dialog.
    if (m_run.IsRunning())
        return;
    // The rule holds whatever sent the command.
    CFormControlsWin32 controls(m_hWnd);
    if (!IsScanEnabled(controls))
        return;
    const COstrelApp& app = COstrelApp::Get();
    SScanDlgArgs args;
    args.m_pForm = this;
    args.m_paths = {app.GetLocalAppData(), app.GetTmpDir(), app.GetReportFile(), app.GetLogFile()};
    args.m_strSupportEmail = OSTREL_SUPPORT_EMAIL;
    args.m_strAppTitle = AppTitle();
    CScanDlg dlg(std::move(args));
    dlg.DoModal(::GetModuleHandleW(nullptr), m_hWnd);
}

void COstrelDlg::OnAbout() {
    CAboutDlg dlg;
    dlg.DoModal(::GetModuleHandleW(nullptr), m_hWnd);
}

bool COstrelDlg::OnCommand(WORD wId, WORD wCode) {
    if (IsMandatoryField(wId)) {
        if (wCode == EN_CHANGE || wCode == EN_KILLFOCUS)
            UpdateScanEnabled();
        return true;
    }
    if (wCode != BN_CLICKED)
        return false;
    switch (wId) {
    case IDC_SCAN:
        OnScan();
        return true;
    case IDC_ABOUT:
        OnAbout();
        return true;
    case IDC_REFRESH:
        OnRefresh();
        return true;
    case IDC_LANG_ENGLISH:
        SetLanguage(kLangOffsetEnglish);
        return true;
    case IDC_LANG_FRENCH:
        SetLanguage(kLangOffsetFrench);
        return true;
    default:
        return false;
    }
}

bool COstrelDlg::PaintMinimised() {
    if (!::IsIconic(m_hWnd))
        return false;
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(m_hWnd, &ps);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int cx = ::GetSystemMetrics(SM_CXICON), cy = ::GetSystemMetrics(SM_CYICON);
    ::DrawIcon(hdc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, m_bigIcon.get());
    ::EndPaint(m_hWnd, &ps);
    return true;
}

bool COstrelDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_SYSCOMMAND:
        switch (FormSysCommand(static_cast<unsigned>(wParam))) {
        case EFormSysCommand::kAbout:
            OnAbout();
            return true;
        case EFormSysCommand::kScan:
            OnScan();
            return true;
        default:
            return false;
        }
    case kPlateScannerMessage: // WM_USER + 1, posted by the listener
        m_pMateriel->OnPlateScannerDatagram(static_cast<uintptr_t>(lParam));
        lResult = 0;
        return true;
    case WM_ERASEBKGND: {
        HDC hdc = reinterpret_cast<HDC>(wParam);
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        // The picture leaves a margin of five pixels on the top and left.
        ::FillRect(hdc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
        DrawBitmapAt(hdc, static_cast<HBITMAP>(m_background.get()), kBackgroundOrigin,
                     kBackgroundOrigin);
        lResult = TRUE;
        return true;
    }
    case WM_PAINT:
        return PaintMinimised();
    case WM_QUERYDRAGICON:
        lResult = reinterpret_cast<LRESULT>(m_bigIcon.get());
        return true;
    case WM_CTLCOLORSTATIC:
        return TransparentStatic(wParam, lParam, lResult);
    case WM_CTLCOLOREDIT: {
        if (!IsMandatoryField(::GetDlgCtrlID(reinterpret_cast<HWND>(lParam))))
            return false;
        ::SetBkColor(reinterpret_cast<HDC>(wParam), kMandatoryColour);
        lResult = reinterpret_cast<LRESULT>(m_mandatoryBrush.get());
        return true;
    }
    default:
        return false;
    }
}

} // namespace ostrel
