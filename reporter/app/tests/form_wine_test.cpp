// The incident form of the real Ostrel.exe, driven from outside as a user
// would: texts read back from every control in both languages, the Scan rule,
// what a language switch keeps, Enter in a field, the About box, the product
// tags, and the commands a detection run must not start.
#include "module_path.h"
#include "path_text.h"
#include "practice_layout.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

std::wstring BinDir() {
    return ostrel::FolderOfModulePath(ostrel::GetRunningModulePath());
}

struct SProcess {
    PROCESS_INFORMATION m_pi{};
    SProcess() = default;
    SProcess(const SProcess&) = delete;
    SProcess& operator=(const SProcess&) = delete;
    ~SProcess() { Close(); }
    void Close() {
        if (!m_pi.hProcess)
            return;
        if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT)
            ::TerminateProcess(m_pi.hProcess, 99);
        ::WaitForSingleObject(m_pi.hProcess, 10000);
        ::CloseHandle(m_pi.hProcess);
        ::CloseHandle(m_pi.hThread);
        m_pi = {};
    }
};

bool Start(SProcess& proc, const std::wstring& exe, const std::wstring& args) {
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    return ::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &si, &proc.m_pi) != FALSE;
}

// Runs a helper program to its end.
DWORD RunToEnd(const std::wstring& exe, const std::wstring& args) {
    SProcess proc;
    if (!Start(proc, exe, args))
        return 0xFFFFFFFF;
    ::WaitForSingleObject(proc.m_pi.hProcess, 120000);
    DWORD code = 0xFFFFFFFF;
    ::GetExitCodeProcess(proc.m_pi.hProcess, &code);
    return code;
}

std::wstring Text(HWND hWnd) {
    wchar_t buffer[4096] = {};
    ::SendMessageTimeoutW(hWnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                          SMTO_ABORTIFHUNG, 5000, nullptr);
    return buffer;
}

struct SFind {
    DWORD m_dwPid;
    std::wstring m_strPrefix;
    HWND m_hFound = nullptr;
};

BOOL CALLBACK FindProc(HWND hWnd, LPARAM lParam) {
    auto& f = *reinterpret_cast<SFind*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    wchar_t title[256] = {};
    ::GetWindowTextW(hWnd, title, 256);
    if (pid == f.m_dwPid && ::IsWindowVisible(hWnd) &&
        std::wstring(title).rfind(f.m_strPrefix, 0) == 0) {
        f.m_hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopLevel(DWORD pid, const std::wstring& prefix, int nSeconds) {
    for (int i = 0; i <= nSeconds * 10; ++i) {
        SFind f{pid, prefix};
        ::EnumWindows(FindProc, reinterpret_cast<LPARAM>(&f));
        if (f.m_hFound || i == nSeconds * 10)
            return f.m_hFound;
        ::Sleep(100);
    }
    return nullptr;
}

// Memory in another process, for the controls that answer through pointers.
class CRemote {
public:
    CRemote(HWND hWnd, size_t nBytes) : m_nBytes(nBytes) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hWnd, &pid);
        m_hProcess =
            ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_hProcess)
            m_pRemote = static_cast<char*>(
                ::VirtualAllocEx(m_hProcess, nullptr, nBytes, MEM_COMMIT, PAGE_READWRITE));
    }
    ~CRemote() {
        if (m_pRemote)
            ::VirtualFreeEx(m_hProcess, m_pRemote, 0, MEM_RELEASE);
        if (m_hProcess)
            ::CloseHandle(m_hProcess);
    }
    CRemote(const CRemote&) = delete;
    CRemote& operator=(const CRemote&) = delete;
    char* Address() const { return m_pRemote; }
    void Write(const void* p, size_t n, size_t at = 0) {
        ::WriteProcessMemory(m_hProcess, m_pRemote + at, p, n, nullptr);
    }
    void Read(void* p, size_t n, size_t at = 0) {
        ::ReadProcessMemory(m_hProcess, m_pRemote + at, p, n, nullptr);
    }

private:
    HANDLE m_hProcess = nullptr;
    char* m_pRemote = nullptr;
    size_t m_nBytes;
};

// Every line of a tree control as "<depth spaces><text> [icon]".
std::vector<std::wstring> TreeLines(HWND hTree) {
    std::vector<std::wstring> lines;
    constexpr size_t kChars = 512;
    CRemote remote(hTree, sizeof(TVITEMW) + kChars * sizeof(wchar_t));
    if (!remote.Address())
        return lines;
    auto walk = [&](auto&& self, HTREEITEM hItem, int depth) -> void {
        for (; hItem; hItem = reinterpret_cast<HTREEITEM>(::SendMessageW(
                          hTree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(hItem)))) {
            TVITEMW item{};
            item.mask = TVIF_TEXT | TVIF_IMAGE;
            item.hItem = hItem;
            item.pszText = reinterpret_cast<wchar_t*>(remote.Address() + sizeof(TVITEMW));
            item.cchTextMax = kChars;
            remote.Write(&item, sizeof item);
            ::SendMessageW(hTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.Address()));
            remote.Read(&item, sizeof item);
            wchar_t text[kChars] = {};
            remote.Read(text, (kChars - 1) * sizeof(wchar_t), sizeof(TVITEMW));
            lines.push_back(std::wstring(static_cast<size_t>(depth) * 2, L' ') + text + L" [" +
                            std::to_wstring(item.iImage) + L"]");
            self(self,
                 reinterpret_cast<HTREEITEM>(::SendMessageW(hTree, TVM_GETNEXTITEM, TVGN_CHILD,
                                                            reinterpret_cast<LPARAM>(hItem))),
                 depth + 1);
        }
    };
    walk(walk, reinterpret_cast<HTREEITEM>(::SendMessageW(hTree, TVM_GETNEXTITEM, TVGN_ROOT, 0)),
         0);
    return lines;
}

// The system carries CB_GETLBTEXT's text across processes itself.
std::vector<std::wstring> ComboEntries(HWND hCombo) {
    std::vector<std::wstring> entries;
    const int n = static_cast<int>(::SendMessageW(hCombo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        wchar_t text[256] = {};
        if (::SendMessageW(hCombo, CB_GETLBTEXTLEN, i, 0) < 256)
            ::SendMessageW(hCombo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

const std::wstring kWaitingEn = L"Hardware detection. Please wait...";
const std::wstring kWaitingFr = L"D\u00E9tection mat\u00E9rielle. Veuillez patienter...";

// A running reporter in unattended mode (no imaging-application questions).
class CReporter {
public:
    explicit CReporter(const std::wstring& exe = BinDir() + L"Ostrel.exe") {
        if (Start(m_proc, exe, L"-auto"))
            m_hForm = FindTopLevel(m_proc.m_pi.dwProcessId, L"Ostrel.exe - ", 60);
    }
    ~CReporter() {
        if (m_hForm && ::IsWindow(m_hForm)) {
            ::PostMessageW(m_hForm, WM_CLOSE, 0, 0);
            ::WaitForSingleObject(m_proc.m_pi.hProcess, 15000);
        }
    }
    HWND Form() const { return m_hForm; }
    HWND Item(int id) const { return ::GetDlgItem(m_hForm, id); }
    std::wstring ItemText(int id) const { return Text(Item(id)); }
    DWORD Pid() const { return m_proc.m_pi.dwProcessId; }
    HANDLE Process() const { return m_proc.m_pi.hProcess; }

    bool Running() const {
        const std::vector<std::wstring> lines = TreeLines(Item(1046));
        return lines.empty() || lines[0].rfind(kWaitingEn, 0) == 0 ||
               lines[0].rfind(kWaitingFr, 0) == 0;
    }
    // Until the first detection run has ended (the waiting line is gone).
    bool WaitDetected(int nSeconds = 120) const {
        for (int i = 0; m_hForm && i < nSeconds * 10; ++i) {
            if (::IsWindowEnabled(m_hForm) && !Running())
                return true;
            ::Sleep(100);
        }
        return false;
    }
    void Click(int id) const {
        ::SendMessageW(m_hForm, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(Item(id)));
    }
    // Sets the text; a multi-line edit does not report this to the form.
    void Type(int id, const std::wstring& text) const {
        ::SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // Replaces the text key by key, as typing does: every key is a change
    // the form is told of.
    void TypeKeys(int id, const std::wstring& text) const {
        HWND hEdit = Item(id);
        ::SendMessageW(hEdit, EM_SETSEL, 0, -1);
        ::SendMessageW(hEdit, WM_CHAR, VK_BACK, 1);
        for (wchar_t c : text)
            ::SendMessageW(hEdit, WM_CHAR, c, 1);
    }
    bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
    bool Visible(int id) const { return ::IsWindowVisible(Item(id)) != FALSE; }

private:
    SProcess m_proc;
    HWND m_hForm = nullptr;
};

struct SText {
    int m_nId;
    const wchar_t* m_pszText;
};

// Every text of the form that does not depend on the product tag.
const SText kEnglish[] = {
    {1000, L"&Scan"},
    {2, L"&Close"},
    {1001, L"&About..."},
    {1049, L"Hardware Detection :"},
    {1047, L"Refresh"},
    {1015, L"INCIDENT SHEET"},
    {1051, L"(red fields must be filled) "},
    {1004, L"Technician Name"},
    {1005, L"Client Name"},
    {1006, L"Practice Management Software"},
    {1007, L"Other Imaging Software"},
    {1012, L"X-Ray Generator Brand"},
    {1013, L"Model"},
    {1045, L"Type"},
    {1016, L"Problem description"},
    {1056, L"English"},
    {1057, L"Fran\u00E7ais"},
    {1058, L"X-RAY"},
    {1022, L"AC"},
    {1031, L"DC"},
};
const SText kFrench[] = {
    {1000, L"&Lancer"},
    {2, L"&Fermer"},
    {1001, L"&A propos..."},
    {1049, L"D\u00E9tection mat\u00E9rielle :"},
    {1047, L"Rafra\u00EEchir"},
    {1015, L"FICHE INCIDENT"},
    {1051, L"(les champs en rouge doivent \u00EAtre remplis)"},
    {1004, L"Nom du technicien"},
    {1005, L"Nom du client"},
    {1006, L"Logiciel de gestion"},
    {1007, L"Autre logiciel d'imagerie"},
    {1012, L"Marque du g\u00E9n\u00E9rateur"},
    {1013, L"Mod\u00E8le"},
    {1045, L"Type"},
    {1016, L"Description du probl\u00E8me"},
    {1056, L"English"},
    {1057, L"Fran\u00E7ais"},
    {1058, L"X-RAY"},
    {1022, L"AC"},
    {1031, L"DC"},
};
// Camera and dock labels: handpiece wording (tag group 1) and camera wording.
const SText kHandpieceEn[] = {
    {1008, L"Handpiece Type"},
    {1009, L"Handpiece Number"},
    {1010, L"Docking Type"},
    {1011, L"Docking Number"},
};
const SText kHandpieceFr[] = {
    {1008, L"Type de pi\u00E8ce \u00E0 main"},
    {1009, L"Num\u00E9ro de s\u00E9rie"},
    {1010, L"Type de dock"},
    {1011, L"Num\u00E9ro de s\u00E9rie"},
};
const SText kCameraEn[] = {
    {1008, L"Camera Type"},
    {1009, L"Camera Number"},
    {1010, L"Control Unit Type"},
    {1011, L"Control Unit Number"},
};
const SText kCameraFr[] = {
    {1008, L"Type de cam\u00E9ra"},
    {1009, L"Num\u00E9ro de cam\u00E9ra"},
    {1010, L"Type voie de commande"},
    {1011, L"Num. voie de commande"},
};

template <size_t N>
void ExpectTexts(const CReporter& r, const SText (&texts)[N], const char* what) {
    for (const SText& t : texts)
        EXPECT_EQ(r.ItemText(t.m_nId), t.m_pszText) << what << ": control " << t.m_nId;
}

std::wstring PracticeInstaller() {
    std::wstring path = L"Z:";
    for (const char* p = OSTREL_PRACTICE_INSTALLER; *p; ++p)
        path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

void InstallPractice(const wchar_t* variant) {
    ASSERT_EQ(RunToEnd(PracticeInstaller(), variant), 0u) << "practice " << variant;
}

const std::wstring kProductFile =
    std::wstring(ostrel::practice::kInstallDir) + L"Varnik Imaging.prs";

void WriteProductTag(const wchar_t* tag) {
    std::wstring text = std::wstring(L"[PRODUCT]\r\nName=VARNIK Imaging\r\nTag=") + tag + L"\r\n";
    HANDLE h =
        ::CreateFileW(kProductFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::string narrow(text.begin(), text.end());
    DWORD written = 0;
    ::WriteFile(h, narrow.data(), static_cast<DWORD>(narrow.size()), &written, nullptr);
    ::CloseHandle(h);
}

class FormWine : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InstallPractice(L"none");
        s_pReporter = new CReporter();
    }
    static void TearDownTestSuite() {
        delete s_pReporter;
        s_pReporter = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(s_pReporter->Form()) << "no form";
        ASSERT_TRUE(s_pReporter->WaitDetected()) << "the first detection run did not end";
    }
    const CReporter& R() const { return *s_pReporter; }
    static CReporter* s_pReporter;
};
CReporter* FormWine::s_pReporter = nullptr;

} // namespace

TEST_F(FormWine, EveryTextInBothLanguagesAndTheTreeInTheLanguageOfItsRun) {
    // After the first run the technician field has the focus.
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(::GetGUIThreadInfo(::GetWindowThreadProcessId(R().Form(), nullptr), &gui));
    EXPECT_EQ(gui.hwndFocus, R().Item(1019));

    // Nothing installed: tag group 1, the handpiece wording; no sensor, so the
    // X-ray fields are hidden, and no bridge, so the camera fields are disabled.
    R().Click(1056);
    ExpectTexts(R(), kEnglish, "English");
    ExpectTexts(R(), kHandpieceEn, "English");
    EXPECT_EQ(TreeLines(R().Item(1046)), std::vector<std::wstring>{L"None found [2]"});
    EXPECT_TRUE(::GetWindowTextLengthW(R().Form()) > 0);
    EXPECT_EQ(Text(R().Form()).rfind(L"Ostrel.exe - v.", 0), 0u) << Text(R().Form()).c_str();

    R().Click(1057);
    ExpectTexts(R(), kFrench, "French");
    ExpectTexts(R(), kHandpieceFr, "French");
    // The tree keeps the language it was built in until the next run.
    EXPECT_EQ(TreeLines(R().Item(1046)), std::vector<std::wstring>{L"None found [2]"});
    R().Click(1047);
    ASSERT_TRUE(R().WaitDetected());
    EXPECT_EQ(TreeLines(R().Item(1046)), std::vector<std::wstring>{L"Aucun trouv\u00E9 [2]"});

    for (int id : {1008, 1009, 1010, 1011, 1050, 1052, 1025, 1027})
        EXPECT_FALSE(R().Enabled(id)) << id;
    for (int id : {1012, 1013, 1045, 1028, 1029, 1022, 1031, 1058})
        EXPECT_FALSE(R().Visible(id)) << id;
    R().Click(1056);
}

TEST_F(FormWine, MandatoryFieldsAreRedWhateverTheyHold) {
    // The colour inside an edit, off its text and its scroll bar.
    auto colour = [&](int id) {
        RECT rect{};
        ::GetWindowRect(R().Item(id), &rect);
        ::RedrawWindow(R().Item(id), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        HDC hdc = ::GetDC(nullptr);
        const COLORREF c = ::GetPixel(hdc, rect.left + (rect.right - rect.left) * 3 / 4, rect.bottom - 4);
        ::ReleaseDC(nullptr, hdc);
        return c;
    };
    R().Type(1019, L"");
    R().Type(1020, L"Dupont");
    for (int id : {1019, 1020, 1017})
        EXPECT_EQ(colour(id), RGB(255, 180, 180)) << id;
    EXPECT_EQ(colour(1021), RGB(255, 255, 255));
}

TEST_F(FormWine, ScanNeedsTechnicianClientAndRemarkBlanksCounting) {
    struct {
        const wchar_t *tech, *client, *remark;
        bool enabled;
    } cases[] = {
        {L"Martin", L"Cabinet Dupont", L"", false}, {L"Martin", L"Cabinet Dupont", L"x", true},
        {L"", L"Cabinet Dupont", L"x", false},      {L"Martin", L"", L"x", false},
        {L"   ", L"Cabinet Dupont", L"x", true},    {L"Martin", L" ", L" ", true},
    };
    for (const auto& c : cases) {
        R().TypeKeys(1019, c.tech);
        R().TypeKeys(1020, c.client);
        R().TypeKeys(1017, c.remark);
        EXPECT_EQ(R().ItemText(1017), c.remark);
        EXPECT_EQ(R().Enabled(1000), c.enabled)
            << "tech '" << c.tech[0] << "' client '" << c.client[0] << "' remark '" << c.remark[0]
            << "'";
    }
}

TEST_F(FormWine, LanguageSwitchKeepsTypedFieldsComboTextsRadioAndTree) {
    const std::pair<int, std::wstring> typed[] = {
        {1019, L"Martin"},      {1020, L"Cabinet Dupont"},       {1021, L"Logos"},
        {1023, L"Viewer 3"},    {1017, L"Line one\r\nline two"}, {1050, L"K430 First"},
        {1052, L"my own dock"},
    };
    for (const auto& [id, text] : typed)
        R().Type(id, text);
    ::SendMessageW(R().Item(1031), BM_CLICK, 0, 0);
    const std::vector<std::wstring> tree = TreeLines(R().Item(1046));
    const size_t devices = ComboEntries(R().Item(1050)).size();

    for (int language : {1057, 1056, 1057}) {
        R().Click(language);
        for (const auto& [id, text] : typed)
            EXPECT_EQ(R().ItemText(id), text) << "control " << id << " after " << language;
        EXPECT_EQ(::SendMessageW(R().Item(1031), BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_EQ(::SendMessageW(R().Item(1022), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        EXPECT_EQ(TreeLines(R().Item(1046)), tree);
        EXPECT_EQ(ComboEntries(R().Item(1050)).size(), devices);
    }
    R().Click(1056);
}

TEST_F(FormWine, EnterInASingleLineFieldKeepsTheFormOpen) {
    R().Type(1019, L"Martin");
    HWND hEdit = R().Item(1020);
    ::PostMessageW(hEdit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageW(hEdit, WM_KEYUP, VK_RETURN, 0xC01C0001);
    ::Sleep(1500);
    ASSERT_TRUE(::IsWindow(R().Form()));
    EXPECT_TRUE(::IsWindowVisible(R().Form()));
    EXPECT_EQ(R().ItemText(1019), L"Martin");
}

TEST_F(FormWine, AboutBoxShowsTheVersionAndTheCompressionLicence) {
    ::PostMessageW(R().Item(1001), BM_CLICK, 0, 0);
    HWND hAbout = FindTopLevel(R().Pid(), L"A propos de Ostrel", 20);
    ASSERT_TRUE(hAbout);
    EXPECT_EQ(Text(::GetDlgItem(hAbout, 1040)), Text(R().Form()));
    const std::wstring licence = Text(::GetDlgItem(hAbout, 1055));
    EXPECT_EQ(licence.rfind(L"zlib 1.", 0), 0u);
    for (const wchar_t* part :
         {L"Permission is granted to anyone to use this software for any purpose",
          L"3. This notice may not be removed or altered from any source distribution."})
        EXPECT_NE(licence.find(part), std::wstring::npos) << part;
    ::PostMessageW(::GetDlgItem(hAbout, IDOK), BM_CLICK, 0, 0);
    for (int i = 0; i < 50 && ::IsWindow(hAbout); ++i)
        ::Sleep(100);
    EXPECT_FALSE(::IsWindow(hAbout));
    // The system menu's About command opens it too.
    ::PostMessageW(R().Form(), WM_SYSCOMMAND, 16, 0);
    hAbout = FindTopLevel(R().Pid(), L"A propos de Ostrel", 20);
    ASSERT_TRUE(hAbout);
    ::PostMessageW(hAbout, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 50 && ::IsWindow(hAbout); ++i)
        ::Sleep(100);
}

TEST(FormProductTagWine, WordingAndModelListsFollowTheTag) {
    const std::vector<std::wstring> handpieces = {L"CURAVIS", L"K410",       L"K420",
                                                  L"K430",    L"K430 First", L"LUXORA"};
    const std::vector<std::wstring> docks = {L"410_USB2", L"DN_USB2", L"DV_VIDEO",
                                             L"DW_USB2",  L"DX_410",  L"DX_USB2"};
    const std::vector<std::wstring> medical = {L"K510", L"K520", L"K530", L"K610"};
    const std::vector<std::wstring> medicalDocks = {L"K510", L"K520", L"K530"};
    const std::vector<std::wstring> both = {L"CURAVIS", L"K410", L"K420", L"K430", L"K430 First",
                                            L"K510",    L"K520", L"K530", L"K610", L"LUXORA"};
    const std::vector<std::wstring> bothDocks = {L"410_USB2", L"DN_USB2", L"DV_VIDEO",
                                                 L"DW_USB2",  L"DX_410",  L"DX_USB2",
                                                 L"K510",     L"K520",    L"K530"};
    struct {
        const wchar_t* tag; // null: no product file
        bool handpiece;
        const std::vector<std::wstring>& devices;
        const std::vector<std::wstring>& docks;
    } cases[] = {
        {nullptr, true, handpieces, docks},
        {L"31", false, medical, medicalDocks},
        {L"12", false, both, bothDocks},
    };
    InstallPractice(L"standard");
    for (const auto& c : cases) {
        if (c.tag)
            WriteProductTag(c.tag);
        else
            ::DeleteFileW(kProductFile.c_str());
        CReporter r;
        ASSERT_TRUE(r.Form());
        ASSERT_TRUE(r.WaitDetected());
        r.Click(1056);
        if (c.handpiece)
            ExpectTexts(r, kHandpieceEn, c.tag ? "tag" : "no product file");
        else
            ExpectTexts(r, kCameraEn, "tag");
        r.Click(1057);
        if (c.handpiece)
            ExpectTexts(r, kHandpieceFr, c.tag ? "tag" : "no product file");
        else
            ExpectTexts(r, kCameraFr, "tag");
        EXPECT_EQ(ComboEntries(r.Item(1050)), c.devices) << (c.tag ? c.tag : L"none");
        EXPECT_EQ(ComboEntries(r.Item(1052)), c.docks) << (c.tag ? c.tag : L"none");
        // Nothing preselected.
        EXPECT_EQ(r.ItemText(1050), L"");
        EXPECT_EQ(r.ItemText(1052), L"");
    }
    InstallPractice(L"none");
}

namespace {

std::wstring LocalAppData() {
    wchar_t path[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

RECT TreeRect(const CReporter& r) {
    RECT rect{};
    ::GetWindowRect(r.Item(1046), &rect);
    return rect;
}

// Sets an environment variable for the processes started while it lives.
class CEnvironment {
public:
    CEnvironment(const wchar_t* name, const wchar_t* value) : m_name(name) {
        ::SetEnvironmentVariableW(name, value);
    }
    ~CEnvironment() { ::SetEnvironmentVariableW(m_name.c_str(), nullptr); }

private:
    std::wstring m_name;
};

} // namespace

TEST(FormSensorWine, XrayFieldsShowTheSettingsOnceThenKeepWhatWasTyped) {
    InstallPractice(L"standard");
    const std::wstring ini =
        LocalAppData() + L"\\" + ostrel::practice::kProductName + L"\\Varnik Imaging.ini";
    ASSERT_TRUE(::WritePrivateProfileStringW(L"TESSEL", L"GeneACDC", L"1", ini.c_str()));
    ::WritePrivateProfileStringW(L"Generator", L"GeneratorName", L"Helion X", ini.c_str());
    ::WritePrivateProfileStringW(L"Generator", L"GeneratorKV", L"70", ini.c_str());
    ::WritePrivateProfileStringW(L"Generator", L"GeneratorMA", L"", ini.c_str());
    // The sensor server started by the run finds a wired sensor behind a box.
    CEnvironment sim(L"TORVEX_SIM", L"box=123;clock=virtual");
    {
        CReporter r;
        ASSERT_TRUE(r.Form());
        ASSERT_TRUE(r.WaitDetected());
        for (int id : {1012, 1013, 1045, 1028, 1029, 1022, 1031, 1058})
            EXPECT_TRUE(r.Visible(id)) << id;
        // No bridge: the camera fields stay disabled.
        EXPECT_FALSE(r.Enabled(1050));
        EXPECT_EQ(r.ItemText(1028), L"Helion X");
        EXPECT_EQ(r.ItemText(1029), L"70 kV -  mA");
        EXPECT_EQ(::SendMessageW(r.Item(1031), BM_GETCHECK, 0, 0), BST_CHECKED);

        r.Type(1028, L"Oralix");
        r.Type(1029, L"65 kV - 7 mA");
        ::SendMessageW(r.Item(1022), BM_CLICK, 0, 0);
        r.Click(1057);
        r.Click(1047);
        ASSERT_TRUE(r.WaitDetected());
        EXPECT_TRUE(r.Visible(1028));
        EXPECT_EQ(r.ItemText(1028), L"Oralix");
        EXPECT_EQ(r.ItemText(1029), L"65 kV - 7 mA");
        EXPECT_EQ(::SendMessageW(r.Item(1022), BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_EQ(::SendMessageW(r.Item(1031), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    }
    InstallPractice(L"none");
}

TEST(FormBusyWine, ScanRefreshAndTheMenuScanWaitForTheRunToEnd) {
    // A slow server: every command is answered, empty, 2 s after it came, so
    // each of the run's three sensor probes is busy that long and the run
    // lasts long enough to click into it. (The client's own time limit on a
    // server that never answers is detection_wine_test's.)
    CEnvironment slow(L"STUB_SERVER_ANSWER_MS", L"2000");
    const std::wstring bin = BinDir();
    const std::wstring folder = bin + L"form_slow_run\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* file : {L"Ostrel.exe", L"Vidlink.dll", L"Vidlink_285.dll"})
        ASSERT_TRUE(::CopyFileW((bin + file).c_str(), (folder + file).c_str(), FALSE)) << file;
    ASSERT_TRUE(::CopyFileW((bin + L"stub_server\\TORVEX.exe").c_str(),
                            (folder + L"TORVEX.exe").c_str(), FALSE));
    ::DeleteFileW((folder + L"TORVEX.INI").c_str());

    CReporter r(folder + L"Ostrel.exe");
    ASSERT_TRUE(r.Form());
    const RECT full = TreeRect(r);
    bool bShort = false;
    for (int i = 0; i < 600 && !bShort; ++i) {
        const RECT now = TreeRect(r);
        bShort = now.bottom - now.top == 140;
        if (!bShort)
            ::Sleep(50);
    }
    ASSERT_TRUE(bShort) << "the tree was never shortened for the busy squares";
    EXPECT_TRUE(r.Running());

    // Everything is posted: the form handles it between two probes.
    auto post = [&](int id, UINT msg, WPARAM w, LPARAM l) {
        ::PostMessageW(r.Item(id), msg, w, l);
    };
    for (const auto& [id, text] :
         {std::pair<int, std::wstring>{1019, L"Martin"}, {1020, L"Dupont"}, {1017, L"x"}})
        for (wchar_t c : text)
            post(id, WM_CHAR, c, 1);
    post(1000, BM_CLICK, 0, 0);
    ::PostMessageW(r.Form(), WM_SYSCOMMAND, 32, 0);
    post(1047, BM_CLICK, 0, 0);

    ASSERT_TRUE(r.WaitDetected(180));
    ::Sleep(1000);
    EXPECT_FALSE(FindTopLevel(r.Pid(), L"Diagnostic...", 0)) << "a scan was started by the run";
    EXPECT_FALSE(r.Running()) << "a second run followed the first";
    const RECT after = TreeRect(r);
    EXPECT_EQ(after.bottom - after.top, full.bottom - full.top);
    EXPECT_EQ(TreeLines(r.Item(1046)), std::vector<std::wstring>{L"None found [2]"});
    // What was typed during the run counts once it has ended.
    EXPECT_EQ(r.ItemText(1019), L"Martin");
    EXPECT_TRUE(r.Enabled(1000));
}
