// The exports of one generation, built once per DLL (VIDLINK_GENERATION 1 or
// 2). Each forwards to the process-wide library and lets no exception out.
#include "bridge_library.h"
#include "device_catalog_win32.h"
#include "guard.h"
#include "vendor_interface_win32.h"
#include "vidlink_api.h"

// <windows.h> maps these to its window-property functions.
#undef GetProp
#undef SetProp

#if VIDLINK_GENERATION == 1
#define VIDLINK_EXPORT(name) Vidlink_##name
#define VIDLINK_PREFIX "Vidlink_"
#else
#define VIDLINK_EXPORT(name) Vidlink285_##name
#define VIDLINK_PREFIX "Vidlink285_"
#endif
// The guard of one export: the driver's kind of failure, recorded under the export's name.
#define VIDLINK_GUARD(name, body)                                                                  \
    ostrel::GuardCall(VIDLINK_PREFIX #name, static_cast<int32_t>(E_FAIL),                          \
                      static_cast<int32_t>(E_OUTOFMEMORY), body)

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

} // namespace

int __cdecl VIDLINK_EXPORT(OpenInterface)(const char* pszDeviceName) {
    const int nResult = ostrel::GuardCall(VIDLINK_PREFIX "OpenInterface", 0, [&] {
        HoldCom();
        return Library().OpenInterface(pszDeviceName);
    });
    // Also after a failure inside: a library without context holds no COM.
    ostrel::GuardCall(VIDLINK_PREFIX "OpenInterface", 0, [] {
        ReleaseComIfIdle();
        return 0;
    });
    return nResult;
}

void __cdecl VIDLINK_EXPORT(CloseInterface)() {
    ostrel::GuardCall(VIDLINK_PREFIX "CloseInterface", 0, [] {
        Library().CloseInterface();
        ReleaseComIfIdle();
        return 0;
    });
}

int32_t __cdecl VIDLINK_EXPORT(DetectI2C)(uint32_t nAddr) {
    return VIDLINK_GUARD(DetectI2C, [&] { return Library().DetectI2C(nAddr); });
}

int32_t __cdecl VIDLINK_EXPORT(DetectI2CEx)(uint32_t nAddr, uint32_t* pResult) {
    return VIDLINK_GUARD(DetectI2CEx, [&] { return Library().DetectI2CEx(nAddr, pResult); });
}

int32_t __cdecl VIDLINK_EXPORT(GetI2C_I)(uint32_t nAddr, uint32_t nSub, uint32_t nCount,
                                         uint32_t* pData) {
    return VIDLINK_GUARD(GetI2C_I, [&] { return Library().GetI2C_I(nAddr, nSub, nCount, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(SetI2C_I)(uint32_t nAddr, uint32_t nSub, uint32_t nCount,
                                         uint32_t* pData) {
    return VIDLINK_GUARD(SetI2C_I, [&] { return Library().SetI2C_I(nAddr, nSub, nCount, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(GetI2C_NI)(uint32_t nAddr, uint32_t nCount, uint32_t* pData) {
    return VIDLINK_GUARD(GetI2C_NI, [&] { return Library().GetI2C_NI(nAddr, nCount, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(SetI2C_NI)(uint32_t nAddr, uint32_t nCount, uint32_t* pData) {
    return VIDLINK_GUARD(SetI2C_NI, [&] { return Library().SetI2C_NI(nAddr, nCount, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(GetReg)(uint32_t nReg, uint32_t nCount, uint32_t* pData) {
    return VIDLINK_GUARD(GetReg, [&] { return Library().GetReg(nReg, nCount, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(SetReg)(uint32_t nReg, uint32_t nCount, uint32_t* pData) {
    return VIDLINK_GUARD(SetReg, [&] { return Library().SetReg(nReg, nCount, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(GetPIO)(uint32_t* pData) {
    return VIDLINK_GUARD(GetPIO, [&] { return Library().GetPIO(pData); });
}

int32_t __cdecl VIDLINK_EXPORT(SetPIO)(uint32_t* pData) {
    return VIDLINK_GUARD(SetPIO, [&] { return Library().SetPIO(pData); });
}

int32_t __cdecl VIDLINK_EXPORT(GetAC97)(uint32_t nReg, uint32_t* pData) {
    return VIDLINK_GUARD(GetAC97, [&] { return Library().GetAC97(nReg, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(SetAC97)(uint32_t nReg, uint32_t* pData) {
    return VIDLINK_GUARD(SetAC97, [&] { return Library().SetAC97(nReg, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(GetProp)(uint32_t nId, uint32_t* pData) {
    return VIDLINK_GUARD(GetProp, [&] { return Library().GetProp(nId, pData); });
}

int32_t __cdecl VIDLINK_EXPORT(SetProp)(uint32_t nId, uint32_t* pData) {
    return VIDLINK_GUARD(SetProp, [&] { return Library().SetProp(nId, pData); });
}
