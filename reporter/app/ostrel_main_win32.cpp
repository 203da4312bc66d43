#include "ostrel_app.h"

// The exit code is 0 on every path, a second instance included. The run mode
// reads the whole command line: the runtime's argument text has lost its
// leading blanks, and " -auto" is not "-auto".
int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int) {
    ostrel::COstrelApp::Get().InitInstance(hInstance, ::GetCommandLineW());
    return 0;
}
