#include "module_path.h"
#include "path_text.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace ostrel;

TEST(PathText, JoinPutsExactlyOneBackslash) {
    struct Case {
        const wchar_t* dir;
        const wchar_t* name;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\Users\\a\\AppData\\Local", L"TMP", L"C:\\Users\\a\\AppData\\Local\\TMP"},
        {L"C:\\Local\\", L"TMP", L"C:\\Local\\TMP"},
        {L"C:\\Local\\\\", L"\\Report.txt", L"C:\\Local\\Report.txt"},
        {L"", L"Report.txt", L"Report.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JoinPath(c.dir, c.name), c.expected) << c.dir << L" + " << c.name;
}

TEST(PathText, FolderOfModulePath) {
    EXPECT_EQ(FolderOfModulePath(L"C:\\Prog\\Ostrel.exe"), L"C:\\Prog\\");
    EXPECT_EQ(FolderOfModulePath(L"Ostrel.exe"), L"");
    EXPECT_EQ(FolderOfModulePath(L"\\Ostrel.exe"), L"");
    EXPECT_EQ(FolderOfModulePath(L""), L"");
}

// Behaves like GetModuleFileName on a path of the given length.
static ModulePathQuery FakeQuery(const std::wstring& path, std::vector<unsigned>& sizes) {
    return [&path, &sizes](wchar_t* buffer, unsigned size) -> unsigned {
        sizes.push_back(size);
        const size_t n = std::min<size_t>(path.size(), size);
        std::copy(path.begin(), path.begin() + n, buffer);
        if (path.size() >= size) {
            buffer[size - 1] = 0;
            return size;
        }
        buffer[n] = 0;
        return static_cast<unsigned>(n);
    };
}

TEST(ModulePath, BufferGrowsBy128UntilThePathFits) {
    std::vector<unsigned> sizes;
    std::wstring longPath = L"C:\\" + std::wstring(400, L'd') + L"\\Ostrel.exe";
    EXPECT_EQ(ReadModulePath(FakeQuery(longPath, sizes)), longPath);
    EXPECT_EQ(sizes, (std::vector<unsigned>{256, 384, 512}));

    // Exactly 256 characters fills the first buffer, so it must grow once.
    sizes.clear();
    std::wstring exact(256, L'x');
    EXPECT_EQ(ReadModulePath(FakeQuery(exact, sizes)), exact);
    EXPECT_EQ(sizes, (std::vector<unsigned>{256, 384}));

    EXPECT_EQ(ReadModulePath([](wchar_t*, unsigned) -> unsigned { return 0; }), L"");
}
