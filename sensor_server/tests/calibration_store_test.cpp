// The calibration store over a simulated sensor and a recording model of
// the file system, the UnRAR run and the message boxes.
#include "calibration_store.h"
#include "direct_memory.h"
#include "direct_slots.h"
#include "rar_reader.h"
#include "rar_writer.h"
#include "sim_config.h"
#include "simulation.h"
#include "status_codes.h"
#include "unrar_command.h"
#include "usb_sim.h"
#include "virtual_clock.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

using namespace torvex;
using namespace torvex::sim;

namespace {

constexpr const char* kFolder = "C:\\srv\\";
constexpr const char* kIdentity = "TS2-1-00071"; // the simulator's "TS2-1-00071;R3": pages of 14
constexpr const char* kFile = "C:\\srv\\TS2-1-00071.FFC";
constexpr const char* kArchive = "C:\\srv\\TS2-1-00071.FFC.RAR";
constexpr const char* kUnpack = "C:\\srv\\TS2-1-00071.FFC.UNRAR\\";
constexpr uint32_t kFileNotFound = 2;

std::string ParentOf(const std::string& strPath) {
    return strPath.substr(0, strPath.rfind('\\') + 1);
}

class CFakeFiles final : public ICalibrationFiles {
public:
    struct SFile {
        std::vector<uint8_t> m_bytes;
        uint64_t m_nCreated = 0;
    };

    void Put(const std::string& strPath, std::vector<uint8_t> bytes) {
        m_files[strPath] = SFile{std::move(bytes), ++m_nClock};
    }

    std::string ServerFolder() override { return kFolder; }
    bool Exists(const std::string& strPath) override { return m_files.count(strPath) > 0; }
    EFileRead ReadWhole(const std::string& strPath, size_t nLimit,
                        std::vector<uint8_t>& bytes) override {
        m_reads.push_back(strPath);
        auto it = m_files.find(strPath);
        if (it == m_files.end() || m_bOpenFails)
            return EFileRead::CannotOpen;
        if (m_bReadShort || it->second.m_bytes.size() > nLimit)
            return EFileRead::Short;
        bytes = it->second.m_bytes;
        return EFileRead::Ok;
    }
    std::unique_ptr<IArchiveFile> Create(const std::string& strPath) override;
    bool Delete(const std::string& strPath) override {
        m_deleted.push_back(strPath);
        return m_files.erase(strPath) > 0;
    }
    uint32_t MakeFolder(const std::string& strFolder) override {
        if (m_nFolderCode != 0 || !m_folders.insert(strFolder).second)
            return m_nFolderCode != 0 ? m_nFolderCode : 183;
        return 0;
    }
    void RemoveFolder(const std::string& strFolder) override {
        for (auto it = m_files.begin(); it != m_files.end();)
            it = it->first.compare(0, strFolder.size(), strFolder) == 0 ? m_files.erase(it) : ++it;
        m_folders.erase(strFolder);
    }
    uint32_t FindFiles(const std::string& strFolder, const std::string& strMask,
                       std::vector<SFoundFile>& found) override {
        EXPECT_EQ(strMask, "*.FFC");
        found.clear();
        for (const auto& [path, file] : m_files) {
            if (ParentOf(path) == strFolder && path.size() > 4 &&
                path.compare(path.size() - 4, 4, ".FFC") == 0)
                found.push_back(SFoundFile{path.substr(strFolder.size()), file.m_nCreated});
        }
        if (found.empty())
            return kFileNotFound;
        return m_nFindEndCode;
    }
    bool Move(const std::string& strFrom, const std::string& strTo) override {
        m_moves.push_back(strFrom + " -> " + strTo);
        if (m_files.count(strTo) || !m_files.count(strFrom))
            return false;
        m_files[strTo] = m_files[strFrom];
        m_files.erase(strFrom);
        return true;
    }

    std::map<std::string, SFile> m_files;
    std::set<std::string> m_folders{kFolder};
    uint64_t m_nClock = 0;
    bool m_bCreateFails = false;
    size_t m_nWriteLimit = SIZE_MAX; // bytes the disk takes
    bool m_bOpenFails = false;
    bool m_bReadShort = false;
    uint32_t m_nFolderCode = 0;
    uint32_t m_nFindEndCode = 0;
    std::vector<std::string> m_reads, m_deleted, m_moves, m_created;
};

class CFakeArchiveFile final : public IArchiveFile {
public:
    CFakeArchiveFile(CFakeFiles& files, std::string strPath)
        : m_files(files), m_strPath(std::move(strPath)) {}
    size_t Write(const uint8_t* pData, size_t nSize) override {
        std::vector<uint8_t>& bytes = m_files.m_files[m_strPath].m_bytes;
        const size_t n =
            std::min(nSize, m_files.m_nWriteLimit - std::min(m_files.m_nWriteLimit, bytes.size()));
        bytes.insert(bytes.end(), pData, pData + n);
        return n;
    }
    bool Cut(uint64_t nSize) override {
        m_files.m_files[m_strPath].m_bytes.resize(static_cast<size_t>(nSize));
        return true;
    }

private:
    CFakeFiles& m_files;
    std::string m_strPath;
};

std::unique_ptr<IArchiveFile> CFakeFiles::Create(const std::string& strPath) {
    m_created.push_back(strPath);
    if (m_bCreateFails)
        return nullptr;
    Put(strPath, {});
    return std::make_unique<CFakeArchiveFile>(*this, strPath);
}

// Runs like the stand-in: the archive's stored entries into the folder.
class CFakeRunner final : public IProcessRunner {
public:
    explicit CFakeRunner(CFakeFiles& files) : m_files(files) {}
    uint32_t RunAndWait(const std::string& strApplication, const std::string& strCommandLine,
                        uint32_t& nExitCode) override {
        m_runs.push_back(strApplication + " | " + strCommandLine);
        if (m_nStartCode != 0)
            return m_nStartCode;
        nExitCode = Extract(strCommandLine);
        if (m_nForcedExit != 0)
            nExitCode = m_nForcedExit;
        return 0;
    }

    uint32_t Extract(const std::string& strCommandLine) {
        const auto command = ostrel::rar::ParseUnrarCommand(strCommandLine);
        if (!command || !m_files.Exists(command->m_strArchive) ||
            !m_files.m_folders.count(command->m_strDestination))
            return 7;
        const std::vector<uint8_t> archive = m_files.m_files[command->m_strArchive].m_bytes;
        std::vector<ostrel::rar::SRarEntry> entries;
        if (ostrel::rar::ReadRar(archive.data(), archive.size(), entries) !=
            ostrel::rar::ERarError::None)
            return 3;
        for (const auto& entry : entries) {
            auto at = archive.begin() + static_cast<std::ptrdiff_t>(entry.m_nDataOffset);
            m_files.Put(
                command->m_strDestination + ostrel::rar::PlainEntryName(entry.m_strName),
                std::vector<uint8_t>(at, at + static_cast<std::ptrdiff_t>(entry.m_nDataSize)));
        }
        return 0;
    }

    CFakeFiles& m_files;
    uint32_t m_nStartCode = 0;
    uint32_t m_nForcedExit = 0;
    std::vector<std::string> m_runs;
};

class CFakeMessages final : public IMessageBoxes {
public:
    void Show(const std::string& strText, const std::string& strCaption) override {
        m_shown.push_back(strCaption + ": " + strText);
    }
    std::vector<std::string> m_shown;
};

// A 6 x 4 calibration: D 100, B 100, U 10, and a few indices.
std::vector<uint8_t> SmallCalibration(uint8_t nMark = 20) {
    std::vector<uint8_t> file(128 + 24, 0);
    file[0] = 6;
    file[4] = 4;
    file[8] = 100;
    file[16] = 100;
    file[20] = 10;
    file[128] = nMark;
    file[128 + 7] = 255;
    return file;
}

struct SStoreRig {
    explicit SStoreRig(std::vector<uint8_t> archive = WriteRar({SRarFile{"TS2-1-00071.FFC",
                                                                         SmallCalibration()}})) {
        SDirectSensorSetup setup; // identity "TS2-1-00071;R3", slot 0
        setup.m_memory = CalibrationMemory(archive, 14);
        m_archive = std::move(archive);
        bus.Add(setup);
        EXPECT_EQ(slots.OpenSlot(0), kOk);
    }
    explicit SStoreRig(const SDirectSensorSetup& setup) {
        bus.Add(setup);
        EXPECT_EQ(slots.OpenSlot(0), kOk);
    }
    CDirectSensor& Sensor() { return bus.Sensor(0); }
    std::optional<SCalibration> Calibration() { return store.CalibrationFor(0); }

    std::vector<uint8_t> m_archive;
    CVirtualClock clock;
    CSimUsbBus bus{clock};
    CDirectSlots slots{bus, clock};
    CFakeFiles files;
    CFakeRunner runner{files};
    CFakeMessages messages;
    CCalibrationStore store{slots, files, runner, messages};
};

using CTexts = std::vector<std::string>;

} // namespace

TEST(CalibrationStore, FirstCallFetchesAndUnpacksSecondReadsTheFile) {
    SStoreRig rig;
    const auto first = rig.Calibration();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->m_nWidth, 6u);
    EXPECT_EQ(first->m_nNeutral, 10);
    EXPECT_EQ(first->m_indices[0], 20);
    EXPECT_EQ(first->m_indices[7], 255);
    EXPECT_EQ(rig.messages.m_shown, CTexts{});
    // The archive is cut to its size and stays; the unpack folder does not.
    EXPECT_EQ(rig.files.m_files.at(kArchive).m_bytes, rig.m_archive);
    EXPECT_EQ(rig.files.m_files.at(kFile).m_bytes, SmallCalibration());
    EXPECT_EQ(rig.files.m_folders.count(kUnpack), 0u);
    EXPECT_EQ(rig.runner.m_runs,
              CTexts{"C:\\srv\\UnRAR.exe | \"C:\\srv\\UnRAR.exe\" e -y "
                     "\"C:\\srv\\TS2-1-00071.FFC.RAR\" *.* \"C:\\srv\\TS2-1-00071.FFC.UNRAR\\\""});
    EXPECT_EQ(
        rig.files.m_moves,
        CTexts{"C:\\srv\\TS2-1-00071.FFC.UNRAR\\TS2-1-00071.FFC -> C:\\srv\\TS2-1-00071.FFC"});
    EXPECT_EQ(rig.Sensor().LastCode(), 0x8D);
    EXPECT_EQ(rig.Sensor().LastValue(), (rig.m_archive.size() + 13) / 14) << "the last page read";

    const int nRequests = rig.Sensor().RequestCount();
    const auto second = rig.Calibration();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->m_indices, first->m_indices);
    EXPECT_EQ(rig.runner.m_runs.size(), 1u) << "no second unpacking";
    EXPECT_EQ(rig.Sensor().RequestCount(), nRequests + 2) << "only 0x88 and 0x86";
}

TEST(CalibrationStore, AnArchiveBesideTheServerIsUnpackedWithoutFetching) {
    SStoreRig rig;
    rig.files.Put(kArchive, WriteRar({SRarFile{"TS2-1-00071.FFC", SmallCalibration(33)}}));
    const int nRequests = rig.Sensor().RequestCount();
    const auto calibration = rig.Calibration();
    ASSERT_TRUE(calibration);
    EXPECT_EQ(calibration->m_indices[0], 33);
    EXPECT_EQ(rig.files.m_created, CTexts{});
    EXPECT_EQ(rig.Sensor().RequestCount(), nRequests + 2) << "only 0x88 and 0x86";
}

TEST(CalibrationStore, OnlyTheUnpackedFileIsUsedAndNothingBesideTheServerIsReplaced) {
    // The archive also carries a file named like the server's own; another
    // sensor's file beside the server and one left in a stale unpack
    // folder are both newer than anything the archive gives.
    SStoreRig rig(WriteRar(
        {SRarFile{"TORVEX.INI", {'x'}}, SRarFile{"sub\\TS2-1-00071.FFC", SmallCalibration(44)}}));
    rig.files.Put("C:\\srv\\TORVEX.INI", {'m', 'i', 'n', 'e'});
    rig.files.m_folders.insert(kUnpack);
    rig.files.Put(std::string(kUnpack) + "STALE.FFC", SmallCalibration(66));
    rig.files.m_nClock = 1000;
    rig.files.Put("C:\\srv\\TS2-2-00072.FFC", SmallCalibration(55));
    const auto calibration = rig.Calibration();
    ASSERT_TRUE(calibration);
    EXPECT_EQ(calibration->m_indices[0], 44);
    EXPECT_EQ(rig.files.m_files.at("C:\\srv\\TORVEX.INI").m_bytes,
              (std::vector<uint8_t>{'m', 'i', 'n', 'e'}));
    EXPECT_EQ(rig.files.m_files.at("C:\\srv\\TS2-2-00072.FFC").m_bytes, SmallCalibration(55));
    EXPECT_EQ(rig.files.m_files.count(std::string(kUnpack) + "STALE.FFC"), 0u);
}

TEST(CalibrationStore, TheLatestOfSeveralUnpackedFilesIsTaken) {
    SStoreRig rig(
        WriteRar({SRarFile{"A.FFC", SmallCalibration(1)}, SRarFile{"B.FFC", SmallCalibration(2)},
                  SRarFile{"C.FFC", SmallCalibration(3)}}));
    const auto calibration = rig.Calibration();
    ASSERT_TRUE(calibration);
    EXPECT_EQ(calibration->m_indices[0], 3);
}

TEST(CalibrationStore, EveryMessageWithItsCaption) {
    struct Case {
        const char* what;
        std::function<void(SStoreRig&)> setup;
        CTexts shown;
        bool bCalibration;
    } cases[] = {
        {"archive cannot be created",
         [](SStoreRig& r) { r.files.m_bCreateFails = true; },
         {"ERROR: Could not create FFC RAR file", "ERROR: Could not open FFC file"},
         false},
        {"UnRAR cannot start",
         [](SStoreRig& r) { r.runner.m_nStartCode = 2; },
         {"Info: Uncompressing process fail : 2.\r\n", "ERROR: Could not open FFC file"},
         false},
        {"UnRAR fails",
         [](SStoreRig& r) { r.runner.m_nForcedExit = 3; },
         {"Info: Uncompressing process fail : 3.\r\n", "ERROR: Could not open FFC file"},
         false},
        {"unpack folder cannot be made",
         [](SStoreRig& r) { r.files.m_nFolderCode = 5; },
         {"Info: Uncompressing process fail : 5.\r\n", "ERROR: Could not open FFC file"},
         false},
        {"archive without a calibration",
         [](SStoreRig& r) {
             r.files.Put(kArchive, WriteRar({SRarFile{"readme.txt", {'a'}}}));
         },
         {"Info: Unable to retrieve ffc file : 2.\r\n", "ERROR: Could not open FFC file"},
         false},
        {"search ends early",
         [](SStoreRig& r) { r.files.m_nFindEndCode = 21; },
         {"Info: Unable to analyze all ffc file : 21.\r\n"},
         true},
        {"file cannot be opened",
         [](SStoreRig& r) {
             r.files.Put(kFile, SmallCalibration());
             r.files.m_bOpenFails = true;
         },
         {"ERROR: Could not open FFC file"},
         false},
        {"short read",
         [](SStoreRig& r) {
             r.files.Put(kFile, SmallCalibration());
             r.files.m_bReadShort = true;
         },
         {"ERROR: Could not read FFC file"},
         false},
        {"file shorter than its header says",
         [](SStoreRig& r) {
             std::vector<uint8_t> file = SmallCalibration();
             file.pop_back();
             r.files.Put(kFile, file);
         },
         {"ERROR: Could not read FFC file"},
         false},
        {"file shorter than a header",
         [](SStoreRig& r) {
             r.files.Put(kFile, {6, 0, 0, 0});
         },
         {"ERROR: Could not read FFC file"},
         false},
    };
    for (const Case& c : cases) {
        SStoreRig rig;
        c.setup(rig);
        EXPECT_EQ(rig.Calibration().has_value(), c.bCalibration) << c.what;
        EXPECT_EQ(rig.messages.m_shown, c.shown) << c.what;
    }
}

TEST(CalibrationStore, AFailedUnpackingLeavesNoFilesAndFetchesAgainNextTime) {
    SStoreRig rig;
    rig.runner.m_nForcedExit = 3;
    EXPECT_FALSE(rig.Calibration());
    EXPECT_EQ(rig.files.m_files.size(), 0u) << "archive deleted, extracted files removed";
    rig.runner.m_nForcedExit = 0;
    EXPECT_TRUE(rig.Calibration());
    EXPECT_EQ(rig.runner.m_runs.size(), 2u);
}

TEST(CalibrationStore, FetchFailuresLeaveNoArchive) {
    struct Case {
        const char* what;
        std::function<void(SStoreRig&)> setup;
        bool bCreated; // the archive file was begun, then deleted
    } cases[] = {
        {"page 0 fails", [](SStoreRig& r) { r.Sensor().Setup().m_nFailingPage = 0; }, false},
        {"page 0 without 42", [](SStoreRig& r) { r.Sensor().Setup().m_memory[0] = 41; }, false},
        {"size beyond the pages", [](SStoreRig& r) { r.Sensor().Setup().m_memory[8] -= 1; }, false},
        {"size zero",
         [](SStoreRig& r) { std::fill_n(r.Sensor().Setup().m_memory.begin() + 4, 4, 0); }, false},
        {"size beyond any archive",
         [](SStoreRig& r) {
             auto& memory = r.Sensor().Setup().m_memory;
             std::fill_n(memory.begin() + 4, 8, 0x7F);
         },
         false},
        {"a data page fails", [](SStoreRig& r) { r.Sensor().Setup().m_nFailingPage = 3; }, true},
        {"the last data page fails",
         [](SStoreRig& r) {
             r.Sensor().Setup().m_nFailingPage =
                 static_cast<int64_t>((r.m_archive.size() + 13) / 14);
         },
         true},
        {"the disk fills up", [](SStoreRig& r) { r.files.m_nWriteLimit = 30; }, true},
    };
    for (const Case& c : cases) {
        SStoreRig rig;
        c.setup(rig);
        EXPECT_FALSE(rig.Calibration()) << c.what;
        EXPECT_EQ(rig.files.m_created.size(), c.bCreated ? 1u : 0u) << c.what;
        EXPECT_EQ(rig.files.m_files.count(kArchive), 0u) << c.what;
        EXPECT_EQ(rig.runner.m_runs, CTexts{}) << c.what;
        EXPECT_EQ(rig.messages.m_shown, CTexts{"ERROR: Could not open FFC file"}) << c.what;
    }
}

TEST(CalibrationStore, NoIdentityNoCalibrationAndNoMessage) {
    for (int nRequest : {0x88, 0x86}) {
        SStoreRig rig;
        rig.Sensor().AddFault(SDirectFaultRule{EDirectFault::Status, nRequest, 255, 1});
        EXPECT_FALSE(rig.Calibration()) << nRequest;
        EXPECT_EQ(rig.messages.m_shown, CTexts{}) << nRequest;
        EXPECT_EQ(rig.files.m_reads, CTexts{}) << nRequest;
    }
}

TEST(CalibrationStore, AnIdentityThatIsNoPlainFileNameIsSkipped) {
    for (const char* identity :
         {"..\\..\\Windows\\win", "a/b", "C:x", "x*", "x?", "", "CON", "nul.x", "COM1", "lpt9",
          "a.", "a ", " a", "a\tb", "a|b", "a\"b"}) {
        SStoreRig rig;
        rig.Sensor().Setup().m_strIdentity = identity;
        rig.Sensor().Setup().m_memory = CalibrationMemory(rig.m_archive, 16);
        EXPECT_FALSE(rig.Calibration()) << identity;
        EXPECT_EQ(rig.files.m_reads, CTexts{}) << identity;
        EXPECT_EQ(rig.files.m_created, CTexts{}) << identity;
        EXPECT_EQ(rig.messages.m_shown, CTexts{}) << identity;
    }
    for (const char* name : {"TS2-1-00071", "A.B", "CONSOLE", "COM10", "a b", "x-1_2(3)"})
        EXPECT_TRUE(IsPlainFileName(name)) << name;
    EXPECT_FALSE(IsPlainFileName(std::string(201, 'a')));
}

TEST(CalibrationStore, TheSimulatorSwitchPutsArchivesInTheSensorsMemory) {
    CVirtualClock clock;
    CSimulation simulation(ParseSimConfig("direct=85,85;dcal=8x4,-"), clock);
    SStoreRig rig(simulation.UsbBus().Sensor(0).Setup());
    const auto calibration = rig.Calibration();
    ASSERT_TRUE(calibration);
    const std::vector<uint8_t> expected = SampleCalibrationFile(8, 4, 0);
    EXPECT_EQ(calibration->m_indices, std::vector<uint8_t>(expected.begin() + 128, expected.end()));
    EXPECT_EQ(rig.files.m_files.count(kFile), 1u);

    SStoreRig without(simulation.UsbBus().Sensor(1).Setup());
    EXPECT_FALSE(without.Calibration());
    EXPECT_EQ(without.files.m_created, CTexts{}) << "no archive in its memory";

    CSimulation failing(ParseSimConfig("direct=85;dcal=8x4;dcalfail=2"), clock);
    SStoreRig broken(failing.UsbBus().Sensor(0).Setup());
    EXPECT_FALSE(broken.Calibration());
    EXPECT_EQ(broken.files.m_deleted, CTexts{kArchive});
}

TEST(CalibrationStore, EitherVersionByteKeepsAFetchedCalibrationFromTheImage) {
    for (size_t nAt : {22u, 23u}) {
        std::vector<uint8_t> file = SmallCalibration();
        file[nAt] = 1;
        SStoreRig rig(WriteRar({SRarFile{"TS2-1-00071.FFC", file}}));
        const auto calibration = rig.Calibration();
        ASSERT_TRUE(calibration) << nAt;
        std::vector<uint16_t> image(24, 1234);
        EXPECT_EQ(ApplyCalibration(*calibration, 5000, image.data(), 6, 4),
                  ECalibrationFault::OtherVersion)
            << nAt;
        EXPECT_EQ(image, std::vector<uint16_t>(24, 1234)) << nAt;
    }
}
