// TORVEX.exe acquiring from simulated direct sensors for a separate client
// process: one image per geometry whose three files equal the plain
// computation from the simulator's frames and the ".FFC" beside the server
// (the real calibration source reads it), a command posted behind
// AcquireImage that is ignored, an arm time-out and a sensor unplugged
// mid-image after which the server still serves, and a calibration fetched
// from the sensor and unpacked by the stand-in UnRAR.exe.
#include "acquisition_reference.h"
#include "calibration_source_win32.h"
#include "direct_memory.h"
#include "server_client.h"
#include "simulation.h"
#include "virtual_clock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace torvex::client;
using namespace torvex::test;

namespace {

std::wstring ServerExe() {
    return OwnFolder() + L"TORVEX.exe";
}

std::string TempFolder() {
    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH + 1, temp);
    return temp;
}

std::vector<uint8_t> ReadBytes(const std::string& strPath) {
    std::vector<uint8_t> data;
    HANDLE h = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return data;
    uint8_t buffer[65536];
    DWORD n = 0;
    while (::ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0)
        data.insert(data.end(), buffer, buffer + n);
    ::CloseHandle(h);
    return data;
}

const char* const kFiles[] = {"LASTACQ2.RAW", "LASTACQ2.OSC", "ACQ1.BMP"};

bool WriteBytes(const std::string& strPath, const std::vector<uint8_t>& bytes) {
    HANDLE h = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD n = 0;
    const bool bOk = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) &&
                     n == bytes.size();
    ::CloseHandle(h);
    return bOk;
}

// The calibration files of the first simulated sensor of each size, beside
// the server, for as long as a test runs.
struct SCalibrationFiles {
    SCalibrationFiles() {
        for (int nSlot = 0; nSlot < 2; ++nSlot) {
            m_files[nSlot] = nSlot == 0 ? torvex::sim::SampleCalibrationFile(1000, 1496, 3)
                                        : torvex::sim::SampleCalibrationFile(1300, 1696, 4);
            EXPECT_TRUE(WriteBytes(Path(nSlot), m_files[nSlot]));
        }
    }
    ~SCalibrationFiles() {
        for (int nSlot = 0; nSlot < 2; ++nSlot)
            ::DeleteFileA(Path(nSlot).c_str());
    }
    static std::string Path(int nSlot) {
        return Narrow(OwnFolder()) + (nSlot == 0 ? "TS2-1-00071.FFC" : "TS2-2-00071.FFC");
    }
    std::vector<uint8_t> m_files[2];
};

} // namespace

TEST(AcquisitionWine, OneImagePerGeometry) {
    const SCalibrationFiles calibration;
    const std::string folder = TempFolder();
    for (int nSlot = 0; nSlot < 2; ++nSlot) {
        SCOPED_TRACE(nSlot);
        for (const char* name : kFiles)
            ::DeleteFileA((folder + name).c_str());
        // The real clock: the window timers run in real time.
        CServerProcess server(ServerExe(), nSlot == 0 ? "direct=85;ddark=1" : "direct=12");
        ASSERT_TRUE(server.Started());
        ASSERT_EQ(server.Send(10, "").m_nError, 0);
        const SAnswer a = server.Send(220);
        ASSERT_TRUE(a.m_bAnswered);
        EXPECT_EQ(a.m_nError, 0);
        EXPECT_EQ(a.m_strResult, folder + "ACQ1.BMP");
        EXPECT_EQ(server.Send(44).m_strResult, folder + "ACQ1.BMP");
        EXPECT_GT(std::stoi(server.Send(45).m_strResult), 0) << "transfer rate";
        EXPECT_EQ(server.Send(222).m_strResult, "5400");

        const SReferenceImage expected =
            ReferenceAcquisition(nSlot, false, calibration.m_files[nSlot]);
        EXPECT_TRUE(ReadBytes(folder + "LASTACQ2.RAW") == ReferenceRawFile(expected));
        const std::vector<uint8_t> osc = ReadBytes(folder + "LASTACQ2.OSC");
        EXPECT_EQ(std::string(osc.begin(), osc.end()), ReferenceOscillogramText(300));
        const std::vector<uint8_t> bmp = ReadBytes(folder + "ACQ1.BMP");
        ASSERT_EQ(bmp.size(), size_t{expected.m_nWidth} * expected.m_nHeight + 1078);
        EXPECT_EQ(bmp[0], 'B');
        EXPECT_TRUE(std::vector<uint8_t>(bmp.begin() + 1078, bmp.end()) == ReferenceGrey(expected));
        server.Stop();
    }
}

// StopAcquisition posted right behind AcquireImage reaches the view while
// the acquisition waits and is ignored: the image comes, and its answer is
// not overwritten afterwards. The exposure comes after 150 polls (1.5 s or
// more), so a client held up between its two posts on a loaded machine still
// posts 35 during the wait.
TEST(AcquisitionWine, CommandBehindAcquireImageIsIgnored) {
    const SCalibrationFiles calibration;
    const std::string trace = TempFolder() + "acq_trace.txt";
    ::DeleteFileA(trace.c_str());
    ::SetEnvironmentVariableA("TORVEX_TRACE", trace.c_str());
    CServerProcess server(ServerExe(), "direct=85;darmpolls=150");
    ::SetEnvironmentVariableA("TORVEX_TRACE", nullptr);
    ASSERT_TRUE(server.Started());
    ASSERT_EQ(server.Send(10, "").m_nError, 0);
    const UINT nMessage = ::RegisterWindowMessageW(L"TORVEX_COMMAND");
    server.Write("TORVEX", "READY", "0");
    ::PostMessageW(server.Window(), nMessage, 220, 0);
    ::PostMessageW(server.Window(), nMessage, 35, 0);
    std::string ready;
    for (int i = 0; i < 150 && ready != "1"; ++i) {
        ::Sleep(100);
        ready = server.Read("TORVEX", "READY", "0");
    }
    ASSERT_EQ(ready, "1");
    ::Sleep(1000);
    EXPECT_EQ(server.Read("TORVEX", "ERROR"), "0");
    EXPECT_EQ(server.Read("TORVEX", "RESULT"), TempFolder() + "ACQ1.BMP");
    const std::vector<uint8_t> lines = ReadBytes(trace);
    const std::string text(lines.begin(), lines.end());
    EXPECT_NE(text.find("35;"), std::string::npos) << "35 reached the view: " << text;
    // The slot is still open: 35 never ran.
    EXPECT_EQ(server.Send(214).m_strResult, "3300;5020;1800;1210");
}

// A sensor that refuses to connect: 220 gives up after its 10 s (on the
// real clock, and on the virtual one, where no device call moves time).
TEST(AcquisitionWine, ArmTimeOutAndTheServerStillServes) {
    for (const char* sim :
         {"direct=85;dfault=status:00:255", "direct=85;dfault=status:00:255;clock=virtual"}) {
        SCOPED_TRACE(sim);
        CServerProcess server(ServerExe(), sim);
        ASSERT_TRUE(server.Started());
        ASSERT_EQ(server.Send(10, "").m_nError, 0);
        const SAnswer a = server.Send(220);
        ASSERT_TRUE(a.m_bAnswered);
        EXPECT_EQ(a.m_nError, 1460);
        EXPECT_EQ(a.m_strResult, "");
        EXPECT_EQ(server.Send(214).m_strResult, "3300;5020;1800;1210");
        EXPECT_EQ(server.Send(42).m_strResult, "0;0");
        server.Stop();
    }
}

// The sensor is unplugged halfway through its first image: 220 answers the
// failed fetch, no file of the half image is written, and the server goes
// on serving, without the sensor.
TEST(AcquisitionWine, SensorGoneDuringTheImageTransfer) {
    const std::string folder = TempFolder();
    for (const char* name : kFiles)
        ::DeleteFileA((folder + name).c_str());
    CServerProcess server(ServerExe(), "direct=85;dgone=1");
    ASSERT_TRUE(server.Started());
    ASSERT_EQ(server.Send(10, "").m_nError, 0);
    const SAnswer a = server.Send(220);
    ASSERT_TRUE(a.m_bAnswered);
    EXPECT_EQ(a.m_nError, 21);
    EXPECT_EQ(a.m_strResult, "");
    for (const char* name : kFiles)
        EXPECT_EQ(::GetFileAttributesA((folder + name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
    EXPECT_EQ(server.Send(220).m_nError, 10) << "no direct sensor any more";
    EXPECT_EQ(server.Send(10, "").m_nError, 1168);
    server.Stop();
}

namespace {

// Message boxes (dialogs of the server's process): their caption and text,
// each closed so that the server goes on.
std::vector<std::string> CloseMessageBoxes(DWORD dwProcess) {
    struct SSearch {
        DWORD m_dwProcess;
        std::vector<HWND> m_boxes;
    } search{dwProcess, {}};
    ::EnumWindows(
        [](HWND h, LPARAM l) -> BOOL {
            auto* s = reinterpret_cast<SSearch*>(l);
            char cls[32] = {};
            DWORD pid = 0;
            ::GetClassNameA(h, cls, sizeof cls);
            ::GetWindowThreadProcessId(h, &pid);
            if (pid == s->m_dwProcess && lstrcmpA(cls, "#32770") == 0)
                s->m_boxes.push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    std::vector<std::string> texts;
    for (HWND h : search.m_boxes) {
        char caption[256] = {}, text[1024] = {};
        ::GetWindowTextA(h, caption, sizeof caption);
        ::GetDlgItemTextA(h, 0xFFFF, text, sizeof text); // the box's text static
        texts.push_back(std::string(caption) + ": " + text);
        ::PostMessageW(h, WM_COMMAND, IDOK, 0);
    }
    return texts;
}

uint64_t LastWriteTime(const std::string& strPath) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32 | data.ftLastWriteTime.dwLowDateTime;
}

} // namespace

// A server alone in a folder with the stand-in UnRAR.exe and no ".FFC": the
// first image fetches the archive from the sensor's memory and unpacks it;
// the second, with UnRAR.exe gone, reads the ".FFC" directly. Both images
// are corrected with that calibration.
TEST(AcquisitionWine, CalibrationFetchedFromTheSensorThenReadDirectly) {
    const char* const kSim = "direct=85;dcal=1000x1496";
    // What the simulated sensor holds: page 0 the header, the archive from page 1.
    torvex::sim::CVirtualClock clock;
    torvex::sim::CSimulation simulation(torvex::sim::ParseSimConfig(kSim), clock);
    const std::vector<uint8_t>& memory = simulation.UsbBus().Sensor(0).Setup().m_memory;
    const size_t nPage = std::string("TS2-1-00071;R3").size();
    ASSERT_GT(memory.size(), nPage);
    const size_t nArchive = memory[4] | memory[5] << 8 | memory[6] << 16 | size_t{memory[7]} << 24;
    ASSERT_LE(nPage + nArchive, memory.size());
    const std::vector<uint8_t> archive(memory.begin() + nPage, memory.begin() + nPage + nArchive);
    const std::vector<uint8_t> ffc = torvex::sim::SampleCalibrationFile(1000, 1496, 0);
    const SReferenceImage expected = ReferenceAcquisition(0, false, ffc);

    const std::string strFolder = TempFolder() + "torvex_ffc_fetch\\";
    torvex::CWin32CalibrationFiles folder;
    folder.RemoveFolder(strFolder);
    ASSERT_EQ(folder.MakeFolder(strFolder), 0u);
    const std::string strBin = Narrow(OwnFolder());
    ASSERT_TRUE(
        ::CopyFileA((strBin + "TORVEX.exe").c_str(), (strFolder + "TORVEX.exe").c_str(), FALSE));
    ASSERT_TRUE(
        ::CopyFileA((strBin + "UnRAR.exe").c_str(), (strFolder + "UnRAR.exe").c_str(), FALSE));
    const std::string strFfc = strFolder + "TS2-1-00071.FFC";
    const std::string strRar = strFfc + ".RAR";
    {
        CServerProcess server(std::wstring(strFolder.begin(), strFolder.end()) + L"TORVEX.exe",
                              kSim);
        ASSERT_TRUE(server.Started());
        ASSERT_EQ(server.Send(10, "").m_nError, 0);
        std::vector<std::string> boxes;
        for (int nImage = 0; nImage < 2; ++nImage) {
            SCOPED_TRACE(nImage);
            const uint64_t nArchiveTime = LastWriteTime(strRar);
            if (nImage == 1) {
                ASSERT_TRUE(::DeleteFileA((strFolder + "UnRAR.exe").c_str()));
            }
            // A modal box would hold the answer back for good.
            const SAnswer a = server.SendWhileWaiting(220, [&] {
                for (const std::string& text : CloseMessageBoxes(server.ProcessId()))
                    boxes.push_back(text);
            });
            EXPECT_EQ(boxes, std::vector<std::string>()) << "message boxes of the calibration";
            ASSERT_TRUE(a.m_bAnswered);
            EXPECT_EQ(a.m_nError, 0);
            EXPECT_TRUE(ReadBytes(strRar) == archive) << "the archive as the sensor holds it";
            EXPECT_TRUE(ReadBytes(strFfc) == ffc);
            if (nImage == 1) {
                EXPECT_EQ(LastWriteTime(strRar), nArchiveTime) << "not fetched again";
            }
            EXPECT_TRUE(ReadBytes(TempFolder() + "LASTACQ2.RAW") == ReferenceRawFile(expected));
        }
        server.Stop();
    }
    folder.RemoveFolder(strFolder);
}
