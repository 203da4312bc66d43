#pragma once
// The whole diagnostic scan as the scan dialog's timer runs it: cleaning the
// working folder, the report, the collection, the archive on the desktop and
// the end row. Portable over the ports below; CScanDlg supplies the real ones.
#include "archive_contents.h"
#include "collection.h"
#include "imaging_settings.h"
#include "incident_fields.h"
#include "report_file.h"
#include "shell_folders.h"
#include "wall_clock.h"

#include <string>

namespace ostrel {

// Shell operations of the scan. Folders without trailing backslash.
class IScanShell {
public:
    virtual ~IScanShell() = default;
    // Deletes the folder with everything in it, nothing to the recycle bin;
    // the outcome is not reported.
    virtual void DeleteTree(const std::wstring& folder) = 0;
    // Creates the folder with its missing parents; false unless it was made.
    virtual bool CreateFolderTree(const std::wstring& folder) = 0;
    // The user's desktop folder (not created); false when the shell has none.
    virtual bool DesktopFolder(std::wstring& folder) = 0;
};

// The wall clock (elapsed times) with the local calendar (archive name,
// report date, the last year of the yearly files).
class IScanClock : public IWallClock {
public:
    // The local date "%Y-%m-%d" and the local year.
    virtual std::wstring LocalDate() = 0;
    virtual int LocalYear() = 0;
};

struct SScanPaths {
    std::wstring m_strLocalAppData; // no trailing backslash, or empty
    std::wstring m_strTmpDir;       // the working folder, "TMP" below it
    std::wstring m_strReportFile;
    std::wstring m_strLogFile;
};

struct SScanPorts {
    IScanSteps& m_steps;           // rows, and Report.txt lines
    IReportFileOps& m_reportFiles; // the report headers and List.html
    SReportHeaderInfo m_header;    // reporter path and version (the date is the clock's)
    ICollectionFiles& m_files;
    IShellFolders& m_shellFolders;
    const SImagingPorts& m_imaging;
    ITextFiles& m_text;
    IArchiveFactory& m_archives;
    IScanShell& m_shell;
    IScanClock& m_clock;
};

// Only the "TMP" folder below the local application data folder may be
// deleted: an absolute path that is not a drive or share root.
bool IsDeletableWorkFolder(const std::wstring& tmpDir, const std::wstring& localAppData);

// desktop + "\" + date + " - " + technician + "_" + client + ".zip", the names
// made safe as file names.
std::wstring ArchivePath(const std::wstring& desktop, const std::wstring& date,
                         const std::wstring& tech, const std::wstring& client);

// The end message: where the archive is, or that it could not be made.
std::wstring EndMessageText(bool archiveCreated, const std::wstring& zipPath,
                            const std::wstring& supportEmail);

class CScanProcedure {
public:
    CScanProcedure(const SScanPorts& ports, SScanPaths paths, SIncidentFields fields);

    // Two rows; deletes the working folder only when that is safe.
    void CleanWorkFolder();
    void RunScan();
    // Clean, scan, clean, then the "Scan complete" row with the elapsed time.
    void RunAll();

    const std::wstring& ZipPath() const { return m_strZipPath; }
    bool ArchiveCreated() const { return m_bArchiveCreated; }
    const ThumbnailTable& Thumbnails() const { return m_thumbnails; }

private:
    void Line(const std::wstring& text) { m_ports.m_steps.ReportLine(text); }
    int Step(const SStepRow& row) { return m_ports.m_steps.ExecuteStep(row); }
    void PrepareWorkFolder();
    std::wstring FindInstallation();
    void WriteForm();
    void WriteIniSection();
    void BuildArchive(bool medical);

    SScanPorts m_ports;
    SScanPaths m_paths;
    SIncidentFields m_fields;
    CRapport m_rapport;
    std::wstring m_strZipPath;
    std::wstring m_strImagesDir; // with trailing backslash, or empty
    ThumbnailTable m_thumbnails;
    bool m_bArchiveCreated = false;
};

} // namespace ostrel
