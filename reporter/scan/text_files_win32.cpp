#include "archive_contents.h"
#include "text_lines.h"
#include "unique_handle.h"

#include <windows.h>

namespace ostrel {
namespace {

class CWin32TextFiles : public ITextFiles {
public:
    bool ReadLines(const std::wstring& path, std::vector<std::wstring>& lines) override {
        lines.clear();
        CFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        std::string bytes;
        char buffer[65536];
        DWORD got = 0;
        while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
            bytes.append(buffer, got);
        std::wstring text;
        if (!bytes.empty()) {
            const int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, 0);
            text.resize(static_cast<size_t>(n > 0 ? n : 0));
            if (n > 0)
                ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                      text.data(), n);
        }
        lines = SplitTextLines(text);
        return true;
    }
};

} // namespace

ITextFiles& SystemTextFiles() {
    static CWin32TextFiles s_files;
    return s_files;
}

} // namespace ostrel
