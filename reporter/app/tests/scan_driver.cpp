// Drives a running Ostrel.exe from outside, as a user would: fills the form,
// presses Scan or Cancel, reads the rows of the scan's real list view
// (cross-process), answers the end message and closes the windows. Used by
// the scan's Wine test and by the main job.
//
//   scan_driver fill <technician> <client> <remark>   ("\n" in a text: a new line)
//   scan_driver scan
//   scan_driver wait <seconds> [cancel]   rows as "icon<TAB>action<TAB>status<TAB>comment",
//                                         then "MESSAGE<TAB>" + the end message
//   scan_driver click <control id>   presses a button of the ready form
//   scan_driver ok | close | desktop
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kTech = 1019, kClient = 1020, kRemark = 1017, kScan = 1000, kTree = 1046;

struct SFind {
    std::wstring m_strPrefix;
    std::wstring m_strClass;
    DWORD m_dwProcess = 0;
    HWND m_hFound = nullptr;
    bool m_bWhole = false; // the title is the whole text, not only its start
};

std::wstring Text(HWND hWnd) {
    wchar_t buffer[4096] = {};
    ::SendMessageTimeoutW(hWnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                          SMTO_ABORTIFHUNG, 5000, nullptr);
    return buffer;
}

BOOL CALLBACK FindProc(HWND hWnd, LPARAM lParam) {
    auto& f = *reinterpret_cast<SFind*>(lParam);
    wchar_t title[512] = {}, cls[64] = {};
    ::GetWindowTextW(hWnd, title, 512);
    ::GetClassNameW(hWnd, cls, 64);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    const bool match =
        f.m_bWhole ? title == f.m_strPrefix : std::wstring(title).rfind(f.m_strPrefix, 0) == 0;
    if (match && (f.m_strClass.empty() || f.m_strClass == cls) &&
        (!f.m_dwProcess || pid == f.m_dwProcess)) {
        f.m_hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

HWND Find(const std::wstring& prefix, const std::wstring& cls = L"", DWORD pid = 0) {
    SFind f{prefix, cls, pid, nullptr};
    ::EnumWindows(FindProc, reinterpret_cast<LPARAM>(&f));
    return f.m_hFound;
}

HWND WaitFor(const std::wstring& prefix, int seconds, const std::wstring& cls = L"",
             DWORD pid = 0) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (HWND h = Find(prefix, cls, pid))
            return h;
        ::Sleep(100);
    }
    return nullptr;
}

HWND Form() {
    return WaitFor(L"Ostrel.exe - ", 60);
}

DWORD ProcessOf(HWND hWnd);

// The text of the first root line of a tree control of another process.
std::wstring TreeRootText(HWND hTree) {
    HTREEITEM hRoot =
        reinterpret_cast<HTREEITEM>(::SendMessageW(hTree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    if (!hRoot)
        return L"";
    HANDLE hProcess = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                                    FALSE, ProcessOf(hTree));
    if (!hProcess)
        return L"";
    constexpr size_t kChars = 512;
    auto* remote = static_cast<char*>(::VirtualAllocEx(
        hProcess, nullptr, sizeof(TVITEMW) + kChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    wchar_t text[kChars] = {};
    if (remote) {
        TVITEMW item{};
        item.mask = TVIF_TEXT;
        item.hItem = hRoot;
        item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(TVITEMW));
        item.cchTextMax = kChars;
        ::WriteProcessMemory(hProcess, remote, &item, sizeof item, nullptr);
        ::SendMessageW(hTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote));
        ::ReadProcessMemory(hProcess, remote + sizeof(TVITEMW), text,
                            (kChars - 1) * sizeof(wchar_t), nullptr);
        ::VirtualFreeEx(hProcess, remote, 0, MEM_RELEASE);
    }
    ::CloseHandle(hProcess);
    return text;
}

// Until the form's detection run has ended, its tree starts with the waiting line.
bool Detecting(HWND hForm) {
    const std::wstring root = TreeRootText(::GetDlgItem(hForm, kTree));
    return root.empty() || root == L"Hardware detection. Please wait..." ||
           root == L"D\u00E9tection mat\u00E9rielle. Veuillez patienter...";
}

// The form once it takes input: before that its start-up (the update check,
// the first detection run) runs, and a scan dialog disables it.
HWND ReadyForm() {
    for (int i = 0; i < 1800; ++i) {
        HWND h = Find(L"Ostrel.exe - ", L"#32770");
        if (h && ::IsWindowVisible(h) && ::IsWindowEnabled(h) && !Detecting(h))
            return h;
        ::Sleep(100);
    }
    return nullptr;
}

DWORD ProcessOf(HWND hWnd) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    return pid;
}

std::wstring Unescape(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'n') {
            out += L"\r\n";
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 4 + 1, '\0');
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                        out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? n : 0);
    return out;
}

std::wstring Escape(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\r')
            out += L"\\r";
        else if (c == L'\n')
            out += L"\\n";
        else if (c == L'\t')
            out += L"\\t";
        else
            out += c;
    }
    return out;
}

// The rows of a list view of another process, through memory of that process.
std::vector<std::wstring> ReadRows(HWND hList) {
    std::vector<std::wstring> rows;
    HANDLE hProcess = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                                    FALSE, ProcessOf(hList));
    if (!hProcess)
        return rows;
    constexpr size_t kChars = 2048;
    const size_t bytes = sizeof(LVITEMW) + kChars * sizeof(wchar_t);
    auto* remote =
        static_cast<char*>(::VirtualAllocEx(hProcess, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
    const int count = static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count && remote; ++row) {
        std::wstring line;
        for (int column = -1; column < 3; ++column) {
            LVITEMW item{};
            item.iItem = row;
            item.iSubItem = column < 0 ? 0 : column;
            item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
            item.cchTextMax = kChars;
            item.mask = column < 0 ? LVIF_IMAGE : LVIF_TEXT;
            ::WriteProcessMemory(hProcess, remote, &item, sizeof item, nullptr);
            ::SendMessageW(hList, column < 0 ? LVM_GETITEMW : LVM_GETITEMTEXTW, row,
                           reinterpret_cast<LPARAM>(remote));
            if (column < 0) {
                ::ReadProcessMemory(hProcess, remote, &item, sizeof item, nullptr);
                line += std::to_wstring(item.iImage);
            } else {
                wchar_t text[kChars] = {};
                ::ReadProcessMemory(hProcess, remote + sizeof(LVITEMW), text,
                                    (kChars - 1) * sizeof(wchar_t), nullptr);
                line += L"\t" + Escape(text);
            }
        }
        rows.push_back(line);
    }
    if (remote)
        ::VirtualFreeEx(hProcess, remote, 0, MEM_RELEASE);
    ::CloseHandle(hProcess);
    return rows;
}

HWND WaitEndMessage(DWORD pid, HWND hForm, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        // The form's caption also starts with "Ostrel", and it may lie above
        // the box: the box is the window titled exactly so.
        SFind f{L"Ostrel", L"#32770", pid, nullptr, true};
        ::EnumWindows(FindProc, reinterpret_cast<LPARAM>(&f));
        if (f.m_hFound && f.m_hFound != hForm)
            return f.m_hFound;
        ::Sleep(100);
    }
    return nullptr;
}

int Fill(const std::wstring& tech, const std::wstring& client, const std::wstring& remark) {
    HWND hForm = ReadyForm();
    if (!hForm)
        return 2;
    const std::pair<int, std::wstring> fields[] = {
        {kTech, Unescape(tech)}, {kClient, Unescape(client)}, {kRemark, Unescape(remark)}};
    for (const auto& [id, text] : fields) {
        ::SendMessageW(::GetDlgItem(hForm, id), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(text.c_str()));
        // What leaving the field tells the form.
        ::SendMessageW(hForm, WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hForm, id)));
    }
    const bool enabled = ::IsWindowEnabled(::GetDlgItem(hForm, kScan));
    std::printf("scan %s\n", enabled ? "enabled" : "disabled");
    return 0;
}

int Scan() {
    HWND hForm = ReadyForm();
    if (!hForm)
        return 2;
    HWND hButton = ::GetDlgItem(hForm, kScan);
    if (!::IsWindowEnabled(hButton)) {
        std::fprintf(stderr, "scan_driver: Scan is disabled\n");
        return 3;
    }
    ::PostMessageW(hButton, BM_CLICK, 0, 0);
    return 0;
}

int Wait(int seconds, bool cancel) {
    HWND hForm = Form();
    if (!hForm)
        return 2;
    const DWORD pid = ProcessOf(hForm);
    HWND hDlg = WaitFor(L"Diagnostic...", 30, L"", pid);
    if (!hDlg) {
        std::fprintf(stderr, "scan_driver: no scan dialog\n");
        return 4;
    }
    HWND hList = ::GetDlgItem(hDlg, 1043);
    if (cancel) {
        for (int i = 0; i < 300 && ::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0) < 3; ++i)
            ::Sleep(100);
        ::PostMessageW(::GetDlgItem(hDlg, IDCANCEL), BM_CLICK, 0, 0);
    }
    HWND hBox = WaitEndMessage(pid, hForm, seconds);
    for (const auto& row : ReadRows(hList))
        std::printf("%s\n", Utf8(row).c_str());
    if (!hBox) {
        std::fprintf(stderr, "scan_driver: no end message within %d s\n", seconds);
        return 5;
    }
    std::printf("MESSAGE\t%s\n", Utf8(Escape(Text(::GetDlgItem(hBox, 0xFFFF)))).c_str());
    std::printf("DIALOG\t%s\n", ::IsWindowVisible(hDlg) ? "visible" : "hidden");
    return 0;
}

int Ok() {
    HWND hForm = Form();
    if (!hForm)
        return 2;
    HWND hBox = WaitEndMessage(ProcessOf(hForm), hForm, 5);
    if (!hBox)
        return 5;
    ::PostMessageW(hBox, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 50 && ::IsWindow(hBox); ++i)
        ::Sleep(100);
    return ::IsWindow(hBox) ? 6 : 0;
}

int Close() {
    HWND hForm = Find(L"Ostrel.exe - ");
    if (!hForm)
        return 0;
    if (HWND hDlg = Find(L"Diagnostic...", L"", ProcessOf(hForm))) {
        ::PostMessageW(hDlg, WM_CLOSE, 0, 0);
        for (int i = 0; i < 100 && ::IsWindow(hDlg); ++i)
            ::Sleep(100);
    }
    ::PostMessageW(hForm, WM_CLOSE, 0, 0);
    for (int i = 0; i < 100 && ::IsWindow(hForm); ++i)
        ::Sleep(100);
    return ::IsWindow(hForm) ? 6 : 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"fill" && argc == 5)
        return Fill(argv[2], argv[3], argv[4]);
    if (command == L"scan")
        return Scan();
    if (command == L"wait" && argc >= 3)
        return Wait(_wtoi(argv[2]), argc > 3 && std::wstring(argv[3]) == L"cancel");
    if (command == L"click" && argc == 3) {
        HWND hForm = ReadyForm();
        if (!hForm)
            return 2;
        ::SendMessageW(::GetDlgItem(hForm, _wtoi(argv[2])), BM_CLICK, 0, 0);
        return 0;
    }
    if (command == L"ok")
        return Ok();
    if (command == L"close")
        return Close();
    if (command == L"desktop") {
        wchar_t path[MAX_PATH] = {};
        ::SHGetSpecialFolderPathW(nullptr, path, CSIDL_DESKTOP, FALSE);
        std::printf("%s\n", Utf8(path).c_str());
        return 0;
    }
    std::fprintf(stderr, "usage: scan_driver fill|scan|wait|click|ok|close|desktop ...\n");
    return 64;
}
