#pragma once
// The calibration source of TORVEX.exe: the store over the Win32 file
// system, CreateProcess and message boxes owned by the view's window.
#include "calibration_store.h"

#include <windows.h>

#include <memory>
#include <string>

namespace torvex {

std::unique_ptr<ICalibrationSource> MakeCalibrationSourceWin32(IDirectSlots& slots,
                                                               HWND hwndMessageOwner);

// The adapters one by one, for tests that put the store in a folder of their own.
class CWin32CalibrationFiles final : public ICalibrationFiles {
public:
    // strFolder ends in a backslash; empty: the folder of the running program.
    explicit CWin32CalibrationFiles(std::string strFolder = std::string());

    std::string ServerFolder() override { return m_strFolder; }
    bool Exists(const std::string& strPath) override;
    EFileRead ReadWhole(const std::string& strPath, size_t nLimit,
                        std::vector<uint8_t>& bytes) override;
    std::unique_ptr<IArchiveFile> Create(const std::string& strPath) override;
    bool Delete(const std::string& strPath) override;
    uint32_t MakeFolder(const std::string& strFolder) override;
    void RemoveFolder(const std::string& strFolder) override;
    uint32_t FindFiles(const std::string& strFolder, const std::string& strMask,
                       std::vector<SFoundFile>& found) override;
    bool Move(const std::string& strFrom, const std::string& strTo) override;

private:
    std::string m_strFolder;
};

class CWin32ProcessRunner final : public IProcessRunner {
public:
    uint32_t RunAndWait(const std::string& strApplication, const std::string& strCommandLine,
                        uint32_t& nExitCode) override;
};

class CWin32MessageBoxes final : public IMessageBoxes {
public:
    explicit CWin32MessageBoxes(HWND hwndOwner) : m_hwndOwner(hwndOwner) {}
    void Show(const std::string& strText, const std::string& strCaption) override;

private:
    HWND m_hwndOwner;
};

} // namespace torvex
