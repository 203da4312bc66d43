// The reporter's texts, busy indicator and form controls against real
// resources and windows.
#include "busy_indicator_win32.h"
#include "form_control_ids.h"
#include "form_controls_win32.h"
#include "module_path.h"
#include "path_text.h"
#include "ui_text.h"
#include "ui_text_win32.h"
#include "unique_handle.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

using namespace ostrel;

namespace {

std::wstring BinDir() {
    return FolderOfModulePath(GetRunningModulePath());
}

// Ostrel.exe's resources, loaded as data from beside this test.
CModule LoadProgramAsData() {
    return CModule(
        ::LoadLibraryExW((BinDir() + L"Ostrel.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

} // namespace

TEST(UiTextWin32, ProgramHoldsEveryTextInBothLanguages) {
    CModule program = LoadProgramAsData();
    ASSERT_TRUE(program) << GetLastError();
    CModuleStrings strings(program.get());
    struct Row {
        unsigned n;
        const wchar_t* french;
        const wchar_t* english;
    } rows[] = {
        {101, L"&A propos de Ostrel...", L"&About Ostrel..."},
        {102, L"&Lancer", L"&Scan"},
        {103, L"&Fermer", L"&Close"},
        {104, L"&A propos...", L"&About..."},
        {109, L"(les champs en rouge doivent \u00EAtre remplis)", L"(red fields must be filled) "},
        {110, L"Nom du technicien", L"Technician Name"},
        {111, L"Nom du client", L"Client Name"},
        {112, L"Description du probl\u00E8me", L"Problem description"},
        {113, L"Type de pi\u00E8ce \u00E0 main", L"Handpiece Type"},
        {114, L"Num\u00E9ro de s\u00E9rie", L"Handpiece Number"},
        {115, L"Type de dock", L"Docking Type"},
        {116, L"Num\u00E9ro de s\u00E9rie", L"Docking Number"},
        {117, L"Marque du g\u00E9n\u00E9rateur", L"X-Ray Generator Brand"},
        {118, L"Mod\u00E8le", L"Model"},
        {119, L"Type", L"Type"},
        {120, L"Logiciel de gestion", L"Practice Management Software"},
        {121, L"Autre logiciel d'imagerie", L"Other Imaging Software"},
        {122, L"D\u00E9tection mat\u00E9rielle", L"Hardware Detection"},
        {123, L"D\u00E9tection mat\u00E9rielle. Veuillez patienter...",
         L"Hardware detection. Please wait..."},
        {124, L"Aucun trouv\u00E9", L"None found"},
        {125, L"FICHE INCIDENT", L"INCIDENT SHEET"},
        {126,
         L"Pour poursuivre, vous devez imp\u00E9rativement fermer toutes vos applications "
         L"d\u2019imagerie.",
         L"You must close all imaging applications to continue."},
        {127, L"Fermez l'application \"Varnik Imaging\" avant de poursuivre.",
         L"Close \"Varnik Imaging.exe\" and choose \"OK\" to continue."},
        {128, L"Fermez l'application \"Kalder Digital\" avant de poursuivre",
         L"Close \"Kalder Digital.exe\" and choose \"OK\" to continue."},
        {129, L"Op\u00E9ration annul\u00E9e !", L"Operation aborted!"},
        {130, L"Type de cam\u00E9ra", L"Camera Type"},
        {131, L"Type voie de commande", L"Control Unit Type"},
        {133, L"Num\u00E9ro de cam\u00E9ra", L"Camera Number"},
        {134, L"Num. voie de commande", L"Control Unit Number"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(CUiText(strings, 0).Text(r.n), r.french) << r.n;
        EXPECT_EQ(CUiText(strings, 100).Text(r.n), r.english) << r.n;
    }
    // The unused numbers are not defined in either language.
    std::wstring text;
    for (unsigned n : {105u, 106u, 107u, 108u, 132u, 205u, 206u, 207u, 208u, 232u})
        EXPECT_FALSE(strings.LoadText(n, text)) << n;
}

namespace {

// A form with one child standing in for the tree; both record what reaches
// their window procedures.
struct SRecorder {
    std::vector<LPARAM> m_formUser1; // WM_USER + 1 parameters seen by the form
    std::vector<UINT> m_childMessages;
    int m_nChildPaints = 0;
};
SRecorder g_rec;

LRESULT CALLBACK FormProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_USER + 1) {
        g_rec.m_formUser1.push_back(lParam);
        return 0;
    }
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK ChildProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_PAINT) {
        ++g_rec.m_nChildPaints;
        PAINTSTRUCT ps;
        BeginPaint(hWnd, &ps);
        EndPaint(hWnd, &ps);
        return 0;
    }
    if (uMsg >= WM_APP) {
        g_rec.m_childMessages.push_back(uMsg);
        return 0;
    }
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

class BusyIndicatorWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        HINSTANCE hInst = GetModuleHandleW(nullptr);
        WNDCLASSW wc{};
        wc.hInstance = hInst;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        wc.lpfnWndProc = FormProc;
        wc.lpszClassName = L"BusyTestForm";
        RegisterClassW(&wc);
        wc.lpfnWndProc = ChildProc;
        wc.lpszClassName = L"BusyTestTree";
        RegisterClassW(&wc);
        m_hForm = CreateWindowExW(0, L"BusyTestForm", L"busy", WS_POPUP | WS_VISIBLE, 0, 0, 400,
                                  400, nullptr, nullptr, hInst, nullptr);
        m_hTree = CreateWindowExW(0, L"BusyTestTree", L"", WS_CHILD | WS_VISIBLE, 20, 20, 276, 200,
                                  m_hForm, nullptr, hInst, nullptr);
        m_hOther = CreateWindowExW(0, L"BusyTestForm", L"other", WS_POPUP, 0, 0, 10, 10, nullptr,
                                   nullptr, hInst, nullptr);
        ASSERT_TRUE(m_hForm && m_hTree && m_hOther);
        SetWindowPos(m_hForm, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        UpdateWindow(m_hForm);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        g_rec = SRecorder();
    }
    void TearDown() override {
        DestroyWindow(m_hOther);
        DestroyWindow(m_hForm);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    COLORREF Pixel(int x, int y) {
        HDC hdc = GetDC(m_hForm);
        COLORREF c = GetPixel(hdc, x, y);
        ReleaseDC(m_hForm, hdc);
        return c;
    }

    HWND m_hForm = nullptr, m_hTree = nullptr, m_hOther = nullptr;
};

} // namespace

TEST_F(BusyIndicatorWin32, DispatchesTheFormsMessagesAndRepaintsTheTree) {
    CBusyWindowWin32 window(m_hForm, m_hTree);
    CBusyIndicator busy;
    PostMessageW(m_hForm, WM_USER + 1, 0, 42);
    PostMessageW(m_hTree, WM_APP + 3, 0, 0);
    PostMessageW(m_hOther, WM_APP + 4, 0, 0);
    PostThreadMessageW(GetCurrentThreadId(), WM_APP + 5, 0, 0);

    busy.Step(false, window);
    EXPECT_EQ(g_rec.m_formUser1, (std::vector<LPARAM>{42}));
    EXPECT_EQ(g_rec.m_childMessages, (std::vector<UINT>{WM_APP + 3}));
    EXPECT_EQ(g_rec.m_nChildPaints, 1); // painted within the call

    // Messages of other windows and of the thread stay for the modal loop.
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, m_hOther, WM_APP + 4, WM_APP + 4, PM_REMOVE));
    EXPECT_TRUE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), WM_APP + 5, WM_APP + 5, PM_REMOVE));

    // Nothing is drawn below the tree while the flag is clear.
    EXPECT_NE(Pixel(60, 250), RGB(200, 215, 235));
    EXPECT_NE(Pixel(60, 250), RGB(255, 255, 255));
}

TEST_F(BusyIndicatorWin32, LightsTheSquaresBelowTheShortenedTree) {
    CBusyWindowWin32 window(m_hForm, m_hTree);
    CBusyIndicator busy;
    SBusyRect full;
    ASSERT_TRUE(window.TreeRect(full));
    EXPECT_EQ(full, (SBusyRect{20, 20, 296, 220}));
    busy.BeginDrawing(full);
    MoveWindow(m_hTree, 20, 20, 276, 100, TRUE); // bottom 120; b = 27

    busy.Step(true, window);
    const COLORREF lit = RGB(200, 215, 235), dim = RGB(235, 235, 235), white = RGB(255, 255, 255);
    // Square i spans x 47 + 27i .. 71 + 27i, y 147 .. 171.
    EXPECT_EQ(Pixel(47, 147), lit);
    EXPECT_EQ(Pixel(71, 171), lit);
    EXPECT_EQ(Pixel(72, 160), white); // the 2-pixel gap
    EXPECT_EQ(Pixel(47, 172), white);
    EXPECT_EQ(Pixel(74, 160), dim);
    EXPECT_EQ(Pixel(47 + 7 * 27 + 24, 160), dim);
    EXPECT_EQ(Pixel(25, 210), white); // the rest of the tree's former area
    EXPECT_NE(Pixel(25, 225), white); // below the saved rectangle: untouched

    busy.Step(false, window);
    EXPECT_EQ(Pixel(50, 160), dim);
    EXPECT_EQ(Pixel(77, 160), lit);
}

TEST(FormControlsWin32, RulesOverRealControls) {
    HINSTANCE hInst = GetModuleHandleW(nullptr);
    HWND hForm = CreateWindowExW(0, L"STATIC", L"form", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                                 hInst, nullptr);
    ASSERT_NE(hForm, nullptr);
    auto child = [&](const wchar_t* cls, DWORD style, unsigned id) {
        return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 50, 12, hForm,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), hInst, nullptr);
    };
    for (unsigned id : {IDC_TECH_NAME, IDC_CLIENT_NAME})
        ASSERT_NE(child(L"EDIT", ES_AUTOHSCROLL, id), nullptr);
    ASSERT_NE(child(L"EDIT", ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL, IDC_REMARK), nullptr);
    ASSERT_NE(child(L"BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, IDC_RADIO_AC), nullptr);
    ASSERT_NE(child(L"BUTTON", BS_AUTORADIOBUTTON, IDC_RADIO_DC), nullptr);

    CFormControlsWin32 controls(hForm);
    SetDlgItemTextW(hForm, IDC_TECH_NAME, L"   ");
    SetDlgItemTextW(hForm, IDC_CLIENT_NAME, L"Dr B");
    EXPECT_FALSE(IsScanEnabled(controls));
    SetDlgItemTextW(hForm, IDC_REMARK, L"x");
    EXPECT_TRUE(IsScanEnabled(controls));

    // A long multi-line description comes back whole, line ends included.
    std::wstring remark;
    for (int i = 0; i < 400; ++i)
        remark += L"line " + std::to_wstring(i) + L"\r\n";
    controls.SetText(IDC_REMARK, remark);
    EXPECT_EQ(controls.GetText(IDC_REMARK), remark);
    EXPECT_EQ(controls.GetText(4999), L""); // no such control

    // The radio pair: one selected at a time.
    controls.Check(IDC_RADIO_DC);
    EXPECT_EQ(FormFieldValue(controls, FormFields()[8]), L"DC");
    controls.Check(IDC_RADIO_AC);
    EXPECT_TRUE(controls.IsChecked(IDC_RADIO_AC));
    EXPECT_FALSE(controls.IsChecked(IDC_RADIO_DC));
    EXPECT_EQ(FormFieldValue(controls, FormFields()[8]), L"AC");

    DestroyWindow(hForm);
}
