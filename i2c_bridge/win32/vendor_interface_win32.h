#pragma once
// The bridge driver's vendor property interface as a COM declaration, shared
// by the libraries and the simulated bridge filter. Both generations have the
// same layout under different interface identifiers.
#include <unknwn.h>
#include <windows.h>

namespace vidlink {

struct IVendorProperties : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Reserved(void* pUnused) = 0; // never called
    virtual HRESULT STDMETHODCALLTYPE SetProperty(ULONG nId, void* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProperty(ULONG nId, void* pData) = 0;
};

// {BE0AB5D2-3B9A-4E42-A05E-4A178B566C7C}
constexpr IID kIidVendorFirst = {
    0xBE0AB5D2, 0x3B9A, 0x4E42, {0xA0, 0x5E, 0x4A, 0x17, 0x8B, 0x56, 0x6C, 0x7C}};
// {846A4C4E-76D8-42EC-A333-121F365A4DA8}
constexpr IID kIidVendorSecond = {
    0x846A4C4E, 0x76D8, 0x42EC, {0xA3, 0x33, 0x12, 0x1F, 0x36, 0x5A, 0x4D, 0xA8}};
// Video input device category {860BB310-5D01-11D0-BD3B-00A0C911CE86}.
constexpr GUID kCategoryVideoInput = {
    0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// BDA receiver component category {FD0A5AF4-B41D-11D2-9C95-00C04F7971E0}.
constexpr GUID kCategoryBdaReceiver = {
    0xFD0A5AF4, 0xB41D, 0x11D2, {0x9C, 0x95, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}};

} // namespace vidlink
