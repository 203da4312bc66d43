#pragma once
// What the scan gathers into the working folder: versions of the imaging
// software's programs, copies of its settings and logs, and the output of a
// few system tools. Each Collect/Copy/Run operation is one step of the scan
// with its progress rows; the rules run on the host through the ports below.
#include "scan_steps.h"
#include "shell_folders.h"
#include "wall_clock.h"

#include <deque>
#include <string>
#include <vector>

namespace ostrel {

using FileQueue = std::deque<std::wstring>;

struct SFindEntry {
    std::wstring m_strName;
    bool m_bDirectory = false;
    bool m_bReparsePoint = false; // a junction or link: searches do not follow it
};

enum class EProbeCreate { Created, Exists, Failed };

class ICollectionFiles {
public:
    virtual ~ICollectionFiles() = default;
    // Entries matching a search pattern (folder + wildcard), "." and ".."
    // included, in the order the file system gives them; empty when none.
    virtual std::vector<SFindEntry> FindEntries(const std::wstring& pattern) = 0;
    // Never overwrites: false when the destination exists or the copy fails.
    virtual bool CopyNoOverwrite(const std::wstring& source, const std::wstring& destination) = 0;
    virtual bool PathExists(const std::wstring& path) = 0;
    // Opened for generic read sharing read access only, existing only; closed
    // again. A file another program is writing does not open.
    virtual bool CanOpenForReadShareRead(const std::wstring& path) = 0;
    // Creates the file only when nothing of that name exists (an existing
    // file is never opened or changed), for read access; closed again.
    virtual EProbeCreate CreateProbe(const std::wstring& path) = 0;
    virtual bool RemoveFile(const std::wstring& path) = 0;
    // Version text without file name, three parts; false without a version resource.
    virtual bool VersionText(const std::wstring& path, std::wstring& text) = 0;
};

// A probe file of a fresh name created in the folder, reopened for reading
// and deleted again; an existing file is never touched. An empty folder
// fails without touching the disk.
bool TestReadWrite(ICollectionFiles& files, const std::wstring& folder);
// Full paths of the files (ListSubfolders: folders) matching folder +
// pattern, appended at the back; "." and ".." never.
void ListFolderFiles(ICollectionFiles& files, const std::wstring& folder,
                     const std::wstring& pattern, FileQueue& queue);
void ListSubfolders(ICollectionFiles& files, const std::wstring& folder,
                    const std::wstring& pattern, FileQueue& queue);

// Command lines, literal apart from the folders and files put in. {work}
// has no trailing backslash; {app} and {images} have one.
std::wstring CopyCommand(const std::wstring& file, const std::wstring& work);
std::wstring ImagesListingCommand(const std::wstring& images, const std::wstring& work);
std::vector<std::wstring> RegistryExportCommands(const std::wstring& work);
std::wstring MsInfoCommand(const std::wstring& program, const std::wstring& work);
std::wstring DxDiagCommand(const std::wstring& work);

// "Elapsed time : %H:%M:%S", hours within the day.
std::wstring ElapsedTimeText(long long seconds);

inline constexpr int kFirstLogYear = 2000;
// The year of the local date: the last year of the yearly files collected.
int CurrentLocalYear();

class CCollector {
public:
    // The clock times the system-information and diagnostics runs.
    CCollector(ICollectionFiles& files, IShellFolders& shell, IScanSteps& steps,
               std::wstring workDir, IWallClock& clock = SystemWallClock());

    // Yearly logs are collected from kFirstLogYear to this year (the current
    // one unless set).
    void SetLastYear(int year) { m_nLastYear = year; }

    // Report "[DLL]": every *.DLL of the installation folder with its
    // version; the number of files listed.
    int CollectLibraries(const std::wstring& appDir);
    // Report "[EXE]": the imaging program and the second program.
    void CollectPrograms(const std::wstring& appDir);
    // Report "[TESTS]": read/write test of the images folder (trailing
    // backslash added by the caller).
    bool TestImagesFolder(const std::wstring& imagesDir);
    // Acquisition-module settings and module logs; no row.
    void CopyAcquisitionModules();
    void CopySettingsFile(const std::wstring& iniPath);
    void CopyAcquisitionLog(const std::wstring& logPath);
    // Listing, index files, yearly logs and, unless medical, the
    // last-acquisition file. With no images folder one failed row only;
    // the result tells whether the folder was collected.
    bool CollectImagesFolder(const std::wstring& imagesDir, bool medical);
    void CopyInstallerLogs(const std::wstring& appDir);
    // The user's "Logs VI" files; the number listed, -1 without local folder.
    int CopyUserLogs();
    void ExportRegistry();
    // Up to three attempts; the result of the last one run.
    int RunSystemInformation();
    int RunDirectXDiagnostics();

private:
    void CopyIntoWork(const std::wstring& source, const std::wstring& name);

    ICollectionFiles& m_files;
    IShellFolders& m_shell;
    IScanSteps& m_steps;
    IWallClock& m_clock;
    std::wstring m_strWorkDir;
    int m_nLastYear;
};

// The machine's own files (Win32; nothing on the host). Its shell folders
// come from SystemShellFolders().
ICollectionFiles& SystemCollectionFiles();

} // namespace ostrel
