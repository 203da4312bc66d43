#pragma once
// Class factory of an in-process COM server. The server keeps one static
// instance per class, so AddRef and Release do not count; aggregation is
// refused; LockServer moves the server's lock count, which its
// DllCanUnloadNow reads. The server's create function makes the object and
// asks it for the interface; *ppv is non-null and already cleared when it runs.
#include <unknwn.h>
#include <windows.h>

#include <atomic>

namespace ostrel {

template <typename TCount> class CClassFactory final : public IClassFactory {
public:
    using PFNCREATE = HRESULT (*)(REFIID riid, void** ppv);

    CClassFactory(std::atomic<TCount>& nLocks, PFNCREATE pfnCreate)
        : m_nLocks(nLocks), m_pfnCreate(pfnCreate) {}
    CClassFactory(const CClassFactory&) = delete;
    CClassFactory& operator=(const CClassFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (pOuter)
            return CLASS_E_NOAGGREGATION;
        return m_pfnCreate(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL bLock) override {
        m_nLocks += bLock ? 1 : -1;
        return S_OK;
    }

private:
    std::atomic<TCount>& m_nLocks;
    const PFNCREATE m_pfnCreate;
};

} // namespace ostrel
