#include "imaging_apps_win32.h"

#include <string>

namespace ostrel {
namespace {

class CDesktopWindows final : public IImagingWindows {
public:
    bool Exists(const wchar_t* pszClass) override {
        return ::FindWindowW(pszClass, nullptr) != nullptr;
    }
    void PostClose(const wchar_t* pszClass) override {
        if (HWND hWnd = ::FindWindowW(pszClass, nullptr))
            ::PostMessageW(hWnd, WM_CLOSE, 0, 0);
    }
};

class CMessageBoxPrompts final : public IImagingPrompts {
public:
    explicit CMessageBoxPrompts(HWND hOwner) : m_hOwner(hOwner) {}
    EPromptAnswer Show(const std::wstring& text, EPromptButtons buttons) override {
        const UINT uType =
            MB_ICONEXCLAMATION | (buttons == EPromptButtons::OkCancel ? MB_OKCANCEL : MB_OK);
        const int nAnswer = ::MessageBoxW(m_hOwner, text.c_str(), Caption().c_str(), uType);
        return nAnswer == IDCANCEL ? EPromptAnswer::Cancel : EPromptAnswer::Ok;
    }

private:
    std::wstring Caption() const {
        std::wstring caption(static_cast<size_t>(::GetWindowTextLengthW(m_hOwner)) + 1, L'\0');
        const int n = ::GetWindowTextW(m_hOwner, caption.data(), static_cast<int>(caption.size()));
        caption.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return caption;
    }

    HWND m_hOwner; // not owned
};

} // namespace

unsigned CTickClock::NowMs() {
    return ::GetTickCount();
}

void CTickClock::SleepMs(unsigned ms) {
    ::Sleep(ms);
}

EImagingCheck CheckImagingApplicationsWin32(HWND hOwner, bool bAuto, const CUiText& text,
                                            IImagingClock& clock) {
    CDesktopWindows windows;
    CMessageBoxPrompts prompts(hOwner);
    return CheckImagingApplications(bAuto, text, windows, prompts, clock);
}

void EnsureImagingApplicationsClosed(HWND hOwner, bool bAuto, const CUiText& text,
                                     IImagingClock& clock) {
    if (CheckImagingApplicationsWin32(hOwner, bAuto, text, clock) == EImagingCheck::EndProcess)
        ::ExitProcess(0);
}

void EnsureImagingApplicationsClosed(HWND hOwner, bool bAuto, const CUiText& text) {
    CTickClock clock;
    EnsureImagingApplicationsClosed(hOwner, bAuto, text, clock);
}

} // namespace ostrel
