#include "acquisition_window_win32.h"

#include "image_record.h"

namespace torvex {

namespace {
constexpr DWORD kIdleWaitMs = 10;
}

void CWin32AcquisitionWindow::StartTimer(unsigned nId, uint32_t nMs) {
    ::SetTimer(m_hView, nId, nMs, nullptr);
}

void CWin32AcquisitionWindow::StopTimer(unsigned nId) {
    ::KillTimer(m_hView, nId);
}

void CWin32AcquisitionWindow::DispatchPending() {
    MSG msg;
    bool bAny = false;
    // Only the view's messages: a command posted to the frame meanwhile
    // waits until the running one has answered.
    while (::PeekMessageW(&msg, m_hView, 0, 0, PM_REMOVE)) {
        bAny = true;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (bAny)
        return;
    const ULONGLONG nBefore = ::GetTickCount64();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, kIdleWaitMs, QS_ALLINPUT);
    // At least as much as really passed: a limit never lasts longer than its time.
    if (m_pVirtualClock) {
        const ULONGLONG nWaited = ::GetTickCount64() - nBefore;
        m_pVirtualClock->SleepMs(
            static_cast<uint32_t>(nWaited > kIdleWaitMs ? nWaited : kIdleWaitMs));
    }
}

void CWin32AcquisitionWindow::HandOver(const uint8_t* pRecord, size_t nSize) {
    COPYDATASTRUCT copy{};
    copy.dwData = static_cast<ULONG_PTR>(kCopyDataImage);
    copy.cbData = static_cast<DWORD>(nSize);
    copy.lpData = const_cast<uint8_t*>(pRecord);
    ::SendMessageW(m_hView, WM_COPYDATA, reinterpret_cast<WPARAM>(m_hView),
                   reinterpret_cast<LPARAM>(&copy));
}

void CWin32AcquisitionWindow::ShowMessage(const std::string& strText,
                                          const std::string& strCaption) {
    ::MessageBoxA(m_hView, strText.c_str(), strCaption.c_str(), MB_OK);
}

} // namespace torvex
