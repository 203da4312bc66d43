#include "collection.h"

#include "imaging_settings.h"
#include "path_text.h"

#include <ctime>
#include <cwchar>

namespace ostrel {
namespace {

bool IsDotEntry(const std::wstring& name) {
    return name == L"." || name == L"..";
}

void ListEntries(ICollectionFiles& files, const std::wstring& folder, const std::wstring& pattern,
                 FileQueue& queue, bool wantFolders) {
    if (folder.empty())
        return;
    const std::wstring search = folder + pattern;
    const size_t slash = search.rfind(L'\\');
    const std::wstring parent =
        slash == std::wstring::npos ? std::wstring() : search.substr(0, slash + 1);
    for (const auto& entry : files.FindEntries(search)) {
        if (IsDotEntry(entry.m_strName) || entry.m_bDirectory != wantFolders)
            continue;
        queue.push_back(parent + entry.m_strName);
    }
}

std::wstring FoundFilesText(int count) {
    return L"Found: " + std::to_wstring(count) + L" files";
}

const wchar_t* const kModuleNames[] = {L"QMA1", L"QMA2", L"QMB1U", L"QMB1W", L"QMB2", L"QMV"};
const wchar_t* const kIndexFiles[] = {L"PatFile.idx", L"nniFile.idx", L"PATFILE.DAX", L"PAT0.DAX"};
constexpr wchar_t kMsInfoFailed[] = L"Not found: msinfo32.exe";

} // namespace

bool TestReadWrite(ICollectionFiles& files, const std::wstring& folder) {
    // An empty folder would put the probe at the root of the current drive.
    if (folder.empty())
        return false;
    constexpr int kProbeNames = 64;
    for (int n = 0; n < kProbeNames; ++n) {
        const std::wstring probe = folder + L"\\~ostrel-rw-" + std::to_wstring(n) + L".tmp";
        switch (files.CreateProbe(probe)) {
        case EProbeCreate::Exists:
            continue; // someone's file: left alone, try the next name
        case EProbeCreate::Failed:
            return false;
        case EProbeCreate::Created: {
            const bool ok = files.CanOpenForReadShareRead(probe);
            files.RemoveFile(probe);
            return ok;
        }
        }
    }
    return false;
}

int CurrentLocalYear() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    return local ? local->tm_year + 1900 : kFirstLogYear;
}

void ListFolderFiles(ICollectionFiles& files, const std::wstring& folder,
                     const std::wstring& pattern, FileQueue& queue) {
    ListEntries(files, folder, pattern, queue, false);
}

void ListSubfolders(ICollectionFiles& files, const std::wstring& folder,
                    const std::wstring& pattern, FileQueue& queue) {
    ListEntries(files, folder, pattern, queue, true);
}

std::wstring CopyCommand(const std::wstring& file, const std::wstring& work) {
    return L"copy \"" + file + L"\" \"" + work + L"\"";
}

std::wstring ImagesListingCommand(const std::wstring& images, const std::wstring& work) {
    return L"dir \"" + images + L"\" /s > \"" + work + L"\\Dir-Images.out\"";
}

std::vector<std::wstring> RegistryExportCommands(const std::wstring& work) {
    return {
        L"regedit /E \"" + work +
            L"\\Enum.reg\" \"HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\ENUM\"",
        L"regedit /E \"" + work + L"\\Varnik.reg\" \"HKEY_CURRENT_USER\\SOFTWARE\\VARNIK\"",
        L"regedit /E \"" + work +
            L"\\Belmar.reg\" \"HKEY_CURRENT_USER\\SOFTWARE\\VARNIK - REZAZEVEVID\"",
    };
}

std::wstring MsInfoCommand(const std::wstring& program, const std::wstring& work) {
    return program + L" /nfo \"" + work + L"\\MsInfo.nfo\"";
}

std::wstring DxDiagCommand(const std::wstring& work) {
    return L"dxdiag.exe /t " + work + L"\\DxDiag.txt";
}

std::wstring ElapsedTimeText(long long seconds) {
    if (seconds < 0)
        seconds = 0;
    wchar_t buf[64];
    std::swprintf(buf, 64, L"Elapsed time : %02d:%02d:%02d", static_cast<int>(seconds / 3600 % 24),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return buf;
}

CCollector::CCollector(ICollectionFiles& files, IShellFolders& shell, IScanSteps& steps,
                       std::wstring workDir, IWallClock& clock)
    : m_files(files), m_shell(shell), m_steps(steps), m_clock(clock),
      m_strWorkDir(std::move(workDir)), m_nLastYear(CurrentLocalYear()) {}

void CCollector::CopyIntoWork(const std::wstring& source, const std::wstring& name) {
    // The first copy of a name wins; a failed copy leaves no trace.
    m_files.CopyNoOverwrite(source, m_strWorkDir + L"\\" + name);
}

int CCollector::CollectLibraries(const std::wstring& appDir) {
    m_steps.ReportLine(L"");
    m_steps.ReportLine(L"[DLL]");
    FileQueue queue;
    ListFolderFiles(m_files, appDir, L"*.DLL", queue);
    const int count = static_cast<int>(queue.size());
    while (!queue.empty()) {
        const std::wstring path = queue.front();
        queue.pop_front();
        std::wstring version;
        m_files.VersionText(path, version);
        m_steps.ExecuteStep(SStepRow().Action(path).Status(L"OK").Comment(version).Icon(kIconFile));
        m_steps.ReportLine(path + L"=" + version);
    }
    m_steps.ExecuteStep(SStepRow()
                            .Action(L"DLL Scan complete")
                            .Status(L"OK")
                            .Comment(FoundFilesText(count))
                            .Icon(kIconInfo)
                            .Advance());
    return count;
}

void CCollector::CollectPrograms(const std::wstring& appDir) {
    m_steps.ReportLine(L"");
    m_steps.ReportLine(L"[EXE]");
    for (const wchar_t* name : {kImagingProgram, kSecondProgram}) {
        const std::wstring path = appDir + name;
        std::wstring version;
        if (m_files.VersionText(path, version)) {
            m_steps.ExecuteStep(
                SStepRow().Action(path).Status(L"OK").Comment(version).Icon(kIconFile).Advance());
            m_steps.ReportLine(path + L"=" + version);
        } else {
            m_steps.ExecuteStep(SStepRow()
                                    .Action(path)
                                    .Status(L"Failed")
                                    .Comment(L"---")
                                    .Icon(kIconFailed)
                                    .Advance());
            m_steps.ReportLine(path + L"=(failed)");
        }
    }
}

bool CCollector::TestImagesFolder(const std::wstring& imagesDir) {
    m_steps.ReportLine(L"");
    m_steps.ReportLine(L"[TESTS]");
    const bool ok = TestReadWrite(m_files, imagesDir);
    m_steps.ExecuteStep(SStepRow()
                            .Action(L"Testing R/W on " + imagesDir)
                            .Status(ok ? L"OK" : L"Failed")
                            .Icon(ok ? kIconFile : kIconFailed));
    m_steps.ReportLine(L"Path " + imagesDir + (ok ? L" => RW=OK" : L" => RW=(failed)"));
    return ok;
}

void CCollector::CopyAcquisitionModules() {
    std::wstring local;
    if (!m_shell.LocalAppData(local))
        return;
    for (const wchar_t* name : kModuleNames) {
        const std::wstring module = name;
        const std::wstring source = local + L"\\" + module + L"\\" + module + L".ini";
        if (m_files.PathExists(source))
            CopyIntoWork(source, module + L".ini");
    }
    // Files directly in the folder; subfolders are neither copied nor entered.
    const std::wstring logs = local + L"\\Logs QMW\\";
    for (const auto& entry : m_files.FindEntries(logs + L"*.*")) {
        if (IsDotEntry(entry.m_strName) || entry.m_bDirectory)
            continue;
        CopyIntoWork(logs + entry.m_strName, entry.m_strName);
    }
}

void CCollector::CopySettingsFile(const std::wstring& iniPath) {
    m_steps.ExecuteStep(SStepRow()
                            .Command(CopyCommand(iniPath, m_strWorkDir))
                            .Action(L"Copying INI file")
                            .Status(L"OK")
                            .Icon(kIconFile)
                            .Advance());
}

void CCollector::CopyAcquisitionLog(const std::wstring& logPath) {
    m_steps.ExecuteStep(SStepRow()
                            .Command(CopyCommand(logPath, m_strWorkDir))
                            .Action(L"Copying LOG file")
                            .Status(L"OK")
                            .Icon(kIconFile)
                            .Advance());
}

bool CCollector::CollectImagesFolder(const std::wstring& imagesDir, bool medical) {
    if (imagesDir.empty()) {
        m_steps.ExecuteStep(SStepRow()
                                .Action(L"Images Directory")
                                .Status(L"Failed")
                                .Comment(L"Not found")
                                .Icon(kIconFailed));
        return false;
    }
    m_steps.ExecuteStep(SStepRow()
                            .Command(ImagesListingCommand(imagesDir, m_strWorkDir))
                            .Action(L"Collecting files")
                            .Status(L"Processing")
                            .Icon(kIconFile));
    for (const wchar_t* name : kIndexFiles)
        CopyIntoWork(imagesDir + name, name);
    for (int year = kFirstLogYear; year <= m_nLastYear; ++year) {
        const std::wstring y = std::to_wstring(year);
        for (const std::wstring& name : {L"OPT" + y + L".log", L"SECU" + y + L".LOG"}) {
            if (m_files.CanOpenForReadShareRead(imagesDir + name))
                CopyIntoWork(imagesDir + name, name);
        }
    }
    if (!medical)
        CopyIntoWork(imagesDir + L"LastAcqTII.osc", L"LastAcqTII.osc");
    return true;
}

void CCollector::CopyInstallerLogs(const std::wstring& appDir) {
    m_steps.ExecuteStep(SStepRow()
                            .Command(CopyCommand(appDir + L"Install.log", m_strWorkDir))
                            .Action(L"Copying Install.log")
                            .Status(L"OK")
                            .Icon(kIconFile));
    m_steps.ExecuteStep(SStepRow()
                            .Command(CopyCommand(appDir + L"logDS2.log", m_strWorkDir))
                            .Action(L"Copying LogDS2.log")
                            .Status(L"OK")
                            .Icon(kIconFile)
                            .Advance());
}

int CCollector::CopyUserLogs() {
    std::wstring local;
    if (!m_shell.LocalAppData(local))
        return -1;
    FileQueue queue;
    ListFolderFiles(m_files, JoinPath(local, L"Logs VI\\"), L"*.*", queue);
    const int count = static_cast<int>(queue.size());
    while (!queue.empty()) {
        m_steps.ExecuteStep(SStepRow()
                                .Command(CopyCommand(queue.front(), m_strWorkDir))
                                .Status(L"OK")
                                .Icon(kIconFile));
        queue.pop_front();
    }
    m_steps.ExecuteStep(SStepRow()
                            .Action(L"User Logs Scan complete")
                            .Status(L"OK")
                            .Comment(FoundFilesText(count))
                            .Icon(kIconInfo)
                            .Advance());
    return count;
}

void CCollector::ExportRegistry() {
    const auto commands = RegistryExportCommands(m_strWorkDir);
    m_steps.ExecuteStep(SStepRow()
                            .Command(commands[0])
                            .Action(L"Exporting register")
                            .Status(L"Processing")
                            .Icon(kIconProgram));
    m_steps.ExecuteStep(SStepRow().Command(commands[1]).Icon(kIconProgram));
    m_steps.ExecuteStep(SStepRow().Command(commands[2]).Status(L"OK").Icon(kIconProgram).Advance());
}

int CCollector::RunSystemInformation() {
    const long long start = m_clock.NowSeconds();
    int result = -1;
    bool attempted = false;
    std::wstring folder;
    if (m_shell.ProgramFilesCommon(folder)) {
        attempted = true;
        result = m_steps.ExecuteStep(
            SStepRow()
                .Command(MsInfoCommand(folder + L"\\Microsoft Shared\\MSInfo\\msinfo32.exe",
                                       m_strWorkDir))
                .ByProcess()
                .Action(L"Call to " + folder + L"\\MsInfo32")
                .Status(L"Processing")
                .Icon(kIconProgram));
    }
    if ((!attempted || result != 0) && m_shell.SystemFolder(folder)) {
        attempted = true;
        result = m_steps.ExecuteStep(
            SStepRow()
                .Command(MsInfoCommand(folder + L"\\msinfo32.exe", m_strWorkDir))
                .ByProcess()
                .Action(L"Call to " + folder + L"\\MsInfo32")
                .Status(L"Processing")
                .Icon(kIconProgram));
    }
    if (attempted) {
        if (result == 0)
            m_steps.ExecuteStep(SStepRow().Status(L"OK").Icon(kIconInfo).Advance());
        else
            m_steps.ExecuteStep(
                SStepRow().Status(L"Failed").Comment(kMsInfoFailed).Icon(kIconInfo).Advance());
    }
    if (!attempted || result != 0) {
        result = m_steps.ExecuteStep(SStepRow()
                                         .Command(MsInfoCommand(L"msinfo32.exe", m_strWorkDir))
                                         .ByProcess()
                                         .Status(L"Processing")
                                         .Comment(L"Call to MsInfo32")
                                         .Icon(kIconInfo));
        if (result == 0)
            m_steps.ExecuteStep(SStepRow().Status(L"OK").Icon(kIconInfo));
        else
            m_steps.ExecuteStep(
                SStepRow().Status(L"Failed").Comment(kMsInfoFailed).Icon(kIconInfo));
    }
    m_steps.ExecuteStep(SStepRow()
                            .Action(L"msinfo32.exe")
                            .Status(L"Time")
                            .Comment(ElapsedTimeText(m_clock.NowSeconds() - start))
                            .Icon(kIconInfo)
                            .Advance());
    return result;
}

int CCollector::RunDirectXDiagnostics() {
    const long long start = m_clock.NowSeconds();
    const int result = m_steps.ExecuteStep(SStepRow()
                                               .Command(DxDiagCommand(m_strWorkDir))
                                               .ByProcess()
                                               .Action(L"Call to DXDiag")
                                               .Status(L"Processing")
                                               .Icon(kIconProgram));
    m_steps.ExecuteStep(
        SStepRow().Status(result == 0 ? L"OK" : L"Failed").Icon(kIconInfo).Advance());
    m_steps.ExecuteStep(SStepRow()
                            .Action(L"dxdiag.exe")
                            .Status(L"Time")
                            .Comment(ElapsedTimeText(m_clock.NowSeconds() - start))
                            .Icon(kIconInfo)
                            .Advance());
    return result;
}

} // namespace ostrel
