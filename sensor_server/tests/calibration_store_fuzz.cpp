// libFuzzer target of the calibration lookup: the input is the sensor's
// memory (page 0 header, pages), unpacked as the stand-in would, and the
// calibration file that comes out of it.
#include "calibration_store.h"
#include "protocol.h"
#include "rar_reader.h"
#include "status_codes.h"
#include "unrar_command.h"

#include <cstring>
#include <map>

using namespace torvex;

namespace {

namespace dp = proto::direct;

// A sensor of identity "S" whose memory is the input, read in pages of the
// input's first byte.
class CMemorySlots final : public IDirectSlots {
public:
    CMemorySlots(const uint8_t* pData, size_t nSize) : m_pData(pData), m_nSize(nSize) {}
    bool HoldsSensor(int) const override { return true; }
    std::string DevicePath(int) const override { return "s"; }
    int OpenSlot(int) override { return kOk; }
    void CloseSlot(int) override {}
    int EnsureSlot(int) override { return kOk; }
    void DropVanished() override {}
    int Request(uint8_t nCode, uint16_t nLength, uint32_t nValue, uint8_t* pBuffer, bool, int,
                std::array<uint8_t, 2>*) override {
        const uint16_t nPage = m_nSize > 0 ? static_cast<uint16_t>(12 + m_pData[0] % 64) : 12;
        if (nCode == dp::kReqSizes && pBuffer && nLength == dp::kSizesSize) {
            pBuffer[2] = static_cast<uint8_t>(nPage >> 8);
            pBuffer[3] = static_cast<uint8_t>(nPage);
            return kOk;
        }
        if (nCode == dp::kReqIdentity && pBuffer) {
            std::memset(pBuffer, 0, nLength);
            pBuffer[0] = 'S';
            return kOk;
        }
        if (nCode == dp::kReqPage && pBuffer) {
            if (++m_nPages > 100000)
                __builtin_trap(); // the store must bound the pages it reads
            const uint64_t nStart = uint64_t{nValue} * nLength + 1;
            for (size_t i = 0; i < nLength; ++i)
                pBuffer[i] = nStart + i < m_nSize ? m_pData[nStart + i] : 0;
            return nStart < m_nSize ? kOk : kDeviceFailed;
        }
        return kDeviceFailed;
    }
    int StatusOf(int, SDeviceStatus&) override { return kOk; }
    int WaitStatus(uint8_t, uint32_t, int) override { return kOk; }

private:
    const uint8_t* m_pData;
    size_t m_nSize;
    int m_nPages = 0;
};

class CMemoryFiles final : public ICalibrationFiles, public IProcessRunner, public IMessageBoxes {
public:
    class CFile final : public IArchiveFile {
    public:
        explicit CFile(std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
        size_t Write(const uint8_t* p, size_t n) override {
            m_bytes.insert(m_bytes.end(), p, p + n);
            return n;
        }
        bool Cut(uint64_t nSize) override {
            if (nSize > m_bytes.size() + (1u << 20))
                __builtin_trap(); // a cut far past the data would pad the archive
            m_bytes.resize(static_cast<size_t>(nSize));
            return true;
        }
        std::vector<uint8_t>& m_bytes;
    };

    std::string ServerFolder() override { return "C:\\s\\"; }
    bool Exists(const std::string& s) override { return m_files.count(s) > 0; }
    EFileRead ReadWhole(const std::string& s, size_t nLimit, std::vector<uint8_t>& b) override {
        if (!m_files.count(s))
            return EFileRead::CannotOpen;
        b = m_files[s];
        return b.size() <= nLimit ? EFileRead::Ok : EFileRead::Short;
    }
    std::unique_ptr<IArchiveFile> Create(const std::string& s) override {
        m_files[s].clear();
        return std::make_unique<CFile>(m_files[s]);
    }
    bool Delete(const std::string& s) override { return m_files.erase(s) > 0; }
    uint32_t MakeFolder(const std::string&) override { return 0; }
    void RemoveFolder(const std::string&) override {}
    uint32_t FindFiles(const std::string& strFolder, const std::string&,
                       std::vector<SFoundFile>& found) override {
        found.clear();
        for (const auto& [path, bytes] : m_files)
            if (path.compare(0, strFolder.size(), strFolder) == 0 &&
                path.size() > strFolder.size() &&
                path.find(".FFC", strFolder.size()) != std::string::npos)
                found.push_back(SFoundFile{path.substr(strFolder.size()), bytes.size()});
        return found.empty() ? 2 : 0;
    }
    bool Move(const std::string& a, const std::string& b) override {
        if (!m_files.count(a) || m_files.count(b))
            return false;
        m_files[b] = m_files[a];
        m_files.erase(a);
        return true;
    }
    uint32_t RunAndWait(const std::string&, const std::string& strLine, uint32_t& nExit) override {
        const auto command = ostrel::rar::ParseUnrarCommand(strLine);
        if (!command)
            __builtin_trap(); // the store's own command line must parse
        const std::vector<uint8_t> archive = m_files[command->m_strArchive];
        std::vector<ostrel::rar::SRarEntry> entries;
        nExit = ostrel::rar::ReadRar(archive.data(), archive.size(), entries) ==
                        ostrel::rar::ERarError::None
                    ? 0
                    : 3;
        for (const auto& e : entries) {
            const std::string strName = ostrel::rar::PlainEntryName(e.m_strName);
            if (!strName.empty())
                m_files[command->m_strDestination + strName].assign(
                    archive.begin() + static_cast<std::ptrdiff_t>(e.m_nDataOffset),
                    archive.begin() + static_cast<std::ptrdiff_t>(e.m_nDataOffset + e.m_nDataSize));
        }
        return 0;
    }
    void Show(const std::string&, const std::string&) override {}

    std::map<std::string, std::vector<uint8_t>> m_files;
};

// Small images only: the sizes come from the input (a width of 0 with a
// height of 2^32 - 1 is no image).
bool SmallImage(const SCalibration& cal) {
    return cal.m_nWidth > 0 && cal.m_nHeight > 0 && cal.m_nWidth <= 4096 && cal.m_nHeight <= 4096 &&
           cal.m_indices.size() <= 4096;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    CMemorySlots slots(pData, nSize);
    CMemoryFiles files;
    CCalibrationStore store(slots, files, files, files);
    if (const auto cal = store.CalibrationFor(0)) {
        if (cal->m_indices.size() != size_t{cal->m_nWidth} * cal->m_nHeight)
            __builtin_trap();
        if (SmallImage(*cal)) {
            std::vector<uint16_t> image(cal->m_indices.size(), 1000);
            (void)ApplyCalibration(*cal, 5000, image.data(), cal->m_nWidth, cal->m_nHeight);
        }
    }
    // The input once more as a calibration file on its own.
    if (const auto cal = ParseCalibration(pData, nSize)) {
        if (SmallImage(*cal)) {
            std::vector<uint16_t> image(cal->m_indices.size(), 16383);
            (void)ApplyCalibration(*cal, nSize, image.data(), cal->m_nWidth, cal->m_nHeight);
        }
    }
    return 0;
}
