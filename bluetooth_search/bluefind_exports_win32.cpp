// The library's exports. One search object per loaded library: it keeps the
// removed-device list for as long as the library stays in the process.
#include "bluetooth_stack_win32.h"
#include "guard.h"
#include "search_platform_win32.h"
#include "tessel_search.h"

#include <windows.h>

#include <cstring>
#include <utility>

namespace {

bluefind::CTesselSearch& Search() {
    static bluefind::CWin32BluetoothStack s_stack;
    static bluefind::CWin32Registry s_registry;
    static bluefind::CWin32PortProbe s_ports;
    static bluefind::CWin32Sleeper s_sleeper;
    static bluefind::CTesselSearch s_search(s_stack, s_registry, s_ports, s_sleeper);
    return s_search;
}

// Nothing thrown may leave an export: the guard records it and the caller
// gets a platform code.
template <typename F> DWORD Guarded(const char* pszWhere, F&& f) {
    return ostrel::GuardCall(pszWhere, DWORD(ERROR_INTERNAL_ERROR), DWORD(ERROR_NOT_ENOUGH_MEMORY),
                             std::forward<F>(f));
}

} // namespace

// pPort: the caller's zeroed buffer of 50 wide characters; it receives the
// port name with its terminator, or the empty text.
extern "C" DWORD WINAPI FindTesselBth(wchar_t* pPort) {
    if (!pPort)
        return ERROR_INVALID_PARAMETER;
    pPort[0] = L'\0';
    return Guarded("FindTesselBth", [pPort]() -> DWORD {
        std::wstring strPort;
        const DWORD dwStatus = Search().FindTesselBth(strPort);
        if (strPort.size() > bluefind::kMaxPortChars)
            strPort.clear();
        std::memcpy(pPort, strPort.c_str(), (strPort.size() + 1) * sizeof(wchar_t));
        return dwStatus;
    });
}

extern "C" BYTE WINAPI IsTesselConnected() {
    const DWORD dwFound = Guarded("IsTesselConnected",
                                  []() -> DWORD { return Search().IsTesselConnected() ? 1 : 0; });
    return dwFound == 1 ? 1 : 0;
}

extern "C" DWORD WINAPI DeleteUnusedTesselBth() {
    return Guarded("DeleteUnusedTesselBth",
                   []() -> DWORD { return Search().DeleteUnusedTesselBth(); });
}
