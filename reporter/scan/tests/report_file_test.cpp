#include "report_file.h"

#include "utf16.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

using namespace ostrel;

namespace {

// Files in memory, recording every open so tests see the open-append-close rhythm.
class CMemoryFiles : public IReportFileOps {
public:
    bool CreateTruncate(const std::wstring& path) override {
        if (m_refuse.count(path))
            return false;
        m_files[path].clear();
        return true;
    }
    bool AppendExisting(const std::wstring& path, const std::string& bytes) override {
        ++m_nAppends;
        auto it = m_files.find(path);
        if (it == m_files.end() || m_locked.count(path))
            return false;
        it->second += bytes;
        return true;
    }
    std::map<std::wstring, std::string> m_files;
    std::map<std::wstring, bool> m_refuse, m_locked;
    int m_nAppends = 0;
};

// UTF-16LE of ASCII text, written out independently of the encoder under
// test: each character followed by a zero byte.
std::string Le16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

SReportHeaderInfo SampleInfo() {
    return {L"2015-06-01", L"C:\\Program Files\\Ostrel\\Ostrel.exe", L"v.2.30.1.0"};
}

} // namespace

TEST(ReportFile, HeaderIsSevenLinesInUtf16LeWithoutBom) {
    CMemoryFiles files;
    files.m_files[L"r.txt"] = "old content";
    ASSERT_TRUE(WriteReportHeader(files, L"r.txt", SampleInfo()));
    const std::string expected = "; VARNIK-Imaging Report File\r\n"
                                 "; Date : 2015-06-01\r\n"
                                 ";\r\n"
                                 "[VERSION]\r\n"
                                 "Reporter=C:\\Program Files\\Ostrel\\Ostrel.exe\r\n"
                                 "Version=v.2.30.1.0\r\n"
                                 "[ACTIONS]\r\n";
    EXPECT_EQ(files.m_files[L"r.txt"], Le16(expected));
    EXPECT_EQ(files.m_files[L"r.txt"].substr(0, 2), std::string("\x3B\x00", 2));
    EXPECT_EQ(files.m_nAppends, 7); // one open per line

    const std::wstring today = TodayText();
    ASSERT_EQ(today.size(), 10u);
    for (size_t i = 0; i < today.size(); ++i)
        EXPECT_TRUE(i == 4 || i == 7 ? today[i] == L'-' : (today[i] >= L'0' && today[i] <= L'9'))
            << i;
}

TEST(ReportFile, FailuresDropLinesQuietly) {
    CMemoryFiles files;
    files.m_refuse[L"bad"] = true;
    EXPECT_FALSE(WriteReportHeader(files, L"bad", SampleInfo()));
    EXPECT_EQ(files.m_nAppends, 0);
    EXPECT_FALSE(files.m_files.count(L"bad"));

    EXPECT_FALSE(AppendReportLine(files, L"missing", L"x")); // never created
    EXPECT_FALSE(files.m_files.count(L"missing"));

    files.m_files[L"log"] = "";
    files.m_locked[L"log"] = true;
    EXPECT_FALSE(AppendReportLine(files, L"log", L"lost"));
    files.m_locked.clear();
    EXPECT_TRUE(AppendReportLine(files, L"log", L"next"));
    EXPECT_EQ(files.m_files[L"log"], std::string("n\0e\0x\0t\0\r\0\n\0", 12));
}

TEST(ReportFile, HeaderWithALostLineIsNoSuccess) {
    CMemoryFiles files;
    files.m_locked[L"held"] = true; // created, then every append refused
    EXPECT_FALSE(WriteReportHeader(files, L"held", SampleInfo()));
    EXPECT_EQ(files.m_nAppends, 7) << "every line is still tried";
    EXPECT_EQ(files.m_files[L"held"], "");
}

TEST(ReportFile, LinesAreWrittenVerbatim) {
    CMemoryFiles files;
    files.m_files[L"r"] = "";
    for (const wchar_t* line : {L"", L"Remark=", L"GenBrand=a=b", L"Remark=one\r\ntwo"})
        EXPECT_TRUE(AppendReportLine(files, L"r", line));
    // An empty remark ends at the equals sign: "Remark=" then CR LF, nothing between.
    EXPECT_EQ(files.m_files[L"r"], Le16("\r\nRemark=\r\nGenBrand=a=b\r\nRemark=one\r\ntwo\r\n"));
}

TEST(ReportFile, DeviceTreeWalksFourLevelsDepthFirst) {
    // a > b > c > d > e(5th) with a sibling f of e, plus a second root g.
    STreeItem e{L"e", 0, {}}, f{L"f", 0, {}};
    STreeItem d{L"d", 0, {e, f}};
    STreeItem c{L"c", 0, {d}};
    STreeItem c2{L"c2", 0, {}};
    STreeItem b{L"b", 0, {c, c2}};
    STreeItem a{L"a", 0, {b}};
    STreeItem g{L"g", 0, {}};
    std::vector<std::wstring> expected = {L"+-a",       L"| +-b",    L"| | +-c",
                                          L"| | | +-d", L"| | +-c2", L"+-g"};
    EXPECT_EQ(DeviceTreeLines({a, g}), expected);
    EXPECT_TRUE(DeviceTreeLines({}).empty());
}

TEST(ReportFile, PosixFilesMissingFolderWritesNothing) {
    char tmpl[] = "/tmp/report_file_testXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    const std::wstring missing = Utf8ToWide(dir + "/nofolder/Report.txt");
    EXPECT_FALSE(WriteReportHeader(missing));
    EXPECT_FALSE(AppendReportLine(missing, L"x"));
    EXPECT_NE(access((dir + "/nofolder").c_str(), F_OK), 0);

    const std::wstring path = Utf8ToWide(dir + "/Report.log");
    ASSERT_TRUE(WriteReportHeader(path));
    ASSERT_TRUE(AppendReportLine(path, L"0 = cmd"));
    std::ifstream in(dir + "/Report.log", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string bytes = ss.str();
    EXPECT_EQ(bytes.substr(0, 2), std::string("\x3B\x00", 2));
    EXPECT_EQ(bytes.substr(bytes.size() - 18), std::string("0\0 \0=\0 \0c\0m\0d\0\r\0\n\0", 18));
    std::remove((dir + "/Report.log").c_str());
    rmdir(tmpl);
}
