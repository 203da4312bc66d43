// Thumbnails, the oscilloscope search and the archive steps against the
// in-memory disk; the log builder against its reference on random practices.
#include "archive_fakes.h"
#include "thumbnail_reference.h"

#include "utf16.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>

#include <stdlib.h>
#include <unistd.h>

using namespace ostrel;
using namespace ostrel::test;

namespace {

const std::wstring kWork = L"C:\\Users\\dr\\AppData\\Local\\TMP";
const std::wstring kThumbs = kWork + L"\\Thumbnails";
const std::wstring kImages = L"D:\\Images\\";
const std::wstring kLog = L"C:\\VARNIK\\BTESSEL_II.Log";

constexpr wchar_t kHead[] = L"<html><head><title>Thumbnails</title></head>\r\n"
                            L"<body bgcolor=\"#A0C0F0\"><font face=\"Arial\" size=\"1\">\r\n"
                            L"<table><tr>\r\n";

struct SPractice {
    SPractice() {
        for (const auto& folder : {kWork, kThumbs, std::wstring(L"D:\\Images")})
            m_disk.AddFolder(folder);
    }
    // A patient folder with previews (and their images), as the software leaves them.
    void AddPreview(const std::wstring& path) {
        const std::wstring folder = path.substr(0, path.rfind(L'\\'));
        if (!m_disk.Has(folder))
            m_disk.AddFolder(folder);
        m_disk.AddFile(path);
    }
    SThumbnailPorts Ports() { return {m_steps, m_disk, m_text, m_page}; }
    std::wstring Page() const { return m_page.Text(kThumbs + L"\\List.html"); }

    CFakeDisk m_disk;
    CFakeTextFiles m_text{m_disk};
    CMemoryFiles m_page;
    CRecordingSteps m_steps;
    ThumbnailTable m_table;
};

TEST(ThumbnailNames, ImageFieldNameAndSafeParts) {
    const std::pair<std::wstring, std::wstring> fields[] = {
        {L"0312-1400;0001;DUPONT Marie;TII;D:\\Images\\0001\\0002", L"D:\\Images\\0001\\0002"},
        {L"0312-1400;D:\\I\\0001;", L"D:\\I\\0001;"}, // the rest of the line from the field on
        {L";a;;b", L"b"},
        {L"0312-1400", L"(none)"},
        {L"0312-1400;;", L"(none)"},
        {L"", L"(none)"},
    };
    for (const auto& [line, expected] : fields) {
        std::wstring image = L"stale";
        const bool has = IndexImageField(line, image);
        EXPECT_EQ(has ? image : L"(none)", expected) << std::string(line.begin(), line.end());
    }
    const std::pair<std::wstring, std::wstring> names[] = {
        {L"D:\\Images\\0012\\0003.SPV", L"Patient_No0012_0003.SPV"},
        {L"0012\\0003.SPV", L"Patient_No0012_0003.SPV"},
        {L"\\0003.SPV", L"Patient_No_0003.SPV"},
        {L"0003.SPV", L"(none)"},
        // Nothing in a name may reach another folder or a stream.
        {L"D:\\I\\..\\x/../../evil.SPV", L"Patient_No.._x_.._.._evil.SPV"},
        {L"D:\\I\\C:evil.SPV", L"Patient_NoI_C_evil.SPV"},
        {L"D:\\I\\a:b\\c.SPV", L"Patient_Noa_b_c.SPV"},
    };
    for (const auto& [preview, expected] : names) {
        std::wstring name;
        const bool has = ThumbnailName(preview, name);
        EXPECT_EQ(has ? name : L"(none)", expected) << std::string(preview.begin(), preview.end());
    }
    const std::pair<std::wstring, std::wstring> parts[] = {
        {L"T1", L"T1"},
        {L"Dupont/Martin", L"Dupont_Martin"},
        {L"Cabinet: Dr X", L"Cabinet_ Dr X"},
        {L"a\\b*c?d\"e<f>g|h", L"a_b_c_d_e_f_g_h"},
        {L"tab\there\nnew", L"tab_here_new"},
        {L"Dr. X. . ", L"Dr. X"},
        {L"H\u00e9l\u00e8ne", L"H\u00e9l\u00e8ne"},
        {L"...", L""},
    };
    for (const auto& [text, expected] : parts)
        EXPECT_EQ(SafeFileNamePart(text), expected) << std::string(text.begin(), text.end());
}

TEST(BuildThumbnailsFromLog, TenBeforeAndTenAfterTheEvent) {
    SPractice p;
    p.m_text.Put(kLog, {L"2015-03-12 14:05:33 Sensor T2: acquisition timeout", L"short line"});
    p.m_text.Put(kImages + L"ACQ2015.idx", {L"0312-1400;0001;A;TII;D:\\Images\\0001\\0001",
                                            L"0312-1405;0001;A;TII;D:\\Images\\0001\\0002",
                                            L"0312-1410;0002;B;TII;D:\\Images\\0002\\0001"});
    for (const wchar_t* name : {L"0001\\0001", L"0001\\0002", L"0002\\0001"})
        p.AddPreview(kImages + name + L".SPV");
    EXPECT_TRUE(BuildThumbnailsFromLog(p.Ports(), kWork, 2026, kLog, kImages, p.m_table));

    ThumbnailTable expected;
    expected[0] = L"D:\\Images\\0001\\0001.SPV";
    expected[1] = L"D:\\Images\\0001\\0002.SPV";
    expected[10] = L"D:\\Images\\0002\\0001.SPV";
    EXPECT_EQ(p.m_table, expected);
    EXPECT_EQ(p.m_disk.FilesIn(kThumbs),
              (std::vector<std::wstring>{L"Patient_No0001_0001.SPV", L"Patient_No0001_0002.SPV",
                                         L"Patient_No0002_0001.SPV"}));
    EXPECT_EQ(p.m_disk.FilesIn(kWork), (std::vector<std::wstring>{L"ACQ2015.idx"}));
    EXPECT_EQ(p.m_steps.m_rows,
              (std::vector<SRow>{{L"mkdir \"" + kThumbs + L"\"", false, L"", L"", L"", 1, false}}));
    EXPECT_EQ(p.Page(), std::wstring(kHead) +
                            L"<td><img src=\"./Patient_No0001_0001.SPV\"><br>"
                            L"Patient_No0001_0001.SPV</td>\r\n"
                            L"<td><img src=\"./Patient_No0001_0002.SPV\"><br>"
                            L"Patient_No0001_0002.SPV</td>\r\n"
                            L"<td><img src=\"./Patient_No0002_0001.SPV\"><br>"
                            L"Patient_No0002_0001.SPV</td>\r\n"
                            L"</tr></table>\r\n<br><br>\r\n<i>Previews of the acquisitions "
                            L"around the sensor's logged events</i>\r\n</html>");
}

TEST(BuildThumbnailsFromLog, MissingLogOrNoImageGivesFalse) {
    SPractice p;
    EXPECT_FALSE(BuildThumbnailsFromLog(p.Ports(), kWork, 2026, kLog, kImages, p.m_table));
    EXPECT_EQ(p.Page().substr(0, 13), L"<html><head><");
    EXPECT_NE(p.Page().find(L"<table><tr>\r\n</tr></table>"), std::wstring::npos);

    // Index lines of years after the current one are not read.
    p.m_text.Put(kLog, {L"2030-01-01 10:00 event"});
    p.m_text.Put(kImages + L"ACQ2030.idx", {L"0101-0900;0001;A;TII;D:\\Images\\0001\\0001"});
    EXPECT_FALSE(BuildThumbnailsFromLog(p.Ports(), kWork, 2026, kLog, kImages, p.m_table));
    EXPECT_TRUE(BuildThumbnailsFromLog(p.Ports(), kWork, 2030, kLog, kImages, p.m_table));
}

TEST(BuildThumbnailsFromLog, RelativeAndHostilePathsStayInTheirFolders) {
    SPractice p;
    p.m_text.Put(kLog, {L"2021-06-01 10:00 event"});
    p.m_text.Put(kImages + L"ACQ2021.idx", {L"0601-0900;0001;A;TII;0001\\0004",
                                            L"0601-0901;0001;A;TII;D:\\Images\\..\\x/..\\up",
                                            L"0601-0902;0001;A;TII;noslash"});
    p.AddPreview(kImages + L"0001\\0004.SPV");
    p.AddPreview(L"D:\\Images\\..\\x/..\\up.SPV");
    p.AddPreview(kImages + L"noslash.SPV");
    EXPECT_TRUE(BuildThumbnailsFromLog(p.Ports(), kWork, 2026, kLog, kImages, p.m_table));
    EXPECT_EQ(p.m_disk.FilesIn(kThumbs),
              (std::vector<std::wstring>{L"Patient_No0001_0004.SPV", L"Patient_Nox_.._up.SPV"}));
    EXPECT_EQ(p.m_disk.SourceOf(kThumbs + L"\\Patient_No0001_0004.SPV"),
              kImages + L"0001\\0004.SPV")
        << "a relative path is taken below the images folder";
}

TEST(BuildThumbnailsFromIndex, LastFiftyLinesAndThirteenCellsInThreeRows) {
    SPractice p;
    std::vector<std::wstring> older, newer;
    for (int i = 1; i <= 40; ++i)
        older.push_back(L"0101-0900;" + std::to_wstring(i) + L";A;TII;D:\\Images\\OLD\\" +
                        std::to_wstring(i));
    // Thirteen previews that exist among the last fifty lines, blanks around some lines.
    for (int i = 1; i <= 13; ++i) {
        const std::wstring id = (i < 10 ? L"000" : L"00") + std::to_wstring(i);
        newer.push_back(L"  0102-0900;1;A;TII;D:\\Images\\0007\\" + id + L" \t");
        p.AddPreview(L"D:\\Images\\0007\\" + id + L".SPV");
    }
    newer.insert(newer.begin() + 3, L"   ");
    newer.insert(newer.begin() + 5, L"no image field");
    p.m_text.Put(kImages + L"ACQ2014.idx", older);
    p.m_text.Put(kImages + L"ACQ2025.idx", newer);
    BuildThumbnailsFromIndex(p.Ports(), kWork, 2026, kImages, p.m_table);

    // 40 + 14 non-blank lines: the ring went round once, starting again at 0.
    EXPECT_EQ(p.m_table[0], L"D:\\Images\\0007\\0010.SPV");
    EXPECT_EQ(p.m_table[3], L"D:\\Images\\0007\\0013.SPV");
    EXPECT_EQ(p.m_table[4], L"D:\\Images\\OLD\\5.SPV");
    EXPECT_EQ(p.m_table[44], L"no image field") << "kept, but no cell";
    EXPECT_EQ(p.m_disk.FilesIn(kWork), (std::vector<std::wstring>{L"ACQ2014.idx", L"ACQ2025.idx"}));

    const std::wstring page = p.Page();
    ASSERT_EQ(page.rfind(kHead, 0), 0u);
    std::vector<int> cellsPerRow{0};
    for (size_t pos = 0; (pos = page.find(L"<td>", pos)) != std::wstring::npos; ++pos) {
        cellsPerRow.back()++;
        const size_t end = page.find(L"</td>\r\n", pos) + 7;
        if (page.compare(end, 11, L"</tr><tr>\r\n") == 0)
            cellsPerRow.push_back(0);
    }
    EXPECT_EQ(cellsPerRow, (std::vector<int>{6, 6, 1}));
    // Cells in table order: slots 0 to 3 (the ring's second round) come first.
    EXPECT_EQ(page.find(L"<td>"), page.find(L"<td><img src=\"./Patient_No0007_0010.SPV\">"));
    EXPECT_NE(page.find(L"<td><img src=\"./Patient_No0007_0009.SPV\"><br>Patient_No0007_0009.SPV"
                        L"</td>\r\n</tr></table>"),
              std::wstring::npos);
}

// Random practices: years, stamps near the events, unsorted lines, lines
// without image, short lines, previews missing, the after-part running into
// the next year.
TEST(BuildThumbnailsFromLog, EqualsTheReferenceOnRandomPractices) {
    std::mt19937 rng(20150312);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto two = [](int v) { return (v < 10 ? L"0" : L"") + std::to_wstring(v); };
    for (int round = 0; round < 150; ++round) {
        SPractice fast, slow;
        std::vector<std::wstring> log;
        const int logLines = pick(0, 25);
        for (int i = 0; i < logLines; ++i) {
            const int kind = pick(0, 9);
            if (kind == 0)
                log.push_back(L"2015-03-12 14:05"); // 16 characters: not used
            else
                log.push_back(std::to_wstring(pick(2012, 2017)) + L"-" + two(pick(1, 3)) + L"-" +
                              two(pick(1, 3)) + L" " + two(pick(8, 9)) + L":" + two(pick(0, 2)) +
                              L" event");
        }
        std::vector<std::pair<std::wstring, std::vector<std::wstring>>> files;
        for (int year = 2012; year <= 2017; ++year) {
            if (pick(0, 3) == 0)
                continue;
            std::vector<std::wstring> lines;
            const int n = pick(0, 30);
            for (int i = 0; i < n; ++i) {
                const std::wstring stamp =
                    two(pick(1, 3)) + two(pick(1, 3)) + L"-" + two(pick(8, 9)) + two(pick(0, 2));
                const int kind = pick(0, 11);
                if (kind == 0)
                    lines.push_back(L"short");
                else if (kind == 1)
                    lines.push_back(stamp + L";no image");
                else
                    lines.push_back(stamp + L";1;A;TII;D:\\Images\\" + std::to_wstring(pick(1, 4)) +
                                    L"\\" + std::to_wstring(pick(1, 12)));
            }
            if (pick(0, 1))
                std::sort(lines.begin(), lines.end());
            files.emplace_back(kImages + L"ACQ" + std::to_wstring(year) + L".idx", lines);
        }
        for (SPractice* p : {&fast, &slow}) {
            p->m_text.Put(kLog, log);
            for (const auto& [path, lines] : files)
                p->m_text.Put(path, lines);
            for (int folder = 1; folder <= 4; ++folder)
                for (int image = 1; image <= 12; image += 1 + (folder + image) % 3)
                    p->AddPreview(kImages + std::to_wstring(folder) + L"\\" +
                                  std::to_wstring(image) + L".SPV");
        }
        const bool a =
            BuildThumbnailsFromLog(fast.Ports(), kWork, 2017, kLog, kImages, fast.m_table);
        const bool b = reference::BuildThumbnailsFromLog(slow.Ports(), kWork, 2017, kLog, kImages,
                                                         slow.m_table);
        ASSERT_EQ(a, b) << round;
        ASSERT_EQ(fast.m_table, slow.m_table) << round;
        ASSERT_EQ(fast.Page(), slow.Page()) << round;
        ASSERT_EQ(fast.m_disk.FilesIn(kThumbs), slow.m_disk.FilesIn(kThumbs)) << round;
        ASSERT_EQ(fast.m_disk.FilesIn(kWork), slow.m_disk.FilesIn(kWork)) << round;
        ASSERT_EQ(fast.m_steps.m_rows, slow.m_steps.m_rows) << round;
        EXPECT_LE(fast.m_text.m_nReads, 1 + static_cast<int>(files.size()))
            << "each file read once, round " << round;
    }
}

TEST(FindOscilloscopeFiles, FilesThenTheirFoldersFirstFileStopsAFolderJunctionsSkipped) {
    CFakeDisk d;
    d.AddFolder(L"D:\\Images");
    d.AddFolder(L"D:\\Images\\P1");
    d.AddFolder(L"D:\\Images\\P1\\A");
    d.AddFile(L"D:\\Images\\P1\\A\\image osc.dat");
    d.AddFolder(L"D:\\Images\\P1\\B");
    d.AddFile(L"D:\\Images\\P1\\B\\IMAGE OSC.DAT");
    d.AddFolder(L"D:\\Images\\P2");
    d.AddFile(L"D:\\Images\\P2\\image osc.dat");
    d.AddFolder(L"D:\\Images\\P2\\Later"); // after the file: not searched
    d.AddFile(L"D:\\Images\\P2\\Later\\image osc.dat");
    d.AddJunction(L"D:\\Images\\P1\\Loop"); // would lead back to D:\Images
    FileQueue list;
    EXPECT_TRUE(FindOscilloscopeFiles(d, L"D:\\Images\\", list));
    EXPECT_EQ(list,
              (FileQueue{L"D:\\Images\\P1\\A\\image osc.dat", L"D:\\Images\\P1\\A",
                         L"D:\\Images\\P1\\B\\IMAGE OSC.DAT", L"D:\\Images\\P1\\B",
                         L"D:\\Images\\P1", L"D:\\Images\\P2\\image osc.dat", L"D:\\Images\\P2"}));
    for (const auto& search : d.m_searches) {
        EXPECT_EQ(search.find(L"Later"), std::wstring::npos);
        EXPECT_EQ(search.find(L"Loop"), std::wstring::npos);
    }
}

struct SArchiveFixture {
    SArchiveFixture() {
        for (const auto& folder :
             {kWork, kThumbs, std::wstring(L"D:\\Images"), std::wstring(L"D:\\Images\\Oscillos")})
            m_disk.AddFolder(folder);
    }
    CFakeDisk m_disk;
    CRecordingSteps m_steps;
    CRecordingArchiveFactory m_factory;
    CArchiveSteps m_archive{m_steps, m_disk, m_factory, kWork};
};

SRow ArchiveRow(const std::wstring& action, const std::wstring& status,
                const std::wstring& comment = L"") {
    return {L"", true, action, status, comment, kIconArchive, false};
}

TEST(CArchiveSteps, EntriesInLayoutOrderWithTheirRows) {
    SArchiveFixture f;
    auto& d = f.m_disk;
    for (const wchar_t* name : {L"Report.txt", L"Report.log", L"ACQ2014.idx", L"ACQ2015.idx"})
        d.AddFile(kWork + L"\\" + name);
    d.AddFile(kThumbs + L"\\Patient_No0001_0001.SPV");
    d.AddFile(kThumbs + L"\\List.html");
    d.AddFolder(L"D:\\Images\\P1");
    d.AddFolder(L"D:\\Images\\P1\\A");
    d.AddFile(L"D:\\Images\\P1\\A\\image osc.dat");
    d.AddFolder(L"D:\\Images\\P1\\B");
    d.AddFile(L"D:\\Images\\P1\\B\\IMAGE OSC.DAT");
    d.AddFile(L"D:\\Images\\Oscillos\\loose.txt"); // directly in Oscillos: not archived
    d.AddFolder(L"D:\\Images\\Oscillos\\2015-03-12");
    d.AddFile(L"D:\\Images\\Oscillos\\2015-03-12\\Shot01.osc");
    d.AddFile(L"D:\\Images\\Oscillos\\2015-03-12\\Shot02.osc");
    d.AddFolder(L"D:\\Images\\Oscillos\\2016-01-20");

    const std::wstring zip = L"C:\\Users\\dr\\Desktop\\2015-06-01 - T1_C1.zip";
    auto archive = f.m_archive.CompressFiles(zip);
    ASSERT_TRUE(archive);
    f.m_archive.CompressPatientOscilloscopes(archive.get(), L"D:\\Images\\");
    f.m_archive.CompressOscilloscopes(archive.get(), L"D:\\Images\\");
    f.m_archive.CompressThumbnails(archive.get());
    EXPECT_EQ(f.m_factory.m_created, (std::vector<std::wstring>{zip}));
    const std::wstring osc = L"D:\\Images\\Oscillos\\";
    EXPECT_EQ(
        f.m_factory.m_entries,
        (std::vector<std::wstring>{
            L"F ACQ2015.idx <- " + kWork + L"\\ACQ2015.idx",
            L"F ACQ2014.idx <- " + kWork + L"\\ACQ2014.idx",
            L"F Report.log <- " + kWork + L"\\Report.log",
            L"F Report.txt <- " + kWork + L"\\Report.txt",
            L"D P1",
            L"D P1\\B",
            L"F P1\\B\\IMAGE OSC.DAT <- D:\\Images\\P1\\B\\IMAGE OSC.DAT",
            L"D P1\\A",
            L"F P1\\A\\image osc.dat <- D:\\Images\\P1\\A\\image osc.dat",
            L"D Oscillos\\2016-01-20",
            L"D Oscillos\\2015-03-12",
            L"F Oscillos\\2015-03-12\\Shot02.osc <- " + osc + L"2015-03-12\\Shot02.osc",
            L"F Oscillos\\2015-03-12\\Shot01.osc <- " + osc + L"2015-03-12\\Shot01.osc",
            L"D Thumbnails",
            L"F Thumbnails\\List.html <- " + kThumbs + L"\\List.html",
            L"F Thumbnails\\Patient_No0001_0001.SPV <- " + kThumbs + L"\\Patient_No0001_0001.SPV",
        }));
    EXPECT_EQ(f.m_steps.m_rows,
              (std::vector<SRow>{
                  ArchiveRow(L"Compressing files", L"Processing", L"Creating: " + zip),
                  ArchiveRow(L"", L"OK"),
                  ArchiveRow(L"Compressing patients oscilloscopes", L"Processing"),
                  ArchiveRow(L"", L"OK"), ArchiveRow(L"Compressing oscilloscopes", L"Processing"),
                  ArchiveRow(L"", L"OK"), ArchiveRow(L"Compressing thumbnails", L"Processing"),
                  ArchiveRow(L"", L"OK")}));
}

TEST(CArchiveSteps, NoArchiveEveryStepFails) {
    SArchiveFixture f;
    f.m_factory.m_bFail = true;
    auto archive = f.m_archive.CompressFiles(L"Q:\\nowhere\\a.zip");
    EXPECT_FALSE(archive);
    f.m_archive.CompressPatientOscilloscopes(archive.get(), L"D:\\Images\\");
    f.m_archive.CompressOscilloscopes(archive.get(), L"D:\\Images\\");
    f.m_archive.CompressThumbnails(archive.get());
    EXPECT_TRUE(f.m_factory.m_entries.empty());
    EXPECT_TRUE(f.m_disk.m_searches.empty());
    EXPECT_EQ(
        f.m_steps.m_rows,
        (std::vector<SRow>{
            ArchiveRow(L"Compressing files", L"Processing", L"Creating: Q:\\nowhere\\a.zip"),
            ArchiveRow(L"", L"Failed !"),
            ArchiveRow(L"Compressing patients oscilloscopes", L"Processing"),
            ArchiveRow(L"", L"Failed !"), ArchiveRow(L"Compressing oscilloscopes", L"Processing"),
            ArchiveRow(L"", L"Failed !"), ArchiveRow(L"Compressing thumbnails", L"Processing"),
            ArchiveRow(L"", L"Failed !")}));
}

} // namespace

// The scan dialog repaints from this callback while a large file compresses:
// it must run during the entry, not only once the archive is closed.
TEST(ZipArchiveFactory, ReportsProgressWhileALargeFileIsCompressed) {
    char tmpl[] = "/tmp/zip_progress_testXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    {
        std::ofstream out(dir + "/big.raw", std::ios::binary);
        std::mt19937 rng(7);
        for (int i = 0; i < 3 * 1024 * 1024 / 4; ++i) {
            const uint32_t word = rng();
            out.write(reinterpret_cast<const char*>(&word), sizeof word);
        }
    }
    int calls = 0;
    bool closed = false;
    auto factory = MakeZipArchiveFactory([&] {
        EXPECT_FALSE(closed);
        ++calls;
    });
    auto archive = factory->Create(Utf8ToWide(dir + "/a.zip"));
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->AddFile(L"big.raw", Utf8ToWide(dir + "/big.raw")), 0);
    const int duringEntry = calls;
    EXPECT_EQ(archive->Close(), 0);
    closed = true;
    // 3 MiB in 128 KiB chunks: many reports before the entry ended.
    EXPECT_GE(duringEntry, 10);
    std::remove((dir + "/big.raw").c_str());
    std::remove((dir + "/a.zip").c_str());
    rmdir(tmpl);
}
