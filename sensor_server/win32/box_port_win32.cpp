#include "box_port_win32.h"

#include "link_state.h"
#include "status_codes.h"

#include <setupapi.h>
#include <windows.h>

#include <new>
#include <vector>

namespace torvex {

namespace {

// Interface class of the box's driver.
const GUID kBoxInterface = {
    0xBA8043CC, 0x6CAD, 0x45A3, {0x85, 0x9A, 0x86, 0xB2, 0xB7, 0x4B, 0x8A, 0x15}};

constexpr DWORD kIoctlWriteFrame = 0x222004;
constexpr DWORD kIoctlReadFrame = 0x222000;

struct SDevInfoList {
    HDEVINFO m_h;
    ~SDevInfoList() {
        if (m_h != INVALID_HANDLE_VALUE)
            ::SetupDiDestroyDeviceInfoList(m_h);
    }
};

} // namespace

int CWin32BoxPort::FindBox(std::string& strPath) {
    SDevInfoList list{::SetupDiGetClassDevsW(&kBoxInterface, nullptr, nullptr,
                                             DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)};
    if (list.m_h == INVALID_HANDLE_VALUE)
        return static_cast<int>(::GetLastError());
    for (DWORD i = 0;; ++i) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!::SetupDiEnumDeviceInterfaces(list.m_h, nullptr, &kBoxInterface, i, &data)) {
            const DWORD err = ::GetLastError();
            return err == ERROR_NO_MORE_ITEMS ? kNoMoreDevices : static_cast<int>(err);
        }
        DWORD nSize = 0;
        ::SetupDiGetDeviceInterfaceDetailA(list.m_h, &data, nullptr, 0, &nSize, nullptr);
        if (nSize < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
            nSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) + MAX_PATH;
        std::vector<char> detail;
        try {
            detail.resize(nSize);
        } catch (const std::bad_alloc&) {
            continue; // only a missing detail record moves on to the next interface
        }
        auto* pDetail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detail.data());
        pDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!::SetupDiGetDeviceInterfaceDetailA(list.m_h, &data, pDetail, nSize, nullptr, nullptr))
            return static_cast<int>(::GetLastError());
        strPath = std::string(pDetail->DevicePath).substr(0, kDevicePathMax);
        return kOk;
    }
}

int CWin32BoxPort::Open(const std::string& strPath) {
    m_device.reset(::CreateFileA(strPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    return m_device ? kOk : static_cast<int>(::GetLastError());
}

int CWin32BoxPort::WriteFrame(const uint8_t* pFrame) {
    DWORD nReturned = 0;
    uint8_t buffer[8];
    std::copy(pFrame, pFrame + 8, buffer);
    if (!::DeviceIoControl(m_device.get(), kIoctlWriteFrame, buffer, sizeof buffer, nullptr, 0,
                           &nReturned, nullptr))
        return static_cast<int>(::GetLastError());
    return kOk;
}

int CWin32BoxPort::ReadFrame(uint8_t* pFrame) {
    DWORD nReturned = 0;
    if (!::DeviceIoControl(m_device.get(), kIoctlReadFrame, nullptr, 0, pFrame, 8, &nReturned,
                           nullptr))
        return static_cast<int>(::GetLastError());
    return kOk;
}

int CWin32BoxPort::Close() {
    if (!m_device)
        return kOk;
    const HANDLE h = m_device.release();
    return ::CloseHandle(h) ? kOk : static_cast<int>(::GetLastError());
}

} // namespace torvex
