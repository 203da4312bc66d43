#pragma once
// The calibration source of the server: the ".FFC" named after the sensor's
// identity beside the server, else the archive fetched from the sensor's
// memory and unpacked by "UnRAR.exe". Every step that fails shows its
// message and leaves the image uncorrected.
#include "calibration_source.h"
#include "direct_slots.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace torvex {

// A file being written; closed when destroyed.
class IArchiveFile {
public:
    virtual ~IArchiveFile() = default;
    // The number of bytes written; fewer than nSize when writing failed.
    virtual size_t Write(const uint8_t* pData, size_t nSize) = 0;
    // Sets the file's end at nSize bytes; false when that failed.
    virtual bool Cut(uint64_t nSize) = 0;
};

struct SFoundFile {
    std::string m_strName;   // file name only, no folder
    uint64_t m_nCreated = 0; // creation time, larger is later
};

enum class EFileRead {
    Ok,
    CannotOpen,
    Short, // a read failed, came back short, or the file is larger than the limit
};

// The file system as the store sees it. Paths are full paths in the ANSI
// code page; folders end in a backslash.
class ICalibrationFiles {
public:
    virtual ~ICalibrationFiles() = default;
    // The folder of the server's executable.
    virtual std::string ServerFolder() = 0;
    virtual bool Exists(const std::string& strPath) = 0;
    // The whole file into bytes; a file of more than nLimit bytes reads Short.
    virtual EFileRead ReadWhole(const std::string& strPath, size_t nLimit,
                                std::vector<uint8_t>& bytes) = 0;
    // Write access, others may read, an existing file is replaced; null when
    // the file cannot be created.
    virtual std::unique_ptr<IArchiveFile> Create(const std::string& strPath) = 0;
    virtual bool Delete(const std::string& strPath) = 0;
    // A new empty folder; 0 or the platform's error code (an existing one
    // is an error).
    virtual uint32_t MakeFolder(const std::string& strFolder) = 0;
    // The folder with everything in it; nothing happens when it is absent.
    virtual void RemoveFolder(const std::string& strFolder) = 0;
    // The files of strFolder that match strMask. 0 when the search ran to
    // its end; else the platform's code of the call that failed: with no
    // file found that is the first search's code, otherwise a later one's
    // (found then holds the files seen before it).
    virtual uint32_t FindFiles(const std::string& strFolder, const std::string& strMask,
                               std::vector<SFoundFile>& found) = 0;
    // A move that never replaces an existing strTo.
    virtual bool Move(const std::string& strFrom, const std::string& strTo) = 0;
};

class IProcessRunner {
public:
    virtual ~IProcessRunner() = default;
    // Starts strApplication with strCommandLine (default start-up settings)
    // and waits for its end without limit. 0 with its exit code, or the
    // platform's code when it could not be started.
    virtual uint32_t RunAndWait(const std::string& strApplication,
                                const std::string& strCommandLine, uint32_t& nExitCode) = 0;
};

class IMessageBoxes {
public:
    virtual ~IMessageBoxes() = default;
    // A modal message with an OK button; returns when it is closed.
    virtual void Show(const std::string& strText, const std::string& strCaption) = 0;
};

constexpr const char* kCaptionError = "ERROR";
constexpr const char* kCaptionInfo = "Info";
constexpr const char* kUnrarName = "UnRAR.exe";
// Larger than any sensor's calibration: 128 header bytes and one byte per pixel.
constexpr size_t kCalibrationFileLimit = 64u << 20;
// The largest archive the store fetches from a sensor.
constexpr uint32_t kArchiveSizeLimit = 32u << 20;
constexpr uint32_t kArchiveMagic = 42;

// An identity usable as a file name in the server's folder: printable, no
// path or wildcard characters, no device name, no trailing dot or blank.
bool IsPlainFileName(const std::string& strName);

class CCalibrationStore final : public ICalibrationSource {
public:
    CCalibrationStore(IDirectSlots& slots, ICalibrationFiles& files, IProcessRunner& runner,
                      IMessageBoxes& messages);

    std::optional<SCalibration> CalibrationFor(int nSlot) override;

private:
    struct SNames {
        std::string m_strFolder;  // the server's, ending in a backslash
        std::string m_strFile;    // "<identity>.FFC"
        std::string m_strArchive; // "<identity>.FFC.RAR"
        std::string m_strUnpack;  // fresh folder UnRAR extracts into
    };

    // The archive from the sensor's memory into m_strArchive; false when
    // there is none (any partial file is deleted).
    bool Fetch(int nSlot, uint16_t nPageLength, const std::string& strArchive);
    // UnRAR into the fresh folder, and its ".FFC" to m_strFile.
    void Unpack(const SNames& names);
    std::optional<SCalibration> ReadFile(const std::string& strPath);
    void Info(const char* pFormat, uint32_t nCode);

    IDirectSlots& m_slots;
    ICalibrationFiles& m_files;
    IProcessRunner& m_runner;
    IMessageBoxes& m_messages;
};

} // namespace torvex
