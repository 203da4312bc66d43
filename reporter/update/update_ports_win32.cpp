#include "update_ports_win32.h"

namespace ostrel {

const wchar_t kInstallerName[] = L"Ostrel Install.exe";
const wchar_t kVersionFileName[] = L"Ostrel Install.txt";

bool CFtpInstallerSource::Open(uint64_t& size) {
    return m_client.Connect(m_config) && m_client.QuerySize(kInstallerName, size) &&
           m_client.OpenRemote(kInstallerName);
}

bool CFtpInstallerSource::Read(void* pBuffer, size_t nMax, size_t& nGot) {
    DWORD got = 0;
    const DWORD max = nMax > 0x10000000 ? 0x10000000 : static_cast<DWORD>(nMax);
    const bool ok = m_client.Read(pBuffer, max, got);
    nGot = got;
    return ok;
}

bool CFileInstallerSink::Create() {
    ::DeleteFileW(m_strPath.c_str());
    m_hFile.reset(::CreateFileW(m_strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(m_hFile);
}

bool CFileInstallerSink::Write(const void* pData, size_t nSize) {
    const auto* p = static_cast<const BYTE*>(pData);
    while (nSize > 0) {
        DWORD written = 0;
        const DWORD chunk = nSize > 0x10000000 ? 0x10000000 : static_cast<DWORD>(nSize);
        if (!::WriteFile(m_hFile.get(), p, chunk, &written, nullptr) || written == 0)
            return false;
        p += written;
        nSize -= written;
    }
    return true;
}

void CFileInstallerSink::Remove() {
    m_hFile.reset();
    ::DeleteFileW(m_strPath.c_str());
}

} // namespace ostrel
