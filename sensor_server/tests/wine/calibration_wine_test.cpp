// The calibration source over the real Win32 adapters (files, CreateProcess
// of the stand-in UnRAR.exe) and a simulated sensor whose memory holds the
// archive; messages are recorded instead of shown.
#include "calibration_source_win32.h"
#include "direct_memory.h"
#include "direct_slots.h"
#include "module_path.h"
#include "rar_writer.h"
#include "status_codes.h"
#include "usb_sim.h"
#include "virtual_clock.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>

using namespace torvex;
using namespace torvex::sim;

namespace {

std::vector<uint8_t> ReadAll(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& strPath) {
    return ::GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class CCountingRunner final : public IProcessRunner {
public:
    uint32_t RunAndWait(const std::string& strApplication, const std::string& strCommandLine,
                        uint32_t& nExitCode) override {
        ++m_nRuns;
        return m_runner.RunAndWait(strApplication, strCommandLine, nExitCode);
    }
    CWin32ProcessRunner m_runner;
    int m_nRuns = 0;
};

class CRecordedMessages final : public IMessageBoxes {
public:
    void Show(const std::string& strText, const std::string& strCaption) override {
        m_shown.push_back(strCaption + ": " + strText);
    }
    std::vector<std::string> m_shown;
};

// A folder of its own in the temporary folder, with the stand-in beside the "server".
struct SWineRig {
    explicit SWineRig(const char* pName, std::vector<uint8_t> archive, bool bWithUnrar = true) {
        char temp[MAX_PATH + 1] = {};
        ::GetTempPathA(MAX_PATH + 1, temp);
        m_strFolder = std::string(temp) + pName + "\\";
        files.RemoveFolder(m_strFolder);
        EXPECT_EQ(files.MakeFolder(m_strFolder), 0u);
        if (bWithUnrar) {
            const std::string strBin = ostrel::GetRunningModulePathAnsi();
            const std::string strTool = strBin.substr(0, strBin.rfind('\\') + 1) + "UnRAR.exe";
            EXPECT_TRUE(::CopyFileA(strTool.c_str(), (m_strFolder + "UnRAR.exe").c_str(), FALSE))
                << strTool;
        }
        SDirectSensorSetup setup; // "TS2-1-00071;R3": pages of 14 bytes
        setup.m_memory = CalibrationMemory(archive, 14);
        bus.Add(setup);
        EXPECT_EQ(slots.OpenSlot(0), kOk);
    }
    ~SWineRig() { files.RemoveFolder(m_strFolder); }

    std::string m_strFolder;
    CVirtualClock clock;
    CSimUsbBus bus{clock};
    CDirectSlots slots{bus, clock};
    CWin32CalibrationFiles files{std::string()};
    CCountingRunner runner;
    CRecordedMessages messages;
};

std::vector<std::string> Texts(std::initializer_list<const char*> texts) {
    return std::vector<std::string>(texts.begin(), texts.end());
}

} // namespace

TEST(CalibrationWine, FetchedAndUnpackedFirstReadDirectlyAfter) {
    const std::vector<uint8_t> ffc = SampleCalibrationFile(64, 48, 1);
    const std::vector<uint8_t> archive = WriteRar({SRarFile{"TS2-1-00071.FFC", ffc}});
    SWineRig rig("ffc_fetch", archive);
    CWin32CalibrationFiles files(rig.m_strFolder);
    CCalibrationStore store(rig.slots, files, rig.runner, rig.messages);

    const auto first = store.CalibrationFor(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(rig.runner.m_nRuns, 1);
    EXPECT_EQ(rig.messages.m_shown, Texts({}));
    EXPECT_EQ(first->m_nWidth, 64u);
    EXPECT_EQ(first->m_indices, std::vector<uint8_t>(ffc.begin() + 128, ffc.end()));
    EXPECT_EQ(ReadAll(rig.m_strFolder + "TS2-1-00071.FFC.RAR"), archive);
    EXPECT_EQ(ReadAll(rig.m_strFolder + "TS2-1-00071.FFC"), ffc);
    EXPECT_FALSE(Exists(rig.m_strFolder + "TS2-1-00071.FFC.UNRAR")) << "unpack folder removed";

    const int nRequests = rig.bus.Sensor(0).RequestCount();
    const auto second = store.CalibrationFor(0);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->m_indices, first->m_indices);
    EXPECT_EQ(rig.runner.m_nRuns, 1) << "read directly";
    EXPECT_EQ(rig.bus.Sensor(0).RequestCount(), nRequests + 2) << "only the identity";
}

TEST(CalibrationWine, AFailingUnrarLeavesNoCalibration) {
    std::vector<uint8_t> archive =
        WriteRar({SRarFile{"TS2-1-00071.FFC", SampleCalibrationFile(16, 8, 2)}});
    archive[archive.size() - 20] ^= 0x01; // inside the file's bytes: its CRC-32 no longer fits
    SWineRig rig("ffc_badcrc", archive);
    CWin32CalibrationFiles files(rig.m_strFolder);
    CCalibrationStore store(rig.slots, files, rig.runner, rig.messages);
    EXPECT_FALSE(store.CalibrationFor(0));
    EXPECT_EQ(rig.runner.m_nRuns, 1);
    EXPECT_EQ(rig.messages.m_shown, Texts({"Info: Uncompressing process fail : 3.\r\n",
                                           "ERROR: Could not open FFC file"}));
    EXPECT_FALSE(Exists(rig.m_strFolder + "TS2-1-00071.FFC"));
    EXPECT_FALSE(Exists(rig.m_strFolder + "TS2-1-00071.FFC.RAR")) << "fetched again next time";
    EXPECT_FALSE(Exists(rig.m_strFolder + "TS2-1-00071.FFC.UNRAR"));
}

TEST(CalibrationWine, AMissingUnrarIsReportedWithThePlatformsCode) {
    SWineRig rig("ffc_nounrar",
                 WriteRar({SRarFile{"TS2-1-00071.FFC", SampleCalibrationFile(4, 4, 3)}}), false);
    CWin32CalibrationFiles files(rig.m_strFolder);
    CCalibrationStore store(rig.slots, files, rig.runner, rig.messages);
    EXPECT_FALSE(store.CalibrationFor(0));
    EXPECT_EQ(rig.messages.m_shown, Texts({"Info: Uncompressing process fail : 2.\r\n",
                                           "ERROR: Could not open FFC file"}));
    EXPECT_TRUE(Exists(rig.m_strFolder + "TS2-1-00071.FFC.RAR")) << "the archive is kept";
}

TEST(CalibrationWine, StandInExtractsFlatReplacesAndRefusesOtherCommandLines) {
    SWineRig rig("unrar_direct", {});
    const std::string strTool = rig.m_strFolder + "UnRAR.exe";
    const std::string strArchive = rig.m_strFolder + "two files.rar";
    const std::string strOut = rig.m_strFolder + "out dir\\";
    ASSERT_EQ(rig.files.MakeFolder(strOut), 0u);
    const std::vector<uint8_t> archive =
        WriteRar({SRarFile{"deep\\er\\A.FFC", {'a', 'b', 'c'}}, SRarFile{"B.TXT", {}}});
    std::ofstream(strArchive, std::ios::binary)
        .write(reinterpret_cast<const char*>(archive.data()),
               static_cast<std::streamsize>(archive.size()));
    std::ofstream(strOut + "A.FFC") << "old contents";

    const auto run = [&](const std::string& strArguments) {
        uint32_t nExit = 99;
        EXPECT_EQ(rig.runner.RunAndWait(strTool, "\"" + strTool + "\" " + strArguments, nExit), 0u);
        return nExit;
    };
    EXPECT_EQ(run("e -y \"" + strArchive + "\" *.* \"" + strOut + "\""), 0u);
    EXPECT_EQ(ReadAll(strOut + "A.FFC"), (std::vector<uint8_t>{'a', 'b', 'c'}));
    EXPECT_TRUE(Exists(strOut + "B.TXT"));
    EXPECT_FALSE(Exists(strOut + "deep"));
    EXPECT_EQ(run("x -y \"" + strArchive + "\" *.* \"" + strOut + "\""), 7u);
    EXPECT_EQ(run("e -y \"" + rig.m_strFolder + "none.rar\" *.* \"" + strOut + "\""), 6u);
    EXPECT_EQ(run("e -y \"" + strTool + "\" *.* \"" + strOut + "\""), 3u) << "not an archive";
}
