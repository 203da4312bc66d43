// The exports of one generation, built once per DLL (VIDLINK_GENERATION 1 or
// 2). Each forwards to the process-wide library and lets no exception out.
#include "bridge_library.h"
#include "device_catalog_win32.h"
#include "vendor_interface_win32.h"
#include "vidlink_api.h"

#include <new>

// <windows.h> maps these to its window-property functions.
#undef GetProp
#undef SetProp

#if VIDLINK_GENERATION == 1
#define VIDLINK_EXPORT(name) Vidlink_##name
#else
#define VIDLINK_EXPORT(name) Vidlink285_##name
#endif

namespace {

using namespace vidlink;

constexpr EGeneration kGeneration =
    VIDLINK_GENERATION == 1 ? EGeneration::First : EGeneration::Second;

// Never destroyed: at process exit the driver's module may already be gone,
// and releasing its interface then would call into nothing.
CBridgeLibrary& Library() {
    static auto* pFinder = new CFinderWin32(
        kGeneration, kGeneration == EGeneration::First ? kIidVendorFirst : kIidVendorSecond);
    static auto* pLibrary = new CBridgeLibrary(kGeneration, *pFinder);
    return *pLibrary;
}

// COM is initialised by the first open on the caller's thread, not while the
// loader holds its lock, and left again when no context remains.
bool g_bComHeld = false;

void HoldCom() {
    if (!g_bComHeld)
        g_bComHeld = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

void ReleaseComIfIdle() {
    if (g_bComHeld && !Library().HasContext()) {
        CoUninitialize();
        g_bComHeld = false;
    }
}

template <typename F> int32_t Guarded(F&& call) noexcept {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return static_cast<int32_t>(E_OUTOFMEMORY);
    } catch (...) {
        return static_cast<int32_t>(E_FAIL);
    }
}

} // namespace

int __cdecl VIDLINK_EXPORT(OpenInterface)(const char* pszDeviceName) {
    const int32_t nResult = Guarded([&] {
        HoldCom();
        return Library().OpenInterface(pszDeviceName);
    });
    Guarded([] {
        ReleaseComIfIdle();
        return 0;
    });
    return nResult == 1 ? 1 : 0;
}

void __cdecl VIDLINK_EXPORT(CloseInterface)() {
    Guarded([] {
        Library().CloseInterface();
        ReleaseComIfIdle();
        return 0;
    });
}

int32_t __cdecl VIDLINK_EXPORT(DetectI2C)(uint32_t nAddr) {
    return Guarded([&] { return Library().DetectI2C(nAddr); });
}

int32_t __cdecl VIDLINK_EXPORT(DetectI2CEx)(uint32_t nAddr, uint32_t* pResult) {
    return Guarded([&] { return Library().DetectI2CEx(nAddr, pResult); });
}

int32_t __cdecl VIDLINK_EXPORT(GetI2C_I)(uint32_t nAddr, uint32_t nSub, uint32_t nCount,
                                         uint32_t* pData) {
    return Guarded([&] { return Library().GetI2C_I(nAddr, nSub, nCount, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(SetI2C_I)(uint32_t nAddr, uint32_t nSub, uint32_t nCount,
                                         uint32_t* pData) {
    return Guarded([&] { return Library().SetI2C_I(nAddr, nSub, nCount, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(GetI2C_NI)(uint32_t nAddr, uint32_t nCount, uint32_t* pData) {
    return Guarded([&] { return Library().GetI2C_NI(nAddr, nCount, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(SetI2C_NI)(uint32_t nAddr, uint32_t nCount, uint32_t* pData) {
    return Guarded([&] { return Library().SetI2C_NI(nAddr, nCount, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(GetReg)(uint32_t nReg, uint32_t nCount, uint32_t* pData) {
    return Guarded([&] { return Library().GetReg(nReg, nCount, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(SetReg)(uint32_t nReg, uint32_t nCount, uint32_t* pData) {
    return Guarded([&] { return Library().SetReg(nReg, nCount, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(GetPIO)(uint32_t* pData) {
    return Guarded([&] { return Library().GetPIO(pData); });
}

int32_t __cdecl VIDLINK_EXPORT(SetPIO)(uint32_t* pData) {
    return Guarded([&] { return Library().SetPIO(pData); });
}

int32_t __cdecl VIDLINK_EXPORT(GetAC97)(uint32_t nReg, uint32_t* pData) {
    return Guarded([&] { return Library().GetAC97(nReg, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(SetAC97)(uint32_t nReg, uint32_t* pData) {
    return Guarded([&] { return Library().SetAC97(nReg, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(GetProp)(uint32_t nId, uint32_t* pData) {
    return Guarded([&] { return Library().GetProp(nId, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(SetProp)(uint32_t nId, uint32_t* pData) {
    return Guarded([&] { return Library().SetProp(nId, pData); });
}
