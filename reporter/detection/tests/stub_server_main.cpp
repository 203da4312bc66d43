// A server window that never answers: it has the sensor server's window
// class, takes every command without writing the mailbox, and, when
// STUB_SERVER_IGNORE_QUIT is set, also ignores the quit message.
// STUB_SERVER_ANSWER_MS=n makes it a slow server instead: n ms after each
// command it answers with an empty result (RESULT, then READY), so a client
// test can have a run that is busy for a known time without waiting for the
// client's time limit on every command.
#include <windows.h>

#include <string>

namespace {

constexpr UINT_PTR kAnswerTimer = 1;

// TORVEX.INI beside this program, as the real server keeps it.
std::wstring MailboxPath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n < MAX_PATH ? n : 0);
    folder.erase(folder.find_last_of(L'\\') + 1);
    return folder + L"TORVEX.INI";
}

void AnswerEmpty(const std::wstring& mailbox) {
    WritePrivateProfileStringW(L"TORVEX", L"RESULT", L"", mailbox.c_str());
    WritePrivateProfileStringW(L"TORVEX", L"READY", L"1", mailbox.c_str());
}

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = hInstance;
    wc.lpszClassName = L"TORVEX_WND";
    RegisterClassW(&wc);
    HWND hWnd = CreateWindowW(L"TORVEX_WND", L"stub", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                              nullptr, hInstance, nullptr);
    const bool bIgnoreQuit = GetEnvironmentVariableW(L"STUB_SERVER_IGNORE_QUIT", nullptr, 0) > 0;
    wchar_t delay[16] = {};
    const bool bAnswers =
        GetEnvironmentVariableW(L"STUB_SERVER_ANSWER_MS", delay, 16) > 0 && delay[0] != L'\0';
    const UINT nAnswerMs = static_cast<UINT>(_wtoi(delay));
    const UINT nCommand = RegisterWindowMessageW(L"TORVEX_COMMAND");
    const std::wstring mailbox = MailboxPath();
    MSG msg;
    for (;;) {
        const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r == -1 || (r == 0 && !bIgnoreQuit))
            break;
        if (r == 0)
            continue;
        // Commands and the timer are posted, so they all pass through here;
        // a command arriving before the previous answer restarts the delay.
        if (bAnswers && msg.hwnd == hWnd && nCommand != 0 && msg.message == nCommand) {
            SetTimer(hWnd, kAnswerTimer, nAnswerMs, nullptr);
            continue;
        }
        if (bAnswers && msg.hwnd == hWnd && msg.message == WM_TIMER && msg.wParam == kAnswerTimer) {
            KillTimer(hWnd, kAnswerTimer);
            AnswerEmpty(mailbox);
            continue;
        }
        DispatchMessageW(&msg);
    }
    return 0;
}
