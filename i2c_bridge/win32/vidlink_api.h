#pragma once
// The exports of Vidlink.dll (undecorated, also by ordinal) and of
// Vidlink_285.dll (type-decorated names). Caller-cleans convention; data
// pointers address one 32-bit variable of the caller. Call each library from
// one thread: its first OpenInterface initialises COM on that thread, and the
// close that leaves no context uninitialises it there.
#include <cstdint>

extern "C" {
int __cdecl Vidlink_OpenInterface(const char* pszDeviceName);
void __cdecl Vidlink_CloseInterface();
int32_t __cdecl Vidlink_DetectI2C(uint32_t nAddr);
int32_t __cdecl Vidlink_DetectI2CEx(uint32_t nAddr, uint32_t* pResult);
int32_t __cdecl Vidlink_GetI2C_I(uint32_t nAddr, uint32_t nSub, uint32_t nCount, uint32_t* pData);
int32_t __cdecl Vidlink_SetI2C_I(uint32_t nAddr, uint32_t nSub, uint32_t nCount, uint32_t* pData);
int32_t __cdecl Vidlink_GetI2C_NI(uint32_t nAddr, uint32_t nCount, uint32_t* pData);
int32_t __cdecl Vidlink_SetI2C_NI(uint32_t nAddr, uint32_t nCount, uint32_t* pData);
int32_t __cdecl Vidlink_GetReg(uint32_t nReg, uint32_t nCount, uint32_t* pData);
int32_t __cdecl Vidlink_SetReg(uint32_t nReg, uint32_t nCount, uint32_t* pData);
int32_t __cdecl Vidlink_GetPIO(uint32_t* pData);
int32_t __cdecl Vidlink_SetPIO(uint32_t* pData);
int32_t __cdecl Vidlink_GetAC97(uint32_t nReg, uint32_t* pData);
int32_t __cdecl Vidlink_SetAC97(uint32_t nReg, uint32_t* pData);
int32_t __cdecl Vidlink_GetProp(uint32_t nId, uint32_t* pData);
int32_t __cdecl Vidlink_SetProp(uint32_t nId, uint32_t* pData);
}

int __cdecl Vidlink285_OpenInterface(const char* pszDeviceName);
void __cdecl Vidlink285_CloseInterface();
int32_t __cdecl Vidlink285_DetectI2C(uint32_t nAddr);
int32_t __cdecl Vidlink285_DetectI2CEx(uint32_t nAddr, uint32_t* pResult);
int32_t __cdecl Vidlink285_GetI2C_I(uint32_t nAddr, uint32_t nSub, uint32_t nCount,
                                    uint32_t* pData);
int32_t __cdecl Vidlink285_SetI2C_I(uint32_t nAddr, uint32_t nSub, uint32_t nCount,
                                    uint32_t* pData);
int32_t __cdecl Vidlink285_GetI2C_NI(uint32_t nAddr, uint32_t nCount, uint32_t* pData);
int32_t __cdecl Vidlink285_SetI2C_NI(uint32_t nAddr, uint32_t nCount, uint32_t* pData);
int32_t __cdecl Vidlink285_GetReg(uint32_t nReg, uint32_t nCount, uint32_t* pData);
int32_t __cdecl Vidlink285_SetReg(uint32_t nReg, uint32_t nCount, uint32_t* pData);
int32_t __cdecl Vidlink285_GetPIO(uint32_t* pData);
int32_t __cdecl Vidlink285_SetPIO(uint32_t* pData);
int32_t __cdecl Vidlink285_GetAC97(uint32_t nReg, uint32_t* pData);
int32_t __cdecl Vidlink285_SetAC97(uint32_t nReg, uint32_t* pData);
int32_t __cdecl Vidlink285_GetProp(uint32_t nId, uint32_t* pData);
int32_t __cdecl Vidlink285_SetProp(uint32_t nId, uint32_t* pData);
