// Watches a running Ostrel.exe from outside, as the main job's user: answers
// its start-up question and reads its device tree (the tree view lives in the
// other process, so every item goes through memory allocated there).
//   form_watch answer <seconds>  waits for a message box of the form's start-up
//                                (the form's caption), prints its text, presses OK
//   form_watch wait <seconds>    waits until the first detection run has ended,
//                                then prints the tree
//   form_watch print             prints the tree as it stands
//   form_watch expand            opens every root line, as a user's clicks would
// Tree lines: two blanks per level, "[icon] text", UTF-8. Exit code 0; 1 when
// the form, its tree or the box is not there; 2 when the run did not end in time.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kTreeId = 1046;
constexpr int kTextChars = 512;
const wchar_t* const kWaitingTexts[] = {L"Hardware detection. Please wait...",
                                        L"D\u00E9tection mat\u00E9rielle. Veuillez patienter..."};

struct SLine {
    int m_nDepth;
    int m_nIcon;
    std::wstring m_strText;
};

struct SFind {
    bool m_bForm; // the form (it has the tree), or a box with the form's caption
    HWND m_hFound;
};

BOOL CALLBACK FindWindowProc(HWND hWnd, LPARAM lParam) {
    auto* pFind = reinterpret_cast<SFind*>(lParam);
    wchar_t title[256] = {}, cls[16] = {};
    ::GetWindowTextW(hWnd, title, 256);
    ::GetClassNameW(hWnd, cls, 16);
    if (std::wstring(title).rfind(L"Ostrel.exe - ", 0) == 0 && std::wstring(cls) == L"#32770" &&
        ::IsWindowVisible(hWnd) && (::GetDlgItem(hWnd, kTreeId) != nullptr) == pFind->m_bForm) {
        pFind->m_hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindTop(bool bForm) {
    SFind find{bForm, nullptr};
    ::EnumWindows(FindWindowProc, reinterpret_cast<LPARAM>(&find));
    return find.m_hFound;
}

HWND Form() {
    return FindTop(true);
}

std::string Utf8(const std::wstring& text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n > 0 ? n : 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), n, nullptr, nullptr);
    utf8.resize(std::strlen(utf8.c_str()));
    return utf8;
}

int Answer(int nSeconds) {
    for (int i = 0; i < nSeconds * 10; ++i) {
        if (HWND hBox = FindTop(false)) {
            wchar_t text[1024] = {};
            ::GetDlgItemTextW(hBox, 0xFFFF, text, 1024);
            std::printf("%s\n", Utf8(text).c_str());
            std::fflush(stdout);
            ::PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            for (int j = 0; j < 50 && ::IsWindow(hBox) && ::IsWindowVisible(hBox); ++j)
                ::Sleep(100);
            return 0;
        }
        ::Sleep(100);
    }
    std::fprintf(stderr, "form_watch: no start-up question within %d s\n", nSeconds);
    return 1;
}

// Memory in the tree's process for one item and its text.
class CRemoteItem {
public:
    explicit CRemoteItem(HWND hTree) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hTree, &pid);
        m_hProcess =
            ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_hProcess)
            m_pRemote = ::VirtualAllocEx(m_hProcess, nullptr, kSize, MEM_COMMIT, PAGE_READWRITE);
    }
    ~CRemoteItem() {
        if (m_pRemote)
            ::VirtualFreeEx(m_hProcess, m_pRemote, 0, MEM_RELEASE);
        if (m_hProcess)
            ::CloseHandle(m_hProcess);
    }
    CRemoteItem(const CRemoteItem&) = delete;
    CRemoteItem& operator=(const CRemoteItem&) = delete;
    explicit operator bool() const { return m_pRemote != nullptr; }

    bool Read(HWND hTree, HTREEITEM hItem, int& nIcon, std::wstring& text) {
        auto* pBase = static_cast<char*>(m_pRemote);
        TVITEMW item{};
        item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_HANDLE;
        item.hItem = hItem;
        item.pszText = reinterpret_cast<LPWSTR>(pBase + sizeof(TVITEMW));
        item.cchTextMax = kTextChars;
        wchar_t empty = 0;
        if (!::WriteProcessMemory(m_hProcess, pBase, &item, sizeof item, nullptr) ||
            !::WriteProcessMemory(m_hProcess, pBase + sizeof item, &empty, sizeof empty, nullptr))
            return false;
        DWORD_PTR result = 0;
        if (!::SendMessageTimeoutW(hTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(pBase),
                                   SMTO_ABORTIFHUNG, 5000, &result) ||
            !result)
            return false;
        wchar_t buffer[kTextChars + 1] = {};
        if (!::ReadProcessMemory(m_hProcess, pBase, &item, sizeof item, nullptr) ||
            !::ReadProcessMemory(m_hProcess, pBase + sizeof item, buffer,
                                 kTextChars * sizeof(wchar_t), nullptr))
            return false;
        nIcon = item.iImage;
        text = buffer;
        return true;
    }

private:
    static constexpr SIZE_T kSize = sizeof(TVITEMW) + (kTextChars + 1) * sizeof(wchar_t);
    HANDLE m_hProcess = nullptr;
    void* m_pRemote = nullptr;
};

HTREEITEM Next(HWND hTree, UINT uCode, HTREEITEM hItem) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(hTree, TVM_GETNEXTITEM, uCode, reinterpret_cast<LPARAM>(hItem),
                          SMTO_ABORTIFHUNG, 5000, &result);
    return reinterpret_cast<HTREEITEM>(result);
}

void Walk(HWND hTree, CRemoteItem& remote, HTREEITEM hFirst, int nDepth, std::vector<SLine>& out) {
    for (HTREEITEM h = hFirst; h && out.size() < 2000; h = Next(hTree, TVGN_NEXT, h)) {
        SLine line{nDepth, -1, L""};
        remote.Read(hTree, h, line.m_nIcon, line.m_strText);
        out.push_back(line);
        if (nDepth < 8)
            Walk(hTree, remote, Next(hTree, TVGN_CHILD, h), nDepth + 1, out);
    }
}

std::vector<SLine> ReadTree(HWND hTree) {
    std::vector<SLine> lines;
    CRemoteItem remote(hTree);
    if (remote)
        Walk(hTree, remote, Next(hTree, TVGN_ROOT, nullptr), 0, lines);
    return lines;
}

bool Same(const std::vector<SLine>& a, const std::vector<SLine>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].m_nDepth != b[i].m_nDepth || a[i].m_nIcon != b[i].m_nIcon ||
            a[i].m_strText != b[i].m_strText)
            return false;
    return true;
}

bool Waiting(const std::vector<SLine>& lines) {
    if (lines.empty())
        return true;
    for (const wchar_t* text : kWaitingTexts)
        if (lines[0].m_strText == text)
            return true;
    return false;
}

int Height(HWND hWnd) {
    RECT r{};
    ::GetWindowRect(hWnd, &r);
    return r.bottom - r.top;
}

void Print(const std::vector<SLine>& lines) {
    for (const SLine& line : lines) {
        std::wstring text = std::wstring(static_cast<size_t>(line.m_nDepth) * 2, L' ') + L"[" +
                            std::to_wstring(line.m_nIcon) + L"] " + line.m_strText;
        const int n =
            ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<size_t>(n > 0 ? n : 1), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), n, nullptr, nullptr);
        std::printf("%s\n", utf8.c_str());
    }
    std::fflush(stdout);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wstring(argv[1]) == L"answer")
        return Answer(_wtoi(argv[2]));
    const bool bWait = argc >= 2 && std::wstring(argv[1]) == L"wait";
    const int nSeconds = bWait && argc >= 3 ? _wtoi(argv[2]) : 0;
    const DWORD t0 = ::GetTickCount();
    auto timeLeft = [&] { return ::GetTickCount() - t0 < static_cast<DWORD>(nSeconds) * 1000; };

    HWND hForm = Form();
    while (!hForm && bWait && timeLeft()) {
        ::Sleep(200);
        hForm = Form();
    }
    HWND hTree = hForm ? ::GetDlgItem(hForm, kTreeId) : nullptr;
    if (!hTree) {
        std::fprintf(stderr, "form_watch: %s\n", hForm ? "the form has no device tree" : "no form");
        return 1;
    }
    if (argc >= 2 && std::wstring(argv[1]) == L"expand") {
        const HTREEITEM hFirst = Next(hTree, TVGN_ROOT, nullptr);
        for (HTREEITEM h = hFirst; h; h = Next(hTree, TVGN_NEXT, h))
            ::SendMessageTimeoutW(hTree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(h),
                                  SMTO_ABORTIFHUNG, 5000, nullptr);
        if (hFirst)
            ::SendMessageTimeoutW(hTree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(hFirst),
                                  SMTO_ABORTIFHUNG, 5000, nullptr);
        return 0;
    }
    if (!bWait) {
        Print(ReadTree(hTree));
        return 0;
    }
    // The run shortens the tree while it works and gives it its full height
    // back at the end; the waiting line goes at its start.
    const int nFull = Height(hTree);
    std::vector<SLine> last = ReadTree(hTree);
    DWORD tStable = ::GetTickCount();
    while (timeLeft()) {
        ::Sleep(250);
        std::vector<SLine> now = ReadTree(hTree);
        if (!Same(now, last) || Height(hTree) < nFull || Waiting(now)) {
            last = now;
            tStable = ::GetTickCount();
        } else if (::GetTickCount() - tStable >= 2000) {
            Print(now);
            return 0;
        }
    }
    Print(last);
    std::fprintf(stderr, "form_watch: the detection run did not end within %d s\n", nSeconds);
    return 2;
}
