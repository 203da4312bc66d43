// The whole scan over in-memory ports: its rows in order for each kind of
// workstation, the report's sections, the archive, and the rules that keep
// the working folder and the archive name safe.
#include "archive_fakes.h"
#include "imaging_fakes.h"
#include "scan_procedure.h"

#include <gtest/gtest.h>

using namespace ostrel;
using namespace ostrel::test;

namespace {

const std::wstring kLocal = L"C:\\Users\\dr\\AppData\\Local";
const std::wstring kWork = kLocal + L"\\TMP";
const std::wstring kApp = L"c:\\varnik\\";
const std::wstring kIni = kApp + L"Varnik Imaging.ini";
const std::wstring kDesktop = L"C:\\Users\\dr\\Desktop";

class CFakeScanShell : public IScanShell {
public:
    explicit CFakeScanShell(CFakeDisk& disk) : m_disk(disk) {}
    void DeleteTree(const std::wstring& folder) override { m_deleted.push_back(folder); }
    bool CreateFolderTree(const std::wstring& folder) override {
        m_created.push_back(folder);
        if (m_bCannotCreate)
            return false;
        m_disk.AddFolder(folder);
        return true;
    }
    bool DesktopFolder(std::wstring& folder) override {
        folder = m_strDesktop;
        return !folder.empty();
    }
    CFakeDisk& m_disk;
    std::vector<std::wstring> m_deleted, m_created;
    bool m_bCannotCreate = false;
    std::wstring m_strDesktop = kDesktop;
};

// Ten seconds pass between two readings, on 1 June 2015.
class CFakeClock : public IScanClock {
public:
    long long NowSeconds() override { return m_nNow += 10; }
    std::wstring LocalDate() override { return L"2015-06-01"; }
    int LocalYear() override { return 2015; }
    long long m_nNow = 1433152800;
};

struct SWorkstation {
    SWorkstation() {
        m_imaging.m_registry.m_keys[kSharedDllsKey].m_values = {L"C:/VARNIK/VARNIK IMAGING.EXE"};
        m_imaging.m_profile.m_files[kIni][L"IMAGES"][L"Path"] = L"D:\\Images";
        m_imaging.m_profile.m_files[kIni][L"TESSEL"][L"AcqMode"] = L"1";
        m_imaging.m_files.m_readable.insert(kApp + L"BTESSEL_II.Log");
        for (const auto& folder : {kLocal, kApp.substr(0, kApp.size() - 1),
                                   std::wstring(L"D:\\Images"), std::wstring(L"D:\\Images\\P1")})
            m_disk.AddFolder(folder);
        m_disk.AddFile(kApp + L"TESSEL.DLL", L"v.3.2.0");
        m_disk.AddFile(kApp + L"VARNIK Imaging.exe", L"v.6.3.2");
        m_disk.AddFile(L"D:\\Images\\P1\\image osc.dat");
        m_disk.AddFile(L"D:\\Images\\P1\\0001.SPV");
        m_text.Put(kApp + L"BTESSEL_II.Log", {L"2015-03-12 14:05:33 acquisition"});
        m_text.Put(L"D:\\Images\\ACQ2015.idx", {L"0312-1400;1;A;TII;D:\\Images\\P1\\0001"});
        m_fields.m_strTechName = L"T1";
        m_fields.m_strClientName = L"C1";
        m_fields.m_strRemark = L"No image";
        m_fields.m_bTagGroup1 = true;
    }
    SScanPorts Ports() {
        return {m_steps, m_reportFiles, {L"C:\\Tools\\Ostrel.exe", L"", L"v.2.30.1.0"},
                m_disk,  m_folders,     m_imagingPorts,
                m_text,  m_archives,    m_shell,
                m_clock};
    }
    SScanPaths Paths() { return {kLocal, kWork, kWork + L"\\Report.txt", kWork + L"\\Report.log"}; }
    // "action|status|comment|icon|advance" of every row, "+" marking a command run.
    std::vector<std::wstring> Rows() const {
        std::vector<std::wstring> rows;
        for (const auto& r : m_steps.m_rows)
            rows.push_back(r.m_strAction + L"|" + r.m_strStatus + L"|" + r.m_strComment + L"|" +
                           std::to_wstring(r.m_nIcon) + (r.m_bAdvance ? L"|1" : L"|0") +
                           (r.m_strCommand.empty() ? L"" : L"+"));
        return rows;
    }
    void Run() {
        CScanProcedure scan(Ports(), Paths(), m_fields);
        scan.RunAll();
        m_strZip = scan.ZipPath();
        m_bCreated = scan.ArchiveCreated();
    }

    CFakeDisk m_disk;
    CFakeFolders m_folders;
    SFakeImaging m_imaging;
    SImagingPorts m_imagingPorts = m_imaging.Ports();
    CFakeTextFiles m_text{m_disk};
    CMemoryFiles m_reportFiles;
    CRecordingSteps m_steps;
    CRecordingArchiveFactory m_archives;
    CFakeScanShell m_shell{m_disk};
    CFakeClock m_clock;
    SIncidentFields m_fields;
    std::wstring m_strZip;
    bool m_bCreated = false;
};

const std::vector<std::wstring> kStart = {
    L"Cleaning old files|Processing||0|0",
    L"|OK||0|1",
    L"Application Path|Scanning...||0|0",
    L"|OK|Found: c:\\varnik\\|0|1",
    L"c:\\varnik\\TESSEL.DLL|OK|v.3.2.0|1|0",
    L"DLL Scan complete|OK|Found: 1 files|0|1",
    L"c:\\varnik\\VARNIK Imaging.exe|OK|v.6.3.2|1|1",
    L"c:\\varnik\\Pardo.exe|Failed|---|4|1",
    L"Testing R/W on D:\\Images\\|OK||1|0",
    L"Inserting Form fields|OK||0|1",
    L"Inserting INI fields.|OK||0|1",
    L"Copying INI file|OK||1|1+",
    L"Copying LOG file|OK||1|1+",
};
const std::vector<std::wstring> kEnd = {
    L"Copying Install.log|OK||1|0+",
    L"Copying LogDS2.log|OK||1|1+",
    L"User Logs Scan complete|OK|Found: 0 files|0|1",
    L"Exporting register|Processing||2|0+",
    L"|||2|0+",
    L"|OK||2|1+",
    L"Call to C:\\Program Files\\Common Files\\MsInfo32|Processing||2|0+",
    L"|OK||0|1",
    L"msinfo32.exe|Time|Elapsed time : 00:00:10|0|1",
    L"Call to DXDiag|Processing||2|0+",
    L"|OK||0|1",
    L"dxdiag.exe|Time|Elapsed time : 00:00:10|0|1",
    L"Compressing files|Processing|Creating: C:\\Users\\dr\\Desktop\\2015-06-01 - T1_C1.zip|3|1",
    L"|OK||3|1",
};
const std::vector<std::wstring> kOscAndThumbs = {
    L"Compressing patients oscilloscopes|Processing||3|1",
    L"|OK||3|1",
    L"Compressing oscilloscopes|Processing||3|1",
    L"|OK||3|1",
    L"Compressing thumbnails|Processing||3|1",
    L"|OK||3|1",
};
const std::vector<std::wstring> kFinish = {
    L"Cleaning old files|Processing||0|0",
    L"|OK||0|1",
    // Six readings ten seconds apart: two for each program, two for the whole.
    L"Scan complete|OK|Elapsed time : 00:00:50|0|1",
};

std::vector<std::wstring> Concat(std::initializer_list<std::vector<std::wstring>> parts) {
    std::vector<std::wstring> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(CScanProcedure, RowsOfEachKindOfWorkstation) {
    const std::vector<std::wstring> images = {
        L"Collecting files|Processing||1|0+",
        L"|||1|0+", // mkdir of the thumbnail folder
    };
    SWorkstation standard;
    standard.Run();
    EXPECT_EQ(standard.Rows(), Concat({kStart, images, kEnd, kOscAndThumbs, kFinish}));
    EXPECT_TRUE(standard.m_bCreated);
    EXPECT_EQ(standard.m_strZip, kDesktop + L"\\2015-06-01 - T1_C1.zip");
    EXPECT_EQ(standard.m_shell.m_deleted, (std::vector<std::wstring>{kWork, kWork}));
    EXPECT_EQ(standard.m_shell.m_created, (std::vector<std::wstring>{kWork}));

    // Medical: no thumbnails, no oscilloscope steps.
    SWorkstation medical;
    medical.m_fields.m_bTagGroup1 = false;
    medical.m_fields.m_bTagGroup2 = true;
    medical.Run();
    EXPECT_EQ(medical.Rows(), Concat({kStart, {images[0]}, kEnd, kFinish}));

    // No images folder: one failed row, the archive steps still run.
    SWorkstation empty;
    empty.m_imaging.m_profile.m_files[kIni][L"IMAGES"][L"Path"] = L"";
    empty.m_imaging.m_profile.m_files[kIni][L"OTHER"][L"x"] = L"";
    empty.Run();
    auto start = kStart;
    start[8] = L"Testing R/W on |Failed||4|0";
    start[10] = L"Inserting INI fields.|Failed|Not found|4|1"; // the file no longer qualifies
    EXPECT_EQ(
        empty.Rows(),
        Concat({start, {L"Images Directory|Failed|Not found|4|0"}, kEnd, kOscAndThumbs, kFinish}));
}

TEST(CScanProcedure, ReportSectionsInOrderWithTheFormAsTyped) {
    SWorkstation w;
    w.m_fields.m_strTechName = L"Dr A=B";
    w.m_fields.m_strRemark = L"line one\r\nline two";
    w.m_fields.m_eGenType = EGeneratorType::DC;
    w.m_fields.m_strGenBrand = L"Helion";
    w.m_fields.m_tree = {{L"Cameras", 0, {{L"K520", 1, {}}}}};
    w.Run();
    const auto& r = w.m_steps.m_report;
    auto at = [&r](const std::wstring& line) {
        return std::find(r.begin(), r.end(), line) - r.begin();
    };
    std::vector<long> order;
    for (const wchar_t* section :
         {L"[DEVICES]", L"[FILES]", L"[DLL]", L"[EXE]", L"[TESTS]", L"[FORM]", L"[INI FILE]"}) {
        order.push_back(at(section));
        ASSERT_LT(order.back(), static_cast<long>(r.size())) << "missing section";
        EXPECT_EQ(r[order.back() - 1], L"") << "an empty line before each section";
    }
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    const long form = at(L"[FORM]");
    EXPECT_EQ(std::vector<std::wstring>(r.begin() + form + 1, r.begin() + form + 14),
              (std::vector<std::wstring>{
                  L"TechName=Dr A=B", L"ClientName=C1", L"DeviceType=", L"DeviceNum=", L"DockType=",
                  L"DockNum=", L"GenBrand=Helion", L"GenModel=", L"GenType=DC", L"ManagingSoft=",
                  L"ImagingSoft=", L"Remark=line one\r\nline two", L""}));
    EXPECT_EQ(r[at(L"[DEVICES]") + 1], L"+-Cameras");
    EXPECT_EQ(r[at(L"[DEVICES]") + 2], L"| +-K520");
    // Both report files got their headers, the command log first.
    EXPECT_EQ(w.m_reportFiles.Text(kWork + L"\\Report.log").substr(0, 30),
              L"; VARNIK-Imaging Report File\r\n");
    EXPECT_NE(w.m_reportFiles.Text(kWork + L"\\Report.txt").find(L"; Date : 2015-06-01\r\n"),
              std::wstring::npos);
}

TEST(FormReportLines, EmptyFieldsAndNoGeneratorType) {
    SIncidentFields f;
    f.m_strRemark = L"";
    f.m_strTechName = L"  ";
    EXPECT_EQ(FormReportLines(f), (std::vector<std::wstring>{
                                      L"TechName=  ", L"ClientName=", L"DeviceType=", L"DeviceNum=",
                                      L"DockType=", L"DockNum=", L"GenBrand=", L"GenModel=",
                                      L"ManagingSoft=", L"ImagingSoft=", L"Remark="}));
    f.m_eGenType = EGeneratorType::AC;
    EXPECT_EQ(FormReportLines(f)[8], L"GenType=AC");
}

TEST(CScanProcedure, ArchiveNameStaysOnTheDesktop) {
    const std::pair<std::pair<std::wstring, std::wstring>, std::wstring> cases[] = {
        {{L"T1", L"C1"}, L"2015-06-01 - T1_C1.zip"},
        {{L"Dupont/Martin", L"Cabinet: Dr X"}, L"2015-06-01 - Dupont_Martin_Cabinet_ Dr X.zip"},
        {{L"..\\..\\Windows", L"a|b"}, L"2015-06-01 - .._.._Windows_a_b.zip"},
        {{L"H\u00e9l\u00e8ne ", L"Dr. "}, L"2015-06-01 - H\u00e9l\u00e8ne_Dr.zip"},
    };
    for (const auto& [typed, expected] : cases)
        EXPECT_EQ(ArchivePath(kDesktop, L"2015-06-01", typed.first, typed.second),
                  kDesktop + L"\\" + expected);
    EXPECT_EQ(ArchivePath(L"", L"2015-06-01", L"T1", L"C1"), L"") << "never the drive's root";

    SWorkstation w;
    w.m_fields.m_strTechName = L"Dupont/Martin";
    w.m_fields.m_strClientName = L"Cabinet: Dr X";
    w.Run();
    EXPECT_EQ(
        w.m_archives.m_created,
        (std::vector<std::wstring>{kDesktop + L"\\2015-06-01 - Dupont_Martin_Cabinet_ Dr X.zip"}));
    // The report keeps the names as typed.
    EXPECT_NE(
        std::find(w.m_steps.m_report.begin(), w.m_steps.m_report.end(), L"TechName=Dupont/Martin"),
        w.m_steps.m_report.end());
}

TEST(CScanProcedure, WorkFolderDeletedOnlyWhenItIsTheTmpBelowLocalData) {
    const std::pair<std::wstring, std::wstring> unsafe[] = {
        {L"", L""},
        {L"", kLocal},
        {L"C:\\", L"C:"},
        {L"C:\\TMP", L"C:\\"},
        {L"TMP", L""},
        {L"Local\\TMP", L"Local"},
        {L"C:\\Users\\dr\\AppData\\Local\\..\\TMP", L"C:\\Users\\dr\\AppData\\Local\\.."},
        {L"C:\\Users\\dr\\Documents", kLocal},
        {L"\\\\server\\share\\TMP", L"\\\\server\\share"},
        {L"C:\\Users\\*\\TMP", L"C:\\Users\\*"},
    };
    for (const auto& [tmp, local] : unsafe)
        EXPECT_FALSE(IsDeletableWorkFolder(tmp, local)) << std::string(tmp.begin(), tmp.end());
    EXPECT_TRUE(IsDeletableWorkFolder(kWork, kLocal));
    EXPECT_TRUE(IsDeletableWorkFolder(L"c:\\users\\dr\\appdata\\local\\tmp", kLocal));
    EXPECT_TRUE(IsDeletableWorkFolder(L"\\\\srv\\home\\dr\\TMP", L"\\\\srv\\home\\dr"));

    SWorkstation w;
    CScanProcedure scan(w.Ports(), {L"", L"", L"", L""}, w.m_fields);
    scan.CleanWorkFolder();
    EXPECT_TRUE(w.m_shell.m_deleted.empty());
    EXPECT_EQ(w.Rows(),
              (std::vector<std::wstring>{L"Cleaning old files|Processing||0|0", L"|Failed||0|1"}));
}

TEST(CScanProcedure, LostWorkFolderAndLostArchiveAreShown) {
    SWorkstation w;
    w.m_shell.m_bCannotCreate = true;
    w.m_archives.m_bFail = true;
    w.Run();
    const auto rows = w.Rows();
    EXPECT_EQ(rows[2], L"Creating working folder|Failed|" + kWork + L"|4|0");
    EXPECT_FALSE(w.m_bCreated);
    EXPECT_EQ(EndMessageText(false, w.m_strZip, L"support@example.test"),
              L"Scan complete.\nThe ZIP file could not be created:\n" + kDesktop +
                  L"\\2015-06-01 - T1_C1.zip\n\nPlease contact support at: support@example.test");
    EXPECT_EQ(EndMessageText(true, w.m_strZip, L"support@example.test"),
              L"Scan complete.\nA ZIP file has been generated on the desktop.\n\n"
              L"Please send this file at: support@example.test");
}

} // namespace
