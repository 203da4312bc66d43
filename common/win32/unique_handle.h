#pragma once
// Move-only owners for Win32 resources. Two handle flavours: one where
// INVALID_HANDLE_VALUE means empty (CreateFile), one where NULL does.
#include <windows.h>
// After windows.h: the device-information list owner below.
#include <setupapi.h>

#include <utility>

namespace ostrel {

template <typename T, typename Traits> class CUniqueResource {
public:
    CUniqueResource() = default;
    explicit CUniqueResource(T value) : m_value(value) {}
    ~CUniqueResource() { reset(); }
    CUniqueResource(const CUniqueResource&) = delete;
    CUniqueResource& operator=(const CUniqueResource&) = delete;
    CUniqueResource(CUniqueResource&& other) noexcept : m_value(other.release()) {}
    CUniqueResource& operator=(CUniqueResource&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    explicit operator bool() const { return m_value != Traits::Empty(); }
    T get() const { return m_value; }
    T release() { return std::exchange(m_value, Traits::Empty()); }
    void reset(T value = Traits::Empty()) {
        T old = std::exchange(m_value, value);
        if (old != Traits::Empty())
            Traits::Close(old);
    }
    // For out-parameters: frees what is held and hands out the slot.
    T* put() {
        reset();
        return &m_value;
    }

private:
    T m_value = Traits::Empty();
};

struct SFileHandleTraits {
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct SKernelHandleTraits {
    static HANDLE Empty() { return nullptr; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct SRegKeyTraits {
    static HKEY Empty() { return nullptr; }
    static void Close(HKEY h) { ::RegCloseKey(h); }
};
struct SModuleTraits {
    static HMODULE Empty() { return nullptr; }
    static void Close(HMODULE h) { ::FreeLibrary(h); }
};
struct SFindTraits {
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::FindClose(h); }
};

// SetupDiGetClassDevs gives INVALID_HANDLE_VALUE on failure. Users link setupapi.
struct SDevInfoTraits {
    static HDEVINFO Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(HDEVINFO h) { ::SetupDiDestroyDeviceInfoList(h); }
};

using CFileHandle = CUniqueResource<HANDLE, SFileHandleTraits>;
using CKernelHandle = CUniqueResource<HANDLE, SKernelHandleTraits>;
using CRegKey = CUniqueResource<HKEY, SRegKeyTraits>;
using CModule = CUniqueResource<HMODULE, SModuleTraits>;
using CFindHandle = CUniqueResource<HANDLE, SFindTraits>;
using CDevInfoList = CUniqueResource<HDEVINFO, SDevInfoTraits>;

// COM interface pointer owner.
template <typename I> class CComPtr {
public:
    CComPtr() = default;
    ~CComPtr() { reset(); }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;
    CComPtr(CComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    CComPtr& operator=(CComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }
    explicit operator bool() const { return m_p != nullptr; }
    I* get() const { return m_p; }
    I* operator->() const { return m_p; }
    void reset() {
        if (m_p)
            std::exchange(m_p, nullptr)->Release();
    }
    I** put() {
        reset();
        return &m_p;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

private:
    I* m_p = nullptr;
};

} // namespace ostrel
