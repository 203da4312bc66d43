// Stand-in for the wireless search library with its one export, so that the
// server's loading and calling can be tried before the library exists. The
// environment variable BLUEFIND_STAND_IN_RESULT gives the result to return
// (default 0 with port \\.\COM7).
#include <windows.h>

#include <cstdlib>

extern "C" __declspec(dllexport) int WINAPI FindTesselBth(wchar_t* pPort) {
    char text[32] = {};
    const int nResult = ::GetEnvironmentVariableA("BLUEFIND_STAND_IN_RESULT", text, sizeof text)
                            ? std::atoi(text)
                            : 0;
    if (nResult == 0)
        lstrcpyW(pPort, L"\\\\.\\COM7");
    return nResult;
}
