// The collection's listings, copies, command lines and rows against an
// in-memory disk and a recording scan dialog.
#include "collection_fakes.h"

#include <gtest/gtest.h>

using namespace ostrel;
using namespace ostrel::test;

namespace {

const std::wstring kWork = L"C:\\Users\\dr\\AppData\\Local\\Ostrel\\TMP";
const std::wstring kApp = L"C:\\VARNIK\\Varnik Imaging\\";
const std::wstring kImages = L"D:\\Images\\";
const std::wstring kLocal = L"C:\\Users\\dr\\AppData\\Local";

TEST(ListFolderFiles, FilesOrFoldersInEnumerationOrderWithoutDots) {
    CFakeDisk disk;
    disk.AddFolder(L"C:\\VARNIK\\Varnik Imaging");
    disk.AddFile(kApp + L"TesselDrv.dll");
    disk.AddFile(kApp + L"readme.txt");
    disk.AddFolder(kApp + L"Plugins.DLL");
    disk.AddFile(kApp + L"VIDCAP.DLL");
    disk.AddFolder(kApp + L"Help");

    FileQueue queue{L"already there"};
    ListFolderFiles(disk, kApp, L"*.DLL", queue);
    EXPECT_EQ(queue, (FileQueue{L"already there", kApp + L"TesselDrv.dll", kApp + L"VIDCAP.DLL"}));
    EXPECT_EQ(disk.m_searches.back(), kApp + L"*.DLL") << "joined without a separator";

    queue.clear();
    ListSubfolders(disk, kApp, L"*", queue);
    EXPECT_EQ(queue, (FileQueue{kApp + L"Plugins.DLL", kApp + L"Help"}));

    // The pattern may carry its own backslash; the entry path keeps the search's folder.
    queue.clear();
    ListFolderFiles(disk, L"C:\\VARNIK\\Varnik Imaging", L"\\*.*", queue);
    EXPECT_EQ(queue,
              (FileQueue{kApp + L"TesselDrv.dll", kApp + L"readme.txt", kApp + L"VIDCAP.DLL"}));

    const size_t searches = disk.m_searches.size();
    ListFolderFiles(disk, L"", L"*.DLL", queue);
    ListSubfolders(disk, L"", L"*", queue);
    EXPECT_EQ(disk.m_searches.size(), searches) << "an empty folder is not searched";
}

TEST(TestReadWrite, FreshProbeCreatedReopenedAndDeletedNeverAnExistingFile) {
    CFakeDisk disk;
    disk.AddFolder(L"D:\\Images");
    disk.AddFolder(L"D:\\ReadOnly");
    disk.m_readOnly.insert(L"D:\\ReadOnly");
    // Files a user left there under the names a probe could take.
    disk.AddFile(L"D:\\Images\\TEST.TXT", L"keep");
    disk.AddFile(L"D:\\Images\\~ostrel-rw-0.tmp", L"keep");
    EXPECT_TRUE(TestReadWrite(disk, L"D:\\Images"));
    EXPECT_TRUE(disk.Has(L"D:\\Images\\TEST.TXT"));
    EXPECT_TRUE(disk.Has(L"D:\\Images\\~ostrel-rw-0.tmp"));
    EXPECT_FALSE(disk.Has(L"D:\\Images\\~ostrel-rw-1.tmp")) << "the probe is deleted";
    EXPECT_EQ(disk.m_removed, (std::vector<std::wstring>{L"D:\\Images\\~ostrel-rw-1.tmp"}))
        << "only the probe it created";
    EXPECT_FALSE(TestReadWrite(disk, L"D:\\ReadOnly"));
    EXPECT_FALSE(TestReadWrite(disk, L"D:\\Missing"));
    const size_t probes = disk.m_probes.size();
    EXPECT_FALSE(TestReadWrite(disk, L"")) << "no probe at the drive root";
    EXPECT_EQ(disk.m_probes.size(), probes);
    EXPECT_EQ(disk.m_removed.size(), 1u) << "nothing created, nothing deleted";
}

TEST(CommandLines, EveryTemplateLiterally) {
    const std::wstring w = L"C:\\Users\\Dr A\\AppData\\Local\\Ostrel\\TMP";
    const std::pair<std::wstring, std::wstring> cases[] = {
        {CopyCommand(L"C:\\Img\\Varnik Imaging.ini", w),
         L"copy \"C:\\Img\\Varnik Imaging.ini\" \"C:\\Users\\Dr A\\AppData\\Local\\Ostrel\\TMP\""},
        {CopyCommand(L"", w), L"copy \"\" \"C:\\Users\\Dr A\\AppData\\Local\\Ostrel\\TMP\""},
        {ImagesListingCommand(L"D:\\Images\\", w),
         L"dir \"D:\\Images\\\" /s > \"C:\\Users\\Dr "
         L"A\\AppData\\Local\\Ostrel\\TMP\\Dir-Images.out\""},
        {RegistryExportCommands(w).at(0),
         L"regedit /E \"C:\\Users\\Dr A\\AppData\\Local\\Ostrel\\TMP\\Enum.reg\" "
         L"\"HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\ENUM\""},
        {RegistryExportCommands(w).at(1),
         L"regedit /E \"C:\\Users\\Dr A\\AppData\\Local\\Ostrel\\TMP\\Varnik.reg\" "
         L"\"HKEY_CURRENT_USER\\SOFTWARE\\VARNIK\""},
        {RegistryExportCommands(w).at(2),
         L"regedit /E \"C:\\Users\\Dr A\\AppData\\Local\\Ostrel\\TMP\\Belmar.reg\" "
         L"\"HKEY_CURRENT_USER\\SOFTWARE\\VARNIK - REZAZEVEVID\""},
        {MsInfoCommand(L"C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe",
                       w),
         L"C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe /nfo "
         L"\"C:\\Users\\Dr A\\AppData\\Local\\Ostrel\\TMP\\MsInfo.nfo\""},
        {DxDiagCommand(w),
         L"dxdiag.exe /t C:\\Users\\Dr A\\AppData\\Local\\Ostrel\\TMP\\DxDiag.txt"},
    };
    for (const auto& [built, expected] : cases)
        EXPECT_EQ(built, expected);
    EXPECT_EQ(RegistryExportCommands(w).size(), 3u);
}

TEST(ElapsedTimeText, HoursWithinTheDay) {
    EXPECT_EQ(ElapsedTimeText(0), L"Elapsed time : 00:00:00");
    EXPECT_EQ(ElapsedTimeText(3 * 3600 + 7 * 60 + 9), L"Elapsed time : 03:07:09");
    EXPECT_EQ(ElapsedTimeText(25 * 3600 + 61), L"Elapsed time : 01:01:01");
}

// A workstation with the imaging software, its images and the user's logs.
struct SWorkstation {
    SWorkstation() {
        for (const auto& folder :
             {kWork, std::wstring(L"C:\\VARNIK\\Varnik Imaging"), std::wstring(L"D:\\Images"),
              kLocal, kLocal + L"\\Logs QMW", kLocal + L"\\Logs QMW\\Archive", kLocal + L"\\QMA1",
              kLocal + L"\\QMB2", kLocal + L"\\QMV", kLocal + L"\\Logs VI"})
            m_disk.AddFolder(folder);
    }
    CFakeDisk m_disk;
    CFakeFolders m_folders;
    CRecordingSteps m_steps;
    CFakeClock m_clock;
    CCollector m_collector{m_disk, m_folders, m_steps, kWork, m_clock};
};

TEST(CCollector, AcquisitionModulesAndModuleLogsNeverOverwriting) {
    SWorkstation w;
    auto& d = w.m_disk;
    d.AddFile(kLocal + L"\\QMA1\\QMA1.ini");
    d.AddFile(kLocal + L"\\QMB2\\QMB2.ini");
    d.AddFile(kLocal + L"\\QMV\\other.ini");
    d.AddFile(kLocal + L"\\Logs QMW\\QMA1_2015-03.log");
    d.AddFile(kLocal + L"\\Logs QMW\\Archive\\QMA1_2014-01.log");
    d.AddFile(kLocal + L"\\Logs QMW\\QMB2_2015-03.log");
    d.AddFile(kLocal + L"\\Logs QMW\\QMB2.ini"); // same name as the module file: first copy wins
    d.AddFile(kWork + L"\\QMA1.ini");            // already collected
    w.m_collector.CopyAcquisitionModules();
    EXPECT_EQ(d.FilesIn(kWork),
              (std::vector<std::wstring>{L"QMA1.ini", L"QMB2.ini", L"QMA1_2015-03.log",
                                         L"QMB2_2015-03.log"}));
    EXPECT_EQ(d.SourceOf(kWork + L"\\QMA1.ini"), L"") << "not overwritten";
    EXPECT_EQ(d.SourceOf(kWork + L"\\QMB2.ini"), kLocal + L"\\QMB2\\QMB2.ini");
    EXPECT_EQ(std::count(d.m_searches.begin(), d.m_searches.end(), kLocal + L"\\Logs QMW\\*.*"), 1);
    for (const auto& search : d.m_searches)
        EXPECT_EQ(search.find(L"Archive"), std::wstring::npos) << "subfolder entered: " << search;
    EXPECT_TRUE(w.m_steps.m_rows.empty());

    SWorkstation noLocal;
    noLocal.m_folders.m_strLocal.clear();
    noLocal.m_disk.AddFile(kLocal + L"\\QMA1\\QMA1.ini");
    noLocal.m_collector.CopyAcquisitionModules();
    EXPECT_TRUE(noLocal.m_disk.FilesIn(kWork).empty());
    EXPECT_TRUE(noLocal.m_disk.m_searches.empty());
}

TEST(CCollector, ImagesFolderGroupWithItsConditions) {
    struct SCase {
        bool m_bMedical;
        std::vector<std::wstring> m_collected;
    };
    // Years from 2000 up to the current one (here 2021), option log before security log.
    const std::vector<std::wstring> common = {L"PatFile.idx", L"PAT0.DAX",     L"OPT2000.log",
                                              L"OPT2015.log", L"SECU2015.LOG", L"SECU2019.LOG",
                                              L"OPT2020.log", L"OPT2021.log",  L"SECU2021.LOG"};
    auto nonMedical = common;
    nonMedical.push_back(L"LastAcqTII.osc");
    for (const SCase& c : {SCase{false, nonMedical}, SCase{true, common}}) {
        SWorkstation w;
        auto& d = w.m_disk;
        for (const wchar_t* name :
             {L"PatFile.idx", L"PAT0.DAX", L"OPT2015.log", L"SECU2015.LOG", L"OPT2021.log",
              L"SECU2021.LOG", L"OPT2020.log", L"OPT2000.log", L"SECU2019.LOG", L"OPT1999.log",
              L"LastAcqTII.osc", L"ACQ2015.idx", L"OPT2022.log"})
            d.AddFile(kImages + name);
        w.m_collector.SetLastYear(2021);
        d.AddFile(kImages + L"SECU2016.LOG");
        d.m_locked.insert(kImages + L"SECU2016.LOG"); // cannot be opened: not copied
        EXPECT_TRUE(w.m_collector.CollectImagesFolder(kImages, c.m_bMedical));
        EXPECT_EQ(d.FilesIn(kWork), c.m_collected) << c.m_bMedical;
        ASSERT_EQ(w.m_steps.m_rows.size(), 1u);
        EXPECT_EQ(w.m_steps.m_rows[0],
                  (SRow{L"dir \"D:\\Images\\\" /s > \"" + kWork + L"\\Dir-Images.out\"", false,
                        L"Collecting files", L"Processing", L"", kIconFile, false}));
        for (const auto& attempt : d.m_copyAttempts) {
            EXPECT_EQ(attempt.find(L"1999"), std::wstring::npos);
            EXPECT_EQ(attempt.find(L"2022"), std::wstring::npos);
        }
    }

    SWorkstation none;
    EXPECT_FALSE(none.m_collector.CollectImagesFolder(L"", false));
    EXPECT_EQ(none.m_steps.m_rows, (std::vector<SRow>{{L"", false, L"Images Directory", L"Failed",
                                                       L"Not found", kIconFailed, false}}));
    EXPECT_TRUE(none.m_disk.m_copyAttempts.empty());
}

TEST(CCollector, LibrariesAndProgramsWithTheirVersions) {
    SWorkstation w;
    auto& d = w.m_disk;
    d.AddFile(kApp + L"TesselDrv.dll", L"v.3.2.0");
    d.AddFile(kApp + L"Legacy.DLL"); // no version resource: still listed, empty text
    d.AddFile(kApp + L"VARNIK Imaging.exe", L"v.6.3.2");
    EXPECT_EQ(w.m_collector.CollectLibraries(kApp), 2);
    w.m_collector.CollectPrograms(kApp);
    EXPECT_EQ(w.m_steps.m_report,
              (std::vector<std::wstring>{
                  L"", L"[DLL]", kApp + L"TesselDrv.dll=v.3.2.0", kApp + L"Legacy.DLL=", L"",
                  L"[EXE]", kApp + L"VARNIK Imaging.exe=v.6.3.2", kApp + L"Pardo.exe=(failed)"}));
    EXPECT_EQ(w.m_steps.m_rows,
              (std::vector<SRow>{
                  {L"", false, kApp + L"TesselDrv.dll", L"OK", L"v.3.2.0", kIconFile, false},
                  {L"", false, kApp + L"Legacy.DLL", L"OK", L"", kIconFile, false},
                  {L"", true, L"DLL Scan complete", L"OK", L"Found: 2 files", kIconInfo, false},
                  {L"", true, kApp + L"VARNIK Imaging.exe", L"OK", L"v.6.3.2", kIconFile, false},
                  {L"", true, kApp + L"Pardo.exe", L"Failed", L"---", kIconFailed, false},
              }));

    SWorkstation empty;
    EXPECT_EQ(empty.m_collector.CollectLibraries(L""), 0);
    empty.m_collector.CollectPrograms(L"");
    EXPECT_EQ(empty.m_steps.m_report,
              (std::vector<std::wstring>{L"", L"[DLL]", L"", L"[EXE]",
                                         L"VARNIK Imaging.exe=(failed)", L"Pardo.exe=(failed)"}));
    EXPECT_EQ(empty.m_steps.m_rows.at(0).m_strComment, L"Found: 0 files");
}

TEST(CCollector, ImagesFolderTestRowAndLine) {
    SWorkstation w;
    EXPECT_TRUE(w.m_collector.TestImagesFolder(L"C:\\VARNIK\\Varnik Imaging\\"));
    EXPECT_FALSE(w.m_collector.TestImagesFolder(L"E:\\Gone\\"));
    EXPECT_EQ(
        w.m_steps.m_report,
        (std::vector<std::wstring>{L"", L"[TESTS]", L"Path C:\\VARNIK\\Varnik Imaging\\ => RW=OK",
                                   L"", L"[TESTS]", L"Path E:\\Gone\\ => RW=(failed)"}));
    EXPECT_EQ(w.m_steps.m_rows.at(0),
              (SRow{L"", false, L"Testing R/W on C:\\VARNIK\\Varnik Imaging\\", L"OK", L"",
                    kIconFile, false}));
    EXPECT_EQ(w.m_steps.m_rows.at(1),
              (SRow{L"", false, L"Testing R/W on E:\\Gone\\", L"Failed", L"", kIconFailed, false}));
}

TEST(CCollector, InterpreterCopiesExportsAndUserLogs) {
    SWorkstation w;
    w.m_disk.AddFile(kLocal + L"\\Logs VI\\BTESSEL_II.Log");
    w.m_disk.AddFile(kLocal + L"\\Logs VI\\VARNIK Imaging 2015-03-12.log");
    w.m_disk.AddFolder(kLocal + L"\\Logs VI\\Old");
    w.m_collector.CopySettingsFile(L"");
    w.m_collector.CopyAcquisitionLog(kApp + L"BTESSEL_II.Log");
    w.m_collector.CopyInstallerLogs(kApp);
    EXPECT_EQ(w.m_collector.CopyUserLogs(), 2);
    w.m_collector.ExportRegistry();
    const std::wstring q = L"\" \"" + kWork + L"\"";
    const auto exports = RegistryExportCommands(kWork);
    EXPECT_EQ(
        w.m_steps.m_rows,
        (std::vector<SRow>{
            {L"copy \"" + q, true, L"Copying INI file", L"OK", L"", kIconFile, false},
            {L"copy \"" + kApp + L"BTESSEL_II.Log" + q, true, L"Copying LOG file", L"OK", L"",
             kIconFile, false},
            {L"copy \"" + kApp + L"Install.log" + q, false, L"Copying Install.log", L"OK", L"",
             kIconFile, false},
            {L"copy \"" + kApp + L"logDS2.log" + q, true, L"Copying LogDS2.log", L"OK", L"",
             kIconFile, false},
            {L"copy \"" + kLocal + L"\\Logs VI\\BTESSEL_II.Log" + q, false, L"", L"OK", L"",
             kIconFile, false},
            {L"copy \"" + kLocal + L"\\Logs VI\\VARNIK Imaging 2015-03-12.log" + q, false, L"",
             L"OK", L"", kIconFile, false},
            {L"", true, L"User Logs Scan complete", L"OK", L"Found: 2 files", kIconInfo, false},
            {exports[0], false, L"Exporting register", L"Processing", L"", kIconProgram, false},
            {exports[1], false, L"", L"", L"", kIconProgram, false},
            {exports[2], true, L"", L"OK", L"", kIconProgram, false},
        }));

    SWorkstation noLocal;
    noLocal.m_folders.m_strLocal.clear();
    EXPECT_EQ(noLocal.m_collector.CopyUserLogs(), -1);
    EXPECT_TRUE(noLocal.m_steps.m_rows.empty()) << "not even the summary row";
}

TEST(CCollector, SystemInformationAttempts) {
    const std::wstring nfo = L" /nfo \"" + kWork + L"\\MsInfo.nfo\"";
    const std::wstring a1 =
        L"C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe" + nfo;
    const std::wstring a2 = L"C:\\Windows\\system32\\msinfo32.exe" + nfo;
    const std::wstring a3 = L"msinfo32.exe" + nfo;
    struct SCase {
        const char* m_pszName;
        bool m_bCommon, m_bSystem;
        std::map<std::wstring, int> m_results;
        std::vector<std::wstring> m_commands;
        std::vector<std::wstring> m_statuses; // status of every row, in order
        int m_nCallRows;                      // rows whose action starts with "Call to "
        int m_nResult;
    };
    const SCase cases[] = {
        {"first succeeds", true, true, {}, {a1}, {L"Processing", L"OK", L"Time"}, 1, 0},
        {"second succeeds",
         true,
         true,
         {{a1, 2}},
         {a1, a2},
         {L"Processing", L"Processing", L"OK", L"Time"},
         2,
         0},
        {"all fail",
         true,
         true,
         {{a1, 2}, {a2, 258}, {a3, 2}},
         {a1, a2, a3},
         {L"Processing", L"Processing", L"Failed", L"Processing", L"Failed", L"Time"},
         2,
         2},
        {"only system folder",
         false,
         true,
         {{a2, 1}, {a3, 0}},
         {a2, a3},
         {L"Processing", L"Failed", L"Processing", L"OK", L"Time"},
         1,
         0},
        {"no folder", false, false, {{a3, 2}}, {a3}, {L"Processing", L"Failed", L"Time"}, 0, 2},
    };
    for (const auto& c : cases) {
        SWorkstation w;
        if (!c.m_bCommon)
            w.m_folders.m_strCommon.clear();
        if (!c.m_bSystem)
            w.m_folders.m_strSystem.clear();
        w.m_steps.m_results = c.m_results;
        EXPECT_EQ(w.m_collector.RunSystemInformation(), c.m_nResult) << c.m_pszName;
        EXPECT_EQ(w.m_steps.m_commands, c.m_commands) << c.m_pszName;
        std::vector<std::wstring> statuses;
        int callRows = 0;
        for (const auto& row : w.m_steps.m_rows) {
            statuses.push_back(row.m_strStatus);
            callRows += row.m_strAction.rfind(L"Call to ", 0) == 0;
            EXPECT_EQ(row.m_bProcess, !row.m_strCommand.empty());
        }
        EXPECT_EQ(statuses, c.m_statuses) << c.m_pszName;
        EXPECT_EQ(callRows, c.m_nCallRows) << c.m_pszName;
        const SRow& time = w.m_steps.m_rows.back();
        EXPECT_EQ(time.m_strAction, L"msinfo32.exe");
        EXPECT_EQ(time.m_strComment.rfind(L"Elapsed time : 00:00:0", 0), 0u);
        EXPECT_EQ(w.m_steps.m_rows[w.m_steps.m_rows.size() - 2].m_strComment,
                  c.m_nResult ? L"Not found: msinfo32.exe" : L"")
            << c.m_pszName;
    }
    SWorkstation w;
    w.m_collector.RunSystemInformation();
    EXPECT_EQ(w.m_steps.m_rows.at(0),
              (SRow{a1, false, L"Call to C:\\Program Files\\Common Files\\MsInfo32", L"Processing",
                    L"", kIconProgram, true}));
}

TEST(CCollector, DirectXDiagnostics) {
    for (int result : {0, 2}) {
        SWorkstation w;
        const std::wstring command = L"dxdiag.exe /t " + kWork + L"\\DxDiag.txt";
        w.m_steps.m_results[command] = result;
        EXPECT_EQ(w.m_collector.RunDirectXDiagnostics(), result);
        ASSERT_EQ(w.m_steps.m_rows.size(), 3u);
        EXPECT_EQ(w.m_steps.m_rows[0], (SRow{command, false, L"Call to DXDiag", L"Processing", L"",
                                             kIconProgram, true}));
        EXPECT_EQ(w.m_steps.m_rows[1].m_strStatus, result == 0 ? L"OK" : L"Failed");
        EXPECT_TRUE(w.m_steps.m_rows[1].m_bAdvance);
        EXPECT_EQ(w.m_steps.m_rows[2].m_strAction, L"dxdiag.exe");
        EXPECT_EQ(w.m_steps.m_rows[2].m_strStatus, L"Time");
    }
}

// The time rows show how long the runs took, on the clock the collector was given.
TEST(CCollector, TimeRowsShowTheElapsedTime) {
    struct SCase {
        bool m_bDxDiag;
        int m_nResult; // of every command
        long long m_nCommandSeconds;
        const wchar_t* m_pszComment;
    } const cases[] = {
        {true, 0, 3725, L"Elapsed time : 01:02:05"},   {true, 2, 0, L"Elapsed time : 00:00:00"},
        {false, 0, 59, L"Elapsed time : 00:00:59"},    // first attempt succeeds
        {false, 2, 1200, L"Elapsed time : 01:00:00"},  // three attempts
        {false, 2, 30000, L"Elapsed time : 01:00:00"}, // 25 hours: hours within the day
    };
    for (const auto& c : cases) {
        SWorkstation w;
        w.m_steps.m_pClock = &w.m_clock;
        w.m_steps.m_nCommandSeconds = c.m_nCommandSeconds;
        for (const auto& command :
             {L"dxdiag.exe /t " + kWork + L"\\DxDiag.txt",
              L"C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe /nfo \"" +
                  kWork + L"\\MsInfo.nfo\"",
              L"C:\\Windows\\system32\\msinfo32.exe /nfo \"" + kWork + L"\\MsInfo.nfo\"",
              L"msinfo32.exe /nfo \"" + kWork + L"\\MsInfo.nfo\""})
            w.m_steps.m_results[command] = c.m_nResult;
        if (c.m_bDxDiag)
            w.m_collector.RunDirectXDiagnostics();
        else
            w.m_collector.RunSystemInformation();
        const SRow& time = w.m_steps.m_rows.back();
        EXPECT_EQ(time, (SRow{L"", true, c.m_bDxDiag ? L"dxdiag.exe" : L"msinfo32.exe", L"Time",
                              c.m_pszComment, kIconInfo, false}))
            << c.m_nCommandSeconds;
    }
}

} // namespace
