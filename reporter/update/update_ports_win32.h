#pragma once
// The download job's Win32 ports: the installer on the FTP server and the
// local file it is copied to.
#include "download_job.h"
#include "ftp_client_win32.h"
#include "unique_handle.h"
#include "update_config.h"

#include <string>

namespace ostrel {

extern const wchar_t kInstallerName[];   // "Ostrel Install.exe"
extern const wchar_t kVersionFileName[]; // "Ostrel Install.txt"

class CFtpInstallerSource : public IInstallerSource {
public:
    explicit CFtpInstallerSource(const SUpdateConfig& config) : m_config(config) {}
    bool Open(uint64_t& size) override;
    bool Read(void* pBuffer, size_t nMax, size_t& nGot) override;

private:
    SUpdateConfig m_config;
    CFtpClient m_client;
};

class CFileInstallerSink : public IInstallerSink {
public:
    explicit CFileInstallerSink(std::wstring path) : m_strPath(std::move(path)) {}
    bool Create() override;
    bool Write(const void* pData, size_t nSize) override;
    void Close() override { m_hFile.reset(); }
    void Remove() override;

private:
    std::wstring m_strPath;
    CFileHandle m_hFile;
};

} // namespace ostrel
