// Host twin of the text reader (benchmarks and host tests read real files):
// the bytes are taken as UTF-8.
#include "archive_contents.h"
#include "text_lines.h"
#include "utf16.h"

#include <fstream>
#include <iterator>

namespace ostrel {
namespace {

class CPosixTextFiles : public ITextFiles {
public:
    bool ReadLines(const std::wstring& path, std::vector<std::wstring>& lines) override {
        lines.clear();
        std::ifstream in(WideToUtf8(path), std::ios::binary);
        if (!in)
            return false;
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        lines = SplitTextLines(Utf8ToWide(bytes));
        return true;
    }
};

} // namespace

ITextFiles& SystemTextFiles() {
    static CPosixTextFiles s_files;
    return s_files;
}

} // namespace ostrel
