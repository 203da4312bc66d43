#include "box_port_win32.h"

#include "last_error.h"
#include "link_state.h"
#include "status_codes.h"
#include "unique_handle.h"

#include <windows.h>
// After windows.h.
#include <setupapi.h>

#include <new>
#include <vector>

namespace torvex {

namespace {

// Interface class of the box's driver.
const GUID kBoxInterface = {
    0xBA8043CC, 0x6CAD, 0x45A3, {0x85, 0x9A, 0x86, 0xB2, 0xB7, 0x4B, 0x8A, 0x15}};

constexpr DWORD kIoctlWriteFrame = 0x222004;
constexpr DWORD kIoctlReadFrame = 0x222000;

} // namespace

int CWin32BoxPort::FindBox(std::string& strPath) {
    const ostrel::CDevInfoList list(::SetupDiGetClassDevsW(&kBoxInterface, nullptr, nullptr,
                                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!list)
        return ostrel::LastErrorCode();
    for (DWORD i = 0;; ++i) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!::SetupDiEnumDeviceInterfaces(list.get(), nullptr, &kBoxInterface, i, &data)) {
            const int nErr = ostrel::LastErrorCode();
            return nErr == ERROR_NO_MORE_ITEMS ? kNoMoreDevices : nErr;
        }
        DWORD nSize = 0;
        ::SetupDiGetDeviceInterfaceDetailA(list.get(), &data, nullptr, 0, &nSize, nullptr);
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
        if (!::SetupDiGetDeviceInterfaceDetailA(list.get(), &data, pDetail, nSize, nullptr,
                                                nullptr))
            return ostrel::LastErrorCode();
        strPath = std::string(pDetail->DevicePath).substr(0, kDevicePathMax);
        return kOk;
    }
}

int CWin32BoxPort::Open(const std::string& strPath) {
    m_device.reset(::CreateFileA(strPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    return m_device ? kOk : ostrel::LastErrorCode();
}

int CWin32BoxPort::WriteFrame(const uint8_t* pFrame) {
    DWORD nReturned = 0;
    uint8_t buffer[8];
    std::copy(pFrame, pFrame + 8, buffer);
    if (!::DeviceIoControl(m_device.get(), kIoctlWriteFrame, buffer, sizeof buffer, nullptr, 0,
                           &nReturned, nullptr))
        return ostrel::LastErrorCode();
    return kOk;
}

int CWin32BoxPort::ReadStream(uint8_t* pBuffer, size_t nSize, size_t& nDone) {
    nDone = 0;
    DWORD nRead = 0;
    if (!::ReadFile(m_device.get(), pBuffer, static_cast<DWORD>(nSize), &nRead, nullptr))
        return ostrel::LastErrorCode();
    nDone = nRead;
    return kOk;
}

int CWin32BoxPort::ReadFrame(uint8_t* pFrame) {
    DWORD nReturned = 0;
    if (!::DeviceIoControl(m_device.get(), kIoctlReadFrame, nullptr, 0, pFrame, 8, &nReturned,
                           nullptr))
        return ostrel::LastErrorCode();
    return kOk;
}

int CWin32BoxPort::Close() {
    if (!m_device)
        return kOk;
    const HANDLE h = m_device.release();
    return ::CloseHandle(h) ? kOk : ostrel::LastErrorCode();
}

} // namespace torvex
