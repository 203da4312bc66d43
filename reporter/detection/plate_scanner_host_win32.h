#pragma once
// Hosts the first-generation plate scanner's ActiveX control in a child
// window of a form (or of any window), through the system's ActiveX host
// window class, and calls its dispatch methods. The host owns its OLE
// initialisation, the host window and the control's dispatch interface.
#include "plate_scanner_ports.h"
#include "unique_handle.h"

#include <windows.h>

#include <oaidl.h>

namespace ostrel {

inline constexpr wchar_t kPlateScannerClassId[] = L"{F56A37C5-7049-11D0-9A3F-00C095ED7DD4}";

class CPlateScannerHost : public IPlateScannerControl {
public:
    CPlateScannerHost() = default;
    ~CPlateScannerHost() override;
    CPlateScannerHost(const CPlateScannerHost&) = delete;
    CPlateScannerHost& operator=(const CPlateScannerHost&) = delete;

    // Creates the hidden host window with control id nId under hParent and
    // the control in it. False when the control cannot be created (not
    // registered, failing); no window is left then and the form goes on.
    bool Create(HWND hParent, UINT nId, const wchar_t* pszClassId = kPlateScannerClassId);
    void Destroy();
    HWND Window() const { return m_hWnd; }

    bool HasWindow() override;
    bool CallInt(int nDispId, const std::vector<SDispatchArg>& args, int32_t& nResult) override;
    bool CallText(int nDispId, std::wstring& result) override;

private:
    bool Invoke(int nDispId, const std::vector<SDispatchArg>& args, VARIANT& result);

    bool m_bOleInitialised = false;
    HWND m_hWnd = nullptr;
    CComPtr<IDispatch> m_pDispatch;
};

} // namespace ostrel
