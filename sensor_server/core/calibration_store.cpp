#include "calibration_store.h"

#include "byte_reader.h"
#include "direct_identity.h"
#include "protocol.h"
#include "status_codes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace torvex {

namespace dp = proto::direct;

namespace {

constexpr const char* kFileExtension = ".FFC";
constexpr const char* kArchiveExtension = ".RAR";
constexpr const char* kUnpackExtension = ".UNRAR";
constexpr size_t kNameMax = 200; // leaves room for the folder within the path limit

bool IsDeviceName(std::string strBase) {
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (char& c : strBase)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* pDevice : kDevices)
        if (strBase == pDevice)
            return true;
    // COM1..COM9 and LPT1..LPT9
    return strBase.size() == 4 &&
           (strBase.compare(0, 3, "COM") == 0 || strBase.compare(0, 3, "LPT") == 0) &&
           strBase[3] >= '1' && strBase[3] <= '9';
}

} // namespace

bool IsPlainFileName(const std::string& strName) {
    if (strName.empty() || strName.size() > kNameMax)
        return false;
    for (char c : strName) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E || std::string("<>:\"/\\|?*").find(c) != std::string::npos)
            return false;
    }
    // The system drops trailing dots and blanks, and reads "CON.x" as the console.
    if (strName.back() == '.' || strName.back() == ' ' || strName.front() == ' ')
        return false;
    std::string strBase = strName.substr(0, strName.find('.'));
    while (!strBase.empty() && strBase.back() == ' ')
        strBase.pop_back();
    return !IsDeviceName(strBase);
}

CCalibrationStore::CCalibrationStore(IDirectSlots& slots, ICalibrationFiles& files,
                                     IProcessRunner& runner, IMessageBoxes& messages)
    : m_slots(slots), m_files(files), m_runner(runner), m_messages(messages) {}

void CCalibrationStore::Info(const char* pFormat, uint32_t nCode) {
    char text[96];
    std::snprintf(text, sizeof text, pFormat, static_cast<int>(nCode));
    m_messages.Show(text, kCaptionInfo);
}

std::optional<SCalibration> CCalibrationStore::CalibrationFor(int nSlot) {
    std::string strIdentity;
    uint16_t nLength = 0;
    if (ReadDirectIdentity(m_slots, nSlot, strIdentity, nLength) != kOk)
        return std::nullopt;
    // The identity comes from the device: it must not reach another folder or file.
    if (!IsPlainFileName(strIdentity))
        return std::nullopt;

    SNames names;
    names.m_strFolder = m_files.ServerFolder();
    if (names.m_strFolder.empty())
        return std::nullopt; // never the current folder instead
    names.m_strFile = names.m_strFolder + strIdentity + kFileExtension;
    names.m_strArchive = names.m_strFile + kArchiveExtension;
    names.m_strUnpack = names.m_strFile + kUnpackExtension + "\\";

    if (!m_files.Exists(names.m_strFile)) {
        if (m_files.Exists(names.m_strArchive) || Fetch(nSlot, nLength, names.m_strArchive))
            Unpack(names);
    }
    return ReadFile(names.m_strFile);
}

bool CCalibrationStore::Fetch(int nSlot, uint16_t nPageLength, const std::string& strArchive) {
    constexpr size_t kHeaderWords = 3 * 4;
    std::vector<uint8_t> page(static_cast<size_t>(nPageLength) + 1, 0);
    if (m_slots.Request(dp::kReqPage, nPageLength, 0, page.data(), false, nSlot) != kOk)
        return false;
    CByteReader header(page.data(), nPageLength);
    const uint32_t nMagic = header.U32Le(0);
    const uint32_t nSize = header.U32Le(4);
    const uint32_t nCount = header.U32Le(8);
    if (!header.Ok() || nPageLength < kHeaderWords || nMagic != kArchiveMagic)
        return false;
    // Pages that cannot hold the archive would leave zeros in it; the sensor
    // holds no larger archive than this.
    if (nSize == 0 || nSize > kArchiveSizeLimit ||
        static_cast<uint64_t>(nCount) * nPageLength < nSize)
        return false;

    std::unique_ptr<IArchiveFile> pFile = m_files.Create(strArchive);
    if (!pFile) {
        m_messages.Show("Could not create FFC RAR file", kCaptionError);
        return false;
    }
    // Pages past the archive's size would be cut off again: they are not read.
    const uint32_t nNeeded = static_cast<uint32_t>((nSize + nPageLength - 1) / nPageLength);
    bool bOk = true;
    for (uint32_t nPage = 1; bOk && nPage <= nNeeded; ++nPage) {
        std::fill(page.begin(), page.end(), 0);
        bOk = m_slots.Request(dp::kReqPage, nPageLength, nPage, page.data(), false, nSlot) == kOk &&
              pFile->Write(page.data(), nPageLength) == nPageLength;
    }
    bOk = bOk && pFile->Cut(nSize);
    pFile.reset();
    if (!bOk)
        m_files.Delete(strArchive);
    return bOk;
}

void CCalibrationStore::Unpack(const SNames& names) {
    // A fresh folder: only what this archive holds can be chosen, and nothing
    // beside the server is overwritten.
    m_files.RemoveFolder(names.m_strUnpack);
    const uint32_t nFolderCode = m_files.MakeFolder(names.m_strUnpack);
    if (nFolderCode != 0) {
        Info("Uncompressing process fail : %d.\r\n", nFolderCode);
        return;
    }
    const std::string strTool = names.m_strFolder + kUnrarName;
    const std::string strCommand =
        "\"" + strTool + "\" e -y \"" + names.m_strArchive + "\" *.* \"" + names.m_strUnpack + "\"";
    uint32_t nExit = 0;
    const uint32_t nStart = m_runner.RunAndWait(strTool, strCommand, nExit);
    if (nStart != 0) {
        Info("Uncompressing process fail : %d.\r\n", nStart);
    } else if (nExit != 0) {
        // What a failed run left is not trusted; a fresh fetch may mend the archive.
        Info("Uncompressing process fail : %d.\r\n", nExit);
        m_files.Delete(names.m_strArchive);
    } else {
        std::vector<SFoundFile> found;
        const uint32_t nFind = m_files.FindFiles(names.m_strUnpack, "*.FFC", found);
        if (found.empty()) {
            Info("Unable to retrieve ffc file : %d.\r\n", nFind);
        } else {
            if (nFind != 0)
                Info("Unable to analyze all ffc file : %d.\r\n", nFind);
            const auto latest = std::max_element(found.begin(), found.end(),
                                                 [](const SFoundFile& a, const SFoundFile& b) {
                                                     return a.m_nCreated < b.m_nCreated;
                                                 });
            m_files.Move(names.m_strUnpack + latest->m_strName, names.m_strFile);
        }
    }
    m_files.RemoveFolder(names.m_strUnpack);
}

std::optional<SCalibration> CCalibrationStore::ReadFile(const std::string& strPath) {
    std::vector<uint8_t> bytes;
    const EFileRead eRead = m_files.ReadWhole(strPath, kCalibrationFileLimit, bytes);
    if (eRead == EFileRead::CannotOpen) {
        m_messages.Show("Could not open FFC file", kCaptionError);
        return std::nullopt;
    }
    // A file shorter than its header says cannot be applied either.
    std::optional<SCalibration> calibration =
        eRead == EFileRead::Ok ? ParseCalibration(bytes.data(), bytes.size()) : std::nullopt;
    if (!calibration)
        m_messages.Show("Could not read FFC file", kCaptionError);
    return calibration;
}

} // namespace torvex
