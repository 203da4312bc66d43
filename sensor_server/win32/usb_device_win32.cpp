#include "usb_device_win32.h"

#include "unique_handle.h"

#include <windows.h>
// After windows.h.
#include <setupapi.h>
#include <winusb.h>

#include <map>
#include <new>
#include <string>
#include <vector>

namespace torvex {

namespace {

// Interface class of the direct sensors' driver.
const GUID kSensorInterface = {
    0xF0A2D454, 0x3DE2, 0x40CD, {0xBA, 0xE7, 0x09, 0xEF, 0xC7, 0x99, 0xEC, 0x08}};

constexpr uint32_t kDefaultTimeoutMs = 5000;

void Report(const char* pText) {
    ::OutputDebugStringA(pText);
}

// Device path of interface nIndex, empty when there is none.
std::string InterfacePath(int nIndex) {
    const ostrel::CDevInfoList list(::SetupDiGetClassDevsW(&kSensorInterface, nullptr, nullptr,
                                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!list)
        return std::string();
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    if (!::SetupDiEnumDeviceInterfaces(list.get(), nullptr, &kSensorInterface,
                                       static_cast<DWORD>(nIndex), &data))
        return std::string();
    DWORD nSize = 0;
    ::SetupDiGetDeviceInterfaceDetailA(list.get(), &data, nullptr, 0, &nSize, nullptr);
    if (nSize < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
        nSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) + MAX_PATH;
    std::vector<char> detail(nSize);
    auto* pDetail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detail.data());
    pDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!::SetupDiGetDeviceInterfaceDetailA(list.get(), &data, pDetail, nSize, nullptr, nullptr))
        return std::string();
    return pDetail->DevicePath;
}

bool DeviceGone(DWORD nError) {
    return nError == ERROR_DEVICE_NOT_CONNECTED || nError == ERROR_DEV_NOT_EXIST ||
           nError == ERROR_FILE_NOT_FOUND || nError == ERROR_BAD_COMMAND ||
           nError == ERROR_GEN_FAILURE;
}

class CWin32UsbDevice final : public IUsbDevice {
public:
    ~CWin32UsbDevice() override { Close(); }

    int DeviceCount() override {
        const ostrel::CDevInfoList list(::SetupDiGetClassDevsW(
            &kSensorInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
        if (!list)
            return 0;
        int n = 0;
        for (;; ++n) {
            SP_DEVICE_INTERFACE_DATA data{};
            data.cbSize = sizeof data;
            if (!::SetupDiEnumDeviceInterfaces(list.get(), nullptr, &kSensorInterface,
                                               static_cast<DWORD>(n), &data))
                return n;
        }
    }

    bool Open(int nIndex) override {
        Close();
        const std::string strPath = InterfacePath(nIndex);
        if (strPath.empty())
            return false;
        ostrel::CFileHandle file(::CreateFileA(strPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
        if (!file)
            return false;
        WINUSB_INTERFACE_HANDLE hUsb = nullptr;
        if (!::WinUsb_Initialize(file.get(), &hUsb))
            return false;
        USB_DEVICE_DESCRIPTOR device{};
        ULONG nGot = 0;
        USB_INTERFACE_DESCRIPTOR iface{};
        if (!::WinUsb_GetDescriptor(hUsb, USB_DEVICE_DESCRIPTOR_TYPE, 0, 0,
                                    reinterpret_cast<PUCHAR>(&device), sizeof device, &nGot) ||
            !::WinUsb_QueryInterfaceSettings(hUsb, 0, &iface)) {
            ::WinUsb_Free(hUsb);
            return false;
        }
        for (UCHAR i = 0; i < iface.bNumEndpoints; ++i) {
            WINUSB_PIPE_INFORMATION pipe{};
            if (!::WinUsb_QueryPipe(hUsb, 0, i, &pipe)) {
                Report("Failed to find endpoint.\n");
                continue;
            }
            m_timeouts[pipe.PipeId] = kDefaultTimeoutMs;
        }
        m_file = std::move(file);
        m_hUsb = hUsb;
        m_strPath = strPath;
        m_wVendor = device.idVendor;
        m_wProduct = device.idProduct;
        m_bGone = false;
        return true;
    }

    bool IsOpen() const override { return m_hUsb != nullptr && !m_bGone; }
    uint16_t VendorId() const override { return m_wVendor; }
    uint16_t ProductId() const override { return m_wProduct; }
    std::string DevicePath() const override { return m_strPath; }
    bool HasEndpoint(uint8_t nAddress) const override { return m_timeouts.count(nAddress) != 0; }
    void SetTimeout(uint8_t nAddress, uint32_t nMs) override {
        auto it = m_timeouts.find(nAddress);
        if (it != m_timeouts.end())
            it->second = nMs;
    }

    bool Transfer(uint8_t nAddress, uint8_t* pBuffer, size_t& nLength) override {
        if (!IsOpen() || !HasEndpoint(nAddress))
            return false;
        const ostrel::CKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!event)
            return false;
        OVERLAPPED ov{};
        ov.hEvent = event.get();
        const ULONG nAsk = static_cast<ULONG>(nLength);
        ULONG nDone = 0;
        const BOOL bStarted =
            (nAddress & 0x80) ? ::WinUsb_ReadPipe(m_hUsb, nAddress, pBuffer, nAsk, nullptr, &ov)
                              : ::WinUsb_WritePipe(m_hUsb, nAddress, pBuffer, nAsk, nullptr, &ov);
        if (!bStarted && ::GetLastError() != ERROR_IO_PENDING) {
            NoteFailure(::GetLastError());
            return false;
        }
        if (::WaitForSingleObject(event.get(), m_timeouts[nAddress]) != WAIT_OBJECT_0) {
            ::WinUsb_AbortPipe(m_hUsb, nAddress);
            ::WinUsb_GetOverlappedResult(m_hUsb, &ov, &nDone, TRUE);
            return false;
        }
        if (!::WinUsb_GetOverlappedResult(m_hUsb, &ov, &nDone, FALSE)) {
            NoteFailure(::GetLastError());
            return false;
        }
        nLength = nDone;
        return true;
    }

    void Close() override {
        if (m_hUsb) {
            ::WinUsb_Free(m_hUsb);
            m_hUsb = nullptr;
        }
        if (m_file && !::CloseHandle(m_file.release()))
            Report("Failed to close handle to driver.\n");
        m_timeouts.clear();
    }

private:
    void NoteFailure(DWORD nError) {
        if (DeviceGone(nError))
            m_bGone = true;
    }

    ostrel::CFileHandle m_file;
    WINUSB_INTERFACE_HANDLE m_hUsb = nullptr;
    std::map<uint8_t, uint32_t> m_timeouts; // endpoint table: address -> limit
    std::string m_strPath;
    uint16_t m_wVendor = 0;
    uint16_t m_wProduct = 0;
    bool m_bGone = false;
};

} // namespace

std::unique_ptr<IUsbDevice> CWin32UsbDeviceMaker::MakeDevice() {
    return std::unique_ptr<IUsbDevice>(new (std::nothrow) CWin32UsbDevice());
}

} // namespace torvex
