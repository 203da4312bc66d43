#pragma once
// What goes into the support archive besides the collected files: the
// thumbnail page of the acquisitions around each sensor-log event (or of the
// last fifty acquisitions), and the four archive steps with their rows.
#include "collection.h"
#include "report_file.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ostrel {

// Text files of the imaging software (index files, the sensor log), read in
// the system's 8-bit code page.
class ITextFiles {
public:
    virtual ~ITextFiles() = default;
    // Lines without their line ends (LF or CR LF); false when the file cannot
    // be opened for reading, lines then empty.
    virtual bool ReadLines(const std::wstring& path, std::vector<std::wstring>& lines) = 0;
};

// One open archive. Results are the ZIP writer's codes; a failed entry is
// skipped, the archive stays valid.
class IArchive {
public:
    virtual ~IArchive() = default;
    virtual int AddFile(const std::wstring& name, const std::wstring& sourcePath) = 0;
    virtual int AddFolder(const std::wstring& name) = 0;
    virtual int Close() = 0;
};

class IArchiveFactory {
public:
    virtual ~IArchiveFactory() = default;
    // Creates or replaces the archive; null when it cannot be created.
    virtual std::unique_ptr<IArchive> Create(const std::wstring& path) = 0;
};

inline constexpr int kThumbnailSlots = 50;
using ThumbnailTable = std::array<std::wstring, kThumbnailSlots>;
inline constexpr int kFirstIndexYear = 2000;

// The image field of an index line: the rest of the line from the start of
// its last non-empty ";" field, when the line has at least two non-empty
// fields; false otherwise.
bool IndexImageField(const std::wstring& line, std::wstring& image);

// A typed name made safe as one file-name component: characters that file
// names do not allow (\ / : * ? " < > | and control characters) become "_",
// trailing dots and spaces are dropped.
std::wstring SafeFileNamePart(const std::wstring& text);

// "Patient_No" + the last two path components joined by "_", made safe as a
// file name so that it cannot leave the thumbnail folder; false for a path
// without a backslash.
bool ThumbnailName(const std::wstring& preview, std::wstring& name);

// "List.html" of the thumbnail folder, written as UTF-16LE at Finish.
class CThumbnailPage {
public:
    CThumbnailPage(IScanSteps& steps, ICollectionFiles& files, IReportFileOps& out,
                   std::wstring workDir);
    // The mkdir row command, then the page's head.
    void Begin();
    // Copies the preview (a relative path is taken below imagesDir) into the
    // folder under its thumbnail name, never overwriting; a cell when copied.
    bool Add(const std::wstring& preview, const std::wstring& imagesDir);
    void Finish();

    std::wstring Folder() const { return m_strWorkDir + L"\\Thumbnails"; }
    const std::wstring& Text() const { return m_strText; }

private:
    IScanSteps& m_steps;
    ICollectionFiles& m_files;
    IReportFileOps& m_out;
    std::wstring m_strWorkDir;
    std::wstring m_strText;
    int m_nCells = 0;
};

struct SThumbnailPorts {
    IScanSteps& m_steps;
    ICollectionFiles& m_files;
    ITextFiles& m_text;
    IReportFileOps& m_page;
};

// The index file ACQ<year>.idx of imagesDir, when it can be opened: copied
// into the working folder (unless a copy is there) and read.
bool ReadIndexFile(const SThumbnailPorts& ports, const std::wstring& workDir,
                   const std::wstring& imagesDir, int year, std::vector<std::wstring>& lines);

// The yearly index files ACQ<year>.idx of imagesDir from kFirstIndexYear to
// lastYear. Each is read once; the result equals re-reading every index file
// for every log line.
bool BuildThumbnailsFromLog(const SThumbnailPorts& ports, const std::wstring& workDir, int lastYear,
                            const std::wstring& logPath, const std::wstring& imagesDir,
                            ThumbnailTable& table);
void BuildThumbnailsFromIndex(const SThumbnailPorts& ports, const std::wstring& workDir,
                              int lastYear, const std::wstring& imagesDir, ThumbnailTable& table);

// Every "image osc.dat" below folder (ending with a backslash), each followed
// by the folders leading to it, innermost first. A folder stops at its first
// such file; reparse points are not entered.
bool FindOscilloscopeFiles(ICollectionFiles& files, const std::wstring& folder, FileQueue& list);

// The four archive steps, each with its rows (icon 3, every row advances).
class CArchiveSteps {
public:
    CArchiveSteps(IScanSteps& steps, ICollectionFiles& files, IArchiveFactory& factory,
                  std::wstring workDir);
    // Creates the archive and adds every file directly in the working folder,
    // in the reverse of the enumeration order; null when not created.
    std::unique_ptr<IArchive> CompressFiles(const std::wstring& zipPath);
    // imagesDir ends with a backslash.
    void CompressPatientOscilloscopes(IArchive* archive, const std::wstring& imagesDir);
    void CompressOscilloscopes(IArchive* archive, const std::wstring& imagesDir);
    void CompressThumbnails(IArchive* archive);

private:
    bool Start(const std::wstring& action, const std::wstring& comment, bool ok);
    void Finish(bool ok);

    IScanSteps& m_steps;
    ICollectionFiles& m_files;
    IArchiveFactory& m_factory;
    std::wstring m_strWorkDir;
};

// The system's text files and ZIP writer (Win32; POSIX files on the host).
ITextFiles& SystemTextFiles();
IArchiveFactory& SystemArchiveFactory();
// The same writer reporting its progress: onProgress runs on the caller's
// thread between chunks and entries of a long compression, so a window can
// keep repainting while the archive is written.
std::unique_ptr<IArchiveFactory> MakeZipArchiveFactory(std::function<void()> onProgress);

} // namespace ostrel
