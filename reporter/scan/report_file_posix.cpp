#include "report_file.h"

#include "utf16.h"

#include <fcntl.h>
#include <unistd.h>

namespace ostrel {
namespace {

class CPosixReportFileOps : public IReportFileOps {
public:
    bool CreateTruncate(const std::wstring& path) override {
        int fd = ::open(WideToUtf8(path).c_str(), O_CREAT | O_TRUNC | O_RDWR, 0644);
        if (fd < 0)
            return false;
        ::close(fd);
        return true;
    }

    bool AppendExisting(const std::wstring& path, const std::string& bytes) override {
        int fd = ::open(WideToUtf8(path).c_str(), O_WRONLY | O_APPEND);
        if (fd < 0)
            return false;
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        ::close(fd);
        return true;
    }
};

} // namespace

IReportFileOps& SystemReportFileOps() {
    static CPosixReportFileOps s_ops;
    return s_ops;
}

SReportHeaderInfo CurrentReportHeaderInfo() {
    SReportHeaderInfo info;
    info.m_strDate = TodayText();
    return info;
}

} // namespace ostrel
