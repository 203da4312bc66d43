#include "report_file.h"

#include "module_path.h"
#include "unique_handle.h"
#include "version_text.h"

#include <windows.h>

namespace ostrel {
namespace {

class CWin32ReportFileOps : public IReportFileOps {
public:
    bool CreateTruncate(const std::wstring& path) override {
        CFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(file);
    }

    bool AppendExisting(const std::wstring& path, const std::string& bytes) override {
        CFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        LARGE_INTEGER zero{};
        ::SetFilePointerEx(file.get(), zero, nullptr, FILE_END);
        DWORD dwWritten = 0;
        // The line counts as written once the file opened; a short write is
        // as lost as a locked file would make it.
        ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten,
                    nullptr);
        return true;
    }
};

} // namespace

IReportFileOps& SystemReportFileOps() {
    static CWin32ReportFileOps s_ops;
    return s_ops;
}

SReportHeaderInfo CurrentReportHeaderInfo() {
    SReportHeaderInfo info;
    info.m_strDate = TodayText();
    info.m_strReporterPath = GetRunningModulePath();
    GetFileVersionText(info.m_strReporterPath, SVersionTextOptions().FourParts(),
                       info.m_strVersion);
    return info;
}

} // namespace ostrel
