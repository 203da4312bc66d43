// CTORVEXApp: creates the hidden frame and serves messages until the frame
// is closed or the thread is asked to quit.
#include "guard.h"
#include "main_frame_win32.h"

#include <windows.h>

namespace torvex {

class CTORVEXApp {
public:
    explicit CTORVEXApp(HINSTANCE hInstance) : m_hInstance(hInstance) {}

    bool InitInstance() {
        if (!m_frame.Create())
            return false;
        ::ShowWindow(m_frame.GetSafeHwnd(), SW_HIDE);
        return true;
    }

    int Run() {
        MSG msg;
        BOOL bGot;
        while ((bGot = ::GetMessageW(&msg, nullptr, 0, 0)) != 0) {
            if (bGot == -1)
                return 1;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        return static_cast<int>(msg.wParam);
    }

private:
    HINSTANCE m_hInstance;
    CDeviceSet m_devices;
    CMainFrame m_frame{m_hInstance, m_devices};
};

} // namespace torvex

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int) {
    return ostrel::GuardCall("TORVEX wWinMain", 1, [&] {
        torvex::CTORVEXApp app(hInstance);
        if (!app.InitInstance())
            return 1;
        return app.Run();
    });
}
