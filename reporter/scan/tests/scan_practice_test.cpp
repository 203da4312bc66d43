// The lookups and the collection under Wine, against the simulated practice
// installed into the prefix by tools/practice (one variant at a time).
#include "collection.h"
#include "command_runner.h"
#include "imaging_settings.h"
#include "practice_layout.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <set>

using namespace ostrel;
using namespace ostrel::test;
namespace pr = ostrel::practice;

namespace {

std::wstring InstallerPath() {
    // The build tree as the host sees it, through Wine's drive for "/".
    std::wstring path = L"Z:";
    for (const char* p = OSTREL_PRACTICE_INSTALLER; *p; ++p)
        path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

void Install(pr::EVariant variant) {
    const wchar_t* name = nullptr;
    for (const auto& v : pr::kVariants)
        if (v.m_eVariant == variant)
            name = v.m_pszName;
    std::wstring line = L"\"" + InstallerPath() + L"\" " + name;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi))
        << "cannot start " << std::string(line.begin(), line.end());
    WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    ASSERT_EQ(code, 0u) << "practice installer failed for "
                        << std::string(line.begin(), line.end());
}

// Asked here without the reporter's shell port: where the practice installer
// put the files is the test's own knowledge.
std::wstring LocalAppData() {
    wchar_t buffer[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer);
    return buffer;
}

const std::wstring kAppLower = L"c:\\program files (x86)\\varnik\\varnik imaging\\";

TEST(PracticeLookups, EveryVariant) {
    const std::wstring local = LocalAppData();
    const std::wstring userIni = local + L"\\VARNIK-Imaging Pro\\Varnik Imaging.ini";
    struct SCase {
        pr::EVariant m_eVariant;
        std::wstring m_strApp, m_strIni, m_strLog, m_strImages;
        std::wstring m_strAcqMode;             // first acquisition line
        std::wstring m_strReplace, m_strStore; // technical lines 7 and 8
    };
    const std::wstring no = L"Acquire High Resolution = NO";
    const std::wstring yes = L"Acquire High Resolution = YES";
    const SCase cases[] = {
        {pr::EVariant::Standard, kAppLower, userIni, kAppLower + L"BTESSEL_II.Log",
         L"C:\\VARNIK\\Images", no, L"Replace bad lines=1",
         L"Store original TESSEL\u00B2 images=256"},
        {pr::EVariant::Medical, kAppLower, userIni, kAppLower + L"BTESSEL_II.Log",
         L"C:\\VARNIK\\Images", no, L"Replace bad lines=1",
         L"Store original TESSEL\u00B2 images=256"},
        {pr::EVariant::EmptyImages, kAppLower, userIni, kAppLower + L"BTESSEL_II.Log",
         L"C:\\VARNIK\\Images", no, L"Replace bad lines=1",
         L"Store original TESSEL\u00B2 images=256"},
        // Found through the first "AppPaths" value: the first "Repair" subkey holds no path.
        {pr::EVariant::Wise, pr::kInstallDir, userIni, local + L"\\Logs VI\\BTESSEL_II.Log",
         L"C:\\VARNIK\\Images", yes, L"Replace bad lines=0",
         L"Store original TESSEL\u00B2 images=1"},
        {pr::EVariant::NoIni, kAppLower, L"", kAppLower + L"BTESSEL_II.Log", L"", L"",
         L"Replace bad lines=0", L"Store original TESSEL\u00B2 images=0"},
        {pr::EVariant::None, L"", L"", L"", L"", L"", L"Replace bad lines=0",
         L"Store original TESSEL\u00B2 images=0"},
    };
    for (const auto& c : cases) {
        Install(c.m_eVariant);
        const int v = static_cast<int>(c.m_eVariant);
        std::wstring app, ini, log, images;
        EXPECT_EQ(FindImagingAppDir(app), !c.m_strApp.empty()) << v;
        EXPECT_EQ(app, c.m_strApp) << v;
        EXPECT_EQ(FindImagingIni(ini), !c.m_strIni.empty()) << v;
        EXPECT_EQ(ini, c.m_strIni) << v;
        EXPECT_EQ(FindAcquisitionLog(log), !c.m_strLog.empty()) << v;
        EXPECT_EQ(log, c.m_strLog) << v;
        CRapport rapport;
        EXPECT_EQ(rapport.GetImagesDir(images), !c.m_strImages.empty()) << v;
        EXPECT_EQ(images, c.m_strImages) << v;

        std::wstring a1, a2, a3, c1, c2, c3;
        ReadAcquisitionSettings(a1, a2, a3);
        ReadCaptureSettings(c1, c2, c3);
        EXPECT_EQ(a1, c.m_strAcqMode) << v;
        EXPECT_EQ(a2, L"") << "empty GeneACDC, variant " << v;
        const auto tech = TechSettingsLines(SystemImagingPorts(), ini, false);
        ASSERT_EQ(tech.size(), 19u);
        EXPECT_EQ(tech[6], c.m_strReplace) << v;
        EXPECT_EQ(tech[7], c.m_strStore) << v;

        const auto section =
            IniFileSectionLines(SystemImagingPorts(), c.m_eVariant == pr::EVariant::Medical);
        if (c.m_strIni.empty()) {
            EXPECT_EQ(section, (std::vector<std::wstring>{L"[INI FILE]", L"FileName not found."}))
                << v;
        } else {
            ASSERT_EQ(section.size(), c.m_eVariant == pr::EVariant::Medical ? 11u : 29u) << v;
            EXPECT_EQ(section[1], L"FileName=" + c.m_strIni);
            EXPECT_EQ(section.back(), c.m_eVariant == pr::EVariant::Medical
                                          ? L"Medical version: No technical settings!"
                                          : L"Ignore sensor serial number=0");
        }
    }
}

TEST(PracticeLookups, SharedDllsNameWithSlashesAndCapitals) {
    Install(pr::EVariant::Standard);
    std::wstring folder = L"untouched";
    EXPECT_TRUE(FindAppDirInSharedDlls(folder));
    EXPECT_EQ(folder, kAppLower);
    Install(pr::EVariant::Wise);
    folder = L"untouched";
    EXPECT_FALSE(FindAppDirInSharedDlls(folder));
    EXPECT_EQ(folder, L"untouched");
}

// The scan dialog's part, reduced to running commands and writing lines.
class CScanSink : public IScanSteps {
public:
    CScanSink(std::wstring log, std::wstring report)
        : m_strLog(std::move(log)), m_strReport(std::move(report)) {}
    int ExecuteStep(const SStepRow& row) override {
        m_rows.push_back(row.m_strAction + L"|" + row.m_strStatus + L"|" + row.m_strComment);
        return row.m_strCommand.empty() ? 0
                                        : RunCommand(m_strLog, row.m_strCommand, row.m_bUseProcess);
    }
    void ReportLine(const std::wstring& line) override { AppendReportLine(m_strReport, line); }
    std::vector<std::wstring> m_rows;

private:
    std::wstring m_strLog, m_strReport;
};

struct SScanRun {
    std::wstring m_strWork;
    std::vector<std::wstring> m_log; // Report.log after its header
    std::vector<std::wstring> m_report;
    std::set<std::wstring> m_files; // names in the working folder
    std::vector<std::wstring> m_rows;
};

// The collection steps in the scan's order; the system tools only when asked.
SScanRun RunCollection(bool medical, bool systemTools) {
    SScanRun run;
    const std::wstring root = FreshFolder(L"scan_practice_test");
    run.m_strWork = root + L"\\TMP";
    // An empty images folder probes the root of the current drive: keep it in the prefix.
    SetCurrentDirectoryW(root.c_str());
    CreateDirectoryW(run.m_strWork.c_str(), nullptr);
    const std::wstring log = run.m_strWork + L"\\Report.log";
    const std::wstring txt = run.m_strWork + L"\\Report.txt";
    WriteReportHeader(log);
    WriteReportHeader(txt);
    // Already collected: never overwritten by a direct copy.
    WriteBytes(run.m_strWork + L"\\QMA1.ini", "seed");

    CScanSink sink(log, txt);
    CCollector collector(SystemCollectionFiles(), SystemShellFolders(), sink, run.m_strWork);
    std::wstring app, ini, acqLog, images;
    FindImagingAppDir(app);
    collector.CollectLibraries(app);
    collector.CollectPrograms(app);
    CRapport rapport;
    rapport.GetImagesDir(images);
    if (!images.empty() && images.back() != L'\\')
        images += L'\\';
    collector.TestImagesFolder(images);
    collector.CopyAcquisitionModules();
    FindImagingIni(ini);
    collector.CopySettingsFile(ini);
    FindAcquisitionLog(acqLog);
    collector.CopyAcquisitionLog(acqLog);
    collector.CollectImagesFolder(images, medical);
    collector.CopyInstallerLogs(app);
    collector.CopyUserLogs();
    collector.ExportRegistry();
    if (systemTools) {
        collector.RunSystemInformation();
        collector.RunDirectXDiagnostics();
    }
    const auto logLines = ReportLines(log);
    run.m_log.assign(logLines.begin() + std::min<size_t>(7, logLines.size()), logLines.end());
    run.m_report = ReportLines(txt);
    run.m_rows = sink.m_rows;
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((run.m_strWork + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                run.m_files.insert(data.cFileName);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    return run;
}

// The names only one side has, for a readable failure.
std::wstring Difference(const std::set<std::wstring>& got, const std::set<std::wstring>& want) {
    std::wstring text;
    for (const auto& name : got)
        if (!want.count(name))
            text += L" +" + name;
    for (const auto& name : want)
        if (!got.count(name))
            text += L" -" + name;
    return text;
}

std::set<std::wstring> StandardCollection() {
    std::set<std::wstring> files = {
        L"Report.txt", L"Report.log", L"Varnik Imaging.ini", L"BTESSEL_II.Log", L"Dir-Images.out",
        L"Install.log", L"logDS2.log", L"Enum.reg", L"Varnik.reg", L"Belmar.reg", L"OPT2014.log",
        L"OPT2015.log", L"SECU2015.LOG", L"SECU2019.LOG", L"LastAcqTII.osc",
        // Yearly logs up to the current year.
        L"OPT2021.log", L"SECU2021.LOG"};
    for (const wchar_t* module : pr::kModules)
        files.insert(std::wstring(module) + L".ini");
    for (const auto* list : {&pr::kModuleLogs})
        for (const wchar_t* name : *list)
            files.insert(name);
    for (const wchar_t* name : pr::kUserLogs)
        files.insert(name);
    for (const wchar_t* name : pr::kIndexFiles)
        files.insert(name);
    return files;
}

TEST(PracticeCollection, StandardPracticeEveryFileAndEveryCommandLine) {
    Install(pr::EVariant::Standard);
    SetCommandTimeLimit(3000);
    const SScanRun run = RunCollection(false, true);
    SetCommandTimeLimit(kDefaultCommandLimitMs);
    const std::wstring& w = run.m_strWork;
    const std::wstring app = kAppLower;
    const std::wstring local = LocalAppData();

    auto expected = StandardCollection();
    expected.insert(L"DxDiag.txt");
    EXPECT_EQ(run.m_files, expected) << Difference(run.m_files, expected);
    EXPECT_EQ(ReadBytes(w + L"\\QMA1.ini"), "seed") << "first copy wins";
    EXPECT_EQ(ReadBytes(w + L"\\QMB2.ini"), ReadBytes(local + L"\\QMB2\\QMB2.ini"));
    EXPECT_EQ(run.m_files.count(L"QMA1_20141105.log"), 0u)
        << "the Old subfolder of Logs QMW is not entered";

    std::vector<std::wstring> commands = {
        L"0 = copy \"" + local + L"\\VARNIK-Imaging Pro\\Varnik Imaging.ini\" \"" + w + L"\"",
        L"0 = copy \"" + app + L"BTESSEL_II.Log\" \"" + w + L"\"",
        L"0 = dir \"C:\\VARNIK\\Images\\\" /s > \"" + w + L"\\Dir-Images.out\"",
        L"0 = copy \"" + app + L"Install.log\" \"" + w + L"\"",
        L"0 = copy \"" + app + L"logDS2.log\" \"" + w + L"\"",
    };
    // User logs in the file system's order: compare as a set below.
    const size_t userFirst = commands.size();
    for (const wchar_t* name : pr::kUserLogs)
        commands.push_back(L"0 = copy \"" + local + L"\\Logs VI\\" + name + L"\" \"" + w + L"\"");
    std::wstring common, system;
    SystemShellFolders().ProgramFilesCommon(common);
    SystemShellFolders().SystemFolder(system);
    const std::wstring nfo = L" /nfo \"" + w + L"\\MsInfo.nfo\"";
    for (const std::wstring& line : {
             L"0 = regedit /E \"" + w +
                 L"\\Enum.reg\" \"HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\ENUM\"",
             L"0 = regedit /E \"" + w + L"\\Varnik.reg\" \"HKEY_CURRENT_USER\\SOFTWARE\\VARNIK\"",
             L"0 = regedit /E \"" + w +
                 L"\\Belmar.reg\" \"HKEY_CURRENT_USER\\SOFTWARE\\VARNIK - REZAZEVEVID\"",
             // No such program in Wine's common files; its own one never ends.
             L"2 = " + common + L"\\Microsoft Shared\\MSInfo\\msinfo32.exe" + nfo,
             L"258 = " + system + L"\\msinfo32.exe" + nfo,
             L"258 = msinfo32.exe" + nfo,
             L"0 = dxdiag.exe /t " + w + L"\\DxDiag.txt",
         })
        commands.push_back(line);
    ASSERT_EQ(run.m_log.size(), commands.size());
    auto sortedUser = [&](std::vector<std::wstring> lines) {
        std::sort(lines.begin() + userFirst, lines.begin() + userFirst + std::size(pr::kUserLogs));
        return lines;
    };
    EXPECT_EQ(sortedUser(run.m_log), sortedUser(commands));

    EXPECT_NE(ReadBytes(w + L"\\Dir-Images.out").find("0003.SPV"), std::string::npos);
    EXPECT_NE(ReadBytes(w + L"\\Varnik.reg").find("L\0a\0s\0t\0P\0a\0t\0i\0e\0n\0t", 0, 21),
              std::string::npos);
    EXPECT_NE(ReadBytes(w + L"\\Belmar.reg").find("C\0O\0M\0004", 0, 7), std::string::npos);
    EXPECT_GT(ReadBytes(w + L"\\Enum.reg").size(), 1000u);
    EXPECT_NE(ReadBytes(w + L"\\DxDiag.txt").find("System Information"), std::string::npos);

    // The report's sections of these steps.
    const auto& r = run.m_report;
    auto has = [&](const std::wstring& line) {
        return std::find(r.begin(), r.end(), line) != r.end();
    };
    for (const auto& lib : pr::kLibraries)
        EXPECT_TRUE(has(app + lib.m_pszName + L"=" + lib.m_pszVersion))
            << std::wstring(lib.m_pszName).size();
    EXPECT_TRUE(has(app + L"VARNIK Imaging.exe=" + pr::kImagingVersion));
    EXPECT_TRUE(has(app + L"Pardo.exe=" + pr::kPardoVersion));
    EXPECT_TRUE(has(L"Path C:\\VARNIK\\Images\\ => RW=OK"));
    EXPECT_TRUE(std::find(run.m_rows.begin(), run.m_rows.end(),
                          L"DLL Scan complete|OK|Found: " +
                              std::to_wstring(std::size(pr::kLibraries)) + L" files") !=
                run.m_rows.end());
    EXPECT_TRUE(std::find(run.m_rows.begin(), run.m_rows.end(),
                          L"|Failed|Not found: msinfo32.exe") != run.m_rows.end());
}

TEST(PracticeCollection, FilesFollowTheirConditions) {
    struct SCase {
        pr::EVariant m_eVariant;
        std::vector<std::wstring> m_absent;  // of the standard collection
        std::vector<std::wstring> m_present; // beyond it
    };
    std::vector<std::wstring> imagesFiles = {
        L"Dir-Images.out", L"LastAcqTII.osc",     L"OPT2014.log", L"OPT2015.log", L"SECU2015.LOG",
        L"SECU2019.LOG",   L"Varnik Imaging.ini", L"OPT2021.log", L"SECU2021.LOG"};
    for (const wchar_t* name : pr::kIndexFiles)
        imagesFiles.push_back(name);
    auto emptyAbsent = imagesFiles;
    emptyAbsent.erase(std::find(emptyAbsent.begin(), emptyAbsent.end(), L"Dir-Images.out"));
    emptyAbsent.erase(std::find(emptyAbsent.begin(), emptyAbsent.end(), L"Varnik Imaging.ini"));
    const SCase cases[] = {
        {pr::EVariant::Medical, {L"LastAcqTII.osc"}, {}},
        {pr::EVariant::EmptyImages, emptyAbsent, {}},
        {pr::EVariant::NoIni, imagesFiles, {}},
        {pr::EVariant::None,
         [&] {
             auto all = StandardCollection();
             all.erase(L"Report.txt");
             all.erase(L"Report.log");
             all.erase(L"Enum.reg");
             all.erase(L"QMA1.ini"); // the seed
             return std::vector<std::wstring>(all.begin(), all.end());
         }(),
         {}},
    };
    for (const auto& c : cases) {
        Install(c.m_eVariant);
        const SScanRun run = RunCollection(c.m_eVariant == pr::EVariant::Medical, false);
        auto expected = StandardCollection();
        for (const auto& name : c.m_absent)
            expected.erase(name);
        EXPECT_EQ(run.m_files, expected)
            << static_cast<int>(c.m_eVariant) << Difference(run.m_files, expected);
        // A lookup that found nothing still runs its copy, with empty quotes.
        const std::wstring emptyCopy = L"copy \"\" \"" + run.m_strWork + L"\"";
        const bool noIni =
            c.m_eVariant == pr::EVariant::NoIni || c.m_eVariant == pr::EVariant::None;
        EXPECT_EQ(std::count_if(run.m_log.begin(), run.m_log.end(),
                                [&](const std::wstring& l) {
                                    return l.find(L" = " + emptyCopy) != std::wstring::npos;
                                }),
                  c.m_eVariant == pr::EVariant::None ? 2
                  : noIni                            ? 1
                                                     : 0)
            << static_cast<int>(c.m_eVariant);
        const bool failedImagesRow =
            std::find(run.m_rows.begin(), run.m_rows.end(), L"Images Directory|Failed|Not found") !=
            run.m_rows.end();
        EXPECT_EQ(failedImagesRow, noIni) << static_cast<int>(c.m_eVariant);
    }
}

} // namespace
