// TORVEX.exe acquiring from simulated direct sensors for a separate client
// process: one image per geometry whose three files equal the plain
// computation from the simulator's frames and the ".FFC" beside the server
// (the real calibration source reads it), a command posted behind
// AcquireImage that is ignored, and an arm time-out after which the server
// still serves.
#include "acquisition_reference.h"
#include "direct_memory.h"
#include "server_client.h"

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
// not overwritten afterwards.
TEST(AcquisitionWine, CommandBehindAcquireImageIsIgnored) {
    const SCalibrationFiles calibration;
    const std::string trace = TempFolder() + "acq_trace.txt";
    ::DeleteFileA(trace.c_str());
    ::SetEnvironmentVariableA("TORVEX_TRACE", trace.c_str());
    CServerProcess server(ServerExe(), "direct=85");
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
