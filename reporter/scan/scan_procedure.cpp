#include "scan_procedure.h"

#include "path_text.h"

namespace ostrel {
namespace {

wchar_t Upper(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? c - L'a' + L'A' : c;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return true;
}

// "X:\a\b" or "\\server\share\a": absolute, at least one folder below the
// root, no empty, "." or ".." part, nothing a path may not hold.
bool IsPlainAbsoluteFolder(const std::wstring& path) {
    size_t first = 0;
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')))
        first = 3;
    else if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\')
        first = 2;
    else
        return false;
    if (path.find_first_of(L"/*?\"<>|", 0) != std::wstring::npos ||
        path.find(L':', 2) != std::wstring::npos)
        return false;
    std::vector<std::wstring> parts;
    for (size_t start = first;;) {
        const size_t end = path.find(L'\\', start);
        const std::wstring part = path.substr(start, end - start);
        if (part.empty() || part == L"." || part == L"..")
            return false;
        parts.push_back(part);
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    // A share root is "\\server\share"; below it at least one folder more.
    return first == 3 ? !parts.empty() : parts.size() >= 3;
}

} // namespace

bool IsDeletableWorkFolder(const std::wstring& tmpDir, const std::wstring& localAppData) {
    return IsPlainAbsoluteFolder(localAppData) && IsPlainAbsoluteFolder(tmpDir) &&
           SameText(tmpDir, localAppData + L"\\TMP");
}

std::wstring ArchivePath(const std::wstring& desktop, const std::wstring& date,
                         const std::wstring& tech, const std::wstring& client) {
    // Without a desktop the name alone would land in the drive's root.
    if (desktop.empty())
        return std::wstring();
    return desktop + L"\\" + date + L" - " + SafeFileNamePart(tech) + L"_" +
           SafeFileNamePart(client) + L".zip";
}

std::wstring EndMessageText(bool archiveCreated, const std::wstring& zipPath,
                            const std::wstring& supportEmail) {
    if (archiveCreated)
        return L"Scan complete.\nA ZIP file has been generated on the desktop.\n\n"
               L"Please send this file at: " +
               supportEmail;
    return L"Scan complete.\nThe ZIP file could not be created" +
           (zipPath.empty() ? std::wstring(L" (no desktop folder).")
                            : std::wstring(L":\n") + zipPath) +
           L"\n\nPlease contact support at: " + supportEmail;
}

CScanProcedure::CScanProcedure(const SScanPorts& ports, SScanPaths paths, SIncidentFields fields)
    : m_ports(ports), m_paths(std::move(paths)), m_fields(std::move(fields)) {}

void CScanProcedure::CleanWorkFolder() {
    Step(SStepRow().Action(L"Cleaning old files").Status(L"Processing"));
    if (!IsDeletableWorkFolder(m_paths.m_strTmpDir, m_paths.m_strLocalAppData)) {
        Step(SStepRow().Status(L"Failed").Advance());
        return;
    }
    m_ports.m_shell.DeleteTree(m_paths.m_strTmpDir);
    Step(SStepRow().Status(L"OK").Advance());
}

void CScanProcedure::PrepareWorkFolder() {
    const std::wstring& tmp = m_paths.m_strTmpDir;
    if (TestReadWrite(m_ports.m_files, tmp))
        return;
    if (!tmp.empty() && m_ports.m_shell.CreateFolderTree(tmp))
        return;
    // Everything the report would hold is lost: say so.
    Step(SStepRow()
             .Action(L"Creating working folder")
             .Status(L"Failed")
             .Comment(tmp.empty() ? L"(none)" : tmp)
             .Icon(kIconFailed));
}

std::wstring CScanProcedure::FindInstallation() {
    Line(L"");
    Line(L"[FILES]");
    Step(SStepRow().Action(L"Application Path").Status(L"Scanning..."));
    std::wstring app;
    if (FindImagingAppDir(m_ports.m_imaging, app)) {
        Step(SStepRow().Status(L"OK").Comment(L"Found: " + app).Advance());
        Line(L"AppPath=" + app);
    } else {
        Step(SStepRow().Status(L"Failed").Advance());
        Line(L"AppPath=(failed)");
    }
    return app;
}

void CScanProcedure::WriteForm() {
    Line(L"");
    Line(L"[FORM]");
    std::wstring desktop;
    if (!m_ports.m_shell.DesktopFolder(desktop))
        desktop.clear();
    m_strZipPath = ArchivePath(desktop, m_ports.m_clock.LocalDate(), m_fields.m_strTechName,
                               m_fields.m_strClientName);
    for (const auto& line : FormReportLines(m_fields))
        Line(line);
    Step(SStepRow().Action(L"Inserting Form fields").Status(L"OK").Advance());
}

void CScanProcedure::WriteIniSection() {
    Line(L"");
    for (const auto& line : IniFileSectionLines(m_ports.m_imaging, IsMedicalProduct(m_fields)))
        Line(line);
    std::wstring ini;
    if (FindImagingIni(m_ports.m_imaging, ini))
        Step(SStepRow().Action(L"Inserting INI fields.").Status(L"OK").Advance());
    else
        Step(SStepRow()
                 .Action(L"Inserting INI fields.")
                 .Status(L"Failed")
                 .Comment(L"Not found")
                 .Icon(kIconFailed)
                 .Advance());
}

void CScanProcedure::BuildArchive(bool medical) {
    CArchiveSteps steps(m_ports.m_steps, m_ports.m_files, m_ports.m_archives, m_paths.m_strTmpDir);
    std::unique_ptr<IArchive> archive = steps.CompressFiles(m_strZipPath);
    if (!medical) {
        steps.CompressPatientOscilloscopes(archive.get(), m_strImagesDir);
        steps.CompressOscilloscopes(archive.get(), m_strImagesDir);
        steps.CompressThumbnails(archive.get());
    }
    // Created means closed complete, with its central directory.
    m_bArchiveCreated = archive && archive->Close() == 0;
}

void CScanProcedure::RunScan() {
    const bool medical = IsMedicalProduct(m_fields);
    const std::wstring& tmp = m_paths.m_strTmpDir;
    PrepareWorkFolder();

    SReportHeaderInfo header = m_ports.m_header;
    header.m_strDate = m_ports.m_clock.LocalDate();
    WriteReportHeader(m_ports.m_reportFiles, m_paths.m_strLogFile, header);
    WriteReportHeader(m_ports.m_reportFiles, m_paths.m_strReportFile, header);

    Line(L"");
    Line(L"[DEVICES]");
    for (const auto& line : DeviceTreeLines(m_fields.m_tree))
        Line(line);

    const std::wstring app = FindInstallation();
    CCollector collector(m_ports.m_files, m_ports.m_shellFolders, m_ports.m_steps, tmp,
                         m_ports.m_clock);
    collector.SetLastYear(m_ports.m_clock.LocalYear());
    collector.CollectLibraries(app);
    collector.CollectPrograms(app);

    std::wstring images;
    m_rapport.GetImagesDir(m_ports.m_imaging, images);
    m_strImagesDir = WithTrailingBackslash(images);
    collector.TestImagesFolder(m_strImagesDir);

    WriteForm();
    collector.CopyAcquisitionModules();
    WriteIniSection();

    std::wstring ini, log;
    FindImagingIni(m_ports.m_imaging, ini);
    collector.CopySettingsFile(ini);
    FindAcquisitionLog(m_ports.m_imaging, log);
    collector.CopyAcquisitionLog(log);

    if (collector.CollectImagesFolder(m_strImagesDir, medical) && !medical) {
        const SThumbnailPorts thumbs{m_ports.m_steps, m_ports.m_files, m_ports.m_text,
                                     m_ports.m_reportFiles};
        const int year = m_ports.m_clock.LocalYear();
        if (!BuildThumbnailsFromLog(thumbs, tmp, year, log, m_strImagesDir, m_thumbnails))
            BuildThumbnailsFromIndex(thumbs, tmp, year, m_strImagesDir, m_thumbnails);
    }

    collector.CopyInstallerLogs(app);
    collector.CopyUserLogs();
    collector.ExportRegistry();
    collector.RunSystemInformation();
    collector.RunDirectXDiagnostics();
    BuildArchive(medical);
}

void CScanProcedure::RunAll() {
    const long long start = m_ports.m_clock.NowSeconds();
    CleanWorkFolder();
    RunScan();
    CleanWorkFolder();
    Step(SStepRow()
             .Action(L"Scan complete")
             .Status(L"OK")
             .Comment(ElapsedTimeText(m_ports.m_clock.NowSeconds() - start))
             .Advance());
}

} // namespace ostrel
