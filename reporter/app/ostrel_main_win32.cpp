#include "ostrel_app.h"

// The exit code is 0 on every path, a second instance included.
int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR pszCmdLine, int) {
    ostrel::COstrelApp::Get().InitInstance(hInstance, pszCmdLine);
    return 0;
}
