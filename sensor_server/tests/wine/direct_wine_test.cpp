// TORVEX.exe with simulated direct sensors, served to a separate client
// process: detection order, the answer format of every direct command,
// memory pages into PAGE, status waits, faults of the sensor.
#include "handover_files_win32.h"
#include "server_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace torvex::client;

namespace {

std::wstring ServerExe() {
    return OwnFolder() + L"TORVEX.exe";
}

// Paths the simulated sensors of serial 71 and 72 have.
std::string SensorPath(unsigned nSerial) {
    return "\\\\?\\usb#vid_1ce6&pid_0001#000000" + std::to_string(nSerial) +
           "#{f0a2d454-3de2-40cd-bae7-09efc799ec08}";
}

struct SStep {
    WPARAM command;
    std::string data; // "-": DATA left as it is
    int error;
    std::string result;
};

void RunSteps(CServerProcess& server, const std::vector<SStep>& steps) {
    for (const SStep& s : steps) {
        const SAnswer a = s.data == "-" ? server.Send(s.command) : server.Send(s.command, s.data);
        ASSERT_TRUE(a.m_bAnswered) << "command " << s.command << " timed out";
        EXPECT_EQ(a.m_nError, s.error) << "command " << s.command << " " << s.data;
        EXPECT_EQ(a.m_strResult, s.result) << "command " << s.command << " " << s.data;
    }
}

} // namespace

TEST(DirectWine, DetectionAndAnswerFormats) {
    CServerProcess server(ServerExe(), "direct=85,12;box=5841;clock=virtual");
    ASSERT_TRUE(server.Started());
    const std::string s0 = SensorPath(71), s1 = SensorPath(72);
    const SAnswer first = server.Send(10, "");
    EXPECT_EQ(first.m_strResult, s0);
    EXPECT_EQ(server.Send(12).m_strResult, s1);
    const SAnswer box = server.Send(12);
    EXPECT_EQ(box.m_nError, 0);
    EXPECT_NE(box.m_strResult.find("pid_5841"), std::string::npos) << box.m_strResult;
    EXPECT_EQ(server.Send(12).m_nError, 1168);

    RunSteps(server, {
                         {40, s0, 0, "1;TS2-1-00071;71"},
                         {41, "-", 0, "TS2-1-00071;FW 2.04.11"},
                         {42, "-", 0, "0;0"},
                         {213, s1, 0, "TS2-2-00072;FW 2.04.11;18;72;2"},
                         {40, "-", 0, "2;TS2-2-00072;72"},
                         {214, s0, 0, "3300;5020;1800;1210"},
                         {210, "-", 0, "0;8;17"},
                         {211, "8", 0, ""},
                         {211, "64", 239, ""},
                         {211, "", 11, ""},
                         {212, "R;141;0;64;9", 11, ""},
                         {212, "R;141;0;300", 11, ""},
                         {222, "-", 0, "0"},
                         {200, s1, 0, s1},
                         {4200, "176;1;1;0;0;0;0;0", 0, ""},
                         {(WPARAM{1} << 32) + 10, "", 22, ""},
                         {35, s1, 0, ""},
                         {201, "-", 0, ""},
                         {210, "-", 10, ""},
                     });
}

TEST(DirectWine, PagesPollsAndSequence) {
    CServerProcess server(ServerExe(),
                          "direct=85;clock=virtual;dfault=sequence:8F:0:1;dfault=working:87:2:1");
    ASSERT_TRUE(server.Started());
    ASSERT_EQ(server.Send(10, "").m_nError, 0);
    // The first 0x8F is answered with another sequence number; the first 0x87
    // (the serial number of ReadSensor) answers "working" twice, then done.
    RunSteps(server, {
                         {214, "-", 6815, ""},
                         {214, "-", 0, "3300;5020;1800;1210"},
                         {40, "-", 0, "1;TS2-1-00071;71"},
                     });
    const SAnswer page = server.Send(212, "R;141;0;64");
    EXPECT_EQ(page.m_nError, 0);
    EXPECT_EQ(page.m_strResult, "");
    std::string expected;
    for (int i = 0; i < 64; ++i)
        expected += (i ? ";" : "") + std::to_string((i * 7) % 256);
    EXPECT_EQ(server.Read("TORVEX", "PAGE"), expected);

    server.Write("TORVEX", "PAGE", "4;5;6");
    const SAnswer write = server.Send(212, "W;5;0;0");
    EXPECT_EQ(write.m_nError, 0);
    EXPECT_EQ(write.m_strResult, "4;5;6");
}

namespace {

// A slot-0 image record written out field by field: upper half at level
// 1000, lower half at 3000, Nrj 4321, two oscillogram samples.
std::vector<uint8_t> ImageRecord() {
    const uint32_t w = 1000, h = 1496;
    std::vector<uint8_t> r(2 * w * h + 2090, 0);
    auto u32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            r[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    u32(0, 40);
    u32(4, w);
    u32(8, h);
    r[12] = 1;
    r[14] = 8;
    u32(20, 4321);
    u32(24, 50000);
    u32(28, 50000);
    u32(32, 256);
    u32(36, 100);
    for (int i = 0; i < 256; ++i)
        r[40 + 4 * i] = r[41 + 4 * i] = r[42 + 4 * i] = static_cast<uint8_t>(i);
    for (size_t i = 0; i < size_t{w} * h; ++i) {
        const uint16_t v = i < size_t{w} * h / 2 ? 1000 : 3000;
        r[1064 + 2 * i] = static_cast<uint8_t>(v);
        r[1065 + 2 * i] = static_cast<uint8_t>(v >> 8);
    }
    const size_t nAfter = 1064 + 2 * size_t{w} * h;
    r[nAfter] = 2;
    r[nAfter + 2] = 17;
    r[nAfter + 3] = 200;
    return r;
}

std::string Slurp(const std::string& strPath) {
    std::string data;
    HANDLE h = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    char buffer[65536];
    DWORD n = 0;
    while (::ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0)
        data.append(buffer, n);
    ::CloseHandle(h);
    return data;
}

} // namespace

// The engine hands its record to its own view, in process; Wine does not
// carry a copy-data message of 3 MB across processes, so the files are
// checked through the view's own hand-over and file adapter here, and the
// window only for what it does with a message that holds no image.
TEST(DirectWine, HandOverWritesTheImageFiles) {
    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH + 1, temp);
    const std::string folder = temp;
    for (const char* name : {"LASTACQ2.RAW", "LASTACQ2.OSC", "ACQ1.BMP"})
        ::DeleteFileA((folder + name).c_str());
    torvex::CWin32HandoverFiles files;
    torvex::SViewState view;
    torvex::CImageHandOver handOver(files, view);
    const std::vector<uint8_t> record = ImageRecord();
    ASSERT_TRUE(handOver.OnCopyData(0xFFFFFFF6u, record.data(), record.size()));
    EXPECT_EQ(view.m_strLastImagePath, folder + "ACQ1.BMP");

    const std::string raw = Slurp(folder + "LASTACQ2.RAW");
    ASSERT_EQ(raw.size(), 2u * 1000 * 1496);
    EXPECT_EQ(
        raw.compare(0, raw.size(), reinterpret_cast<const char*>(record.data()) + 1064, raw.size()),
        0);
    EXPECT_EQ(Slurp(folder + "LASTACQ2.OSC"), "17\r\n200\r\n");
    const std::string bmp = Slurp(folder + "ACQ1.BMP");
    ASSERT_EQ(bmp.size(), 1000u * 1496 + 1078);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(static_cast<uint8_t>(bmp[1078]), 0) << "level 1000 is the lowest";
    EXPECT_EQ(static_cast<uint8_t>(bmp.back()), 255) << "level 3000 the highest";
}

TEST(DirectWine, CopyDataWithoutAnImageChangesNothing) {
    CServerProcess server(ServerExe(), "direct=85;clock=virtual");
    ASSERT_TRUE(server.Started());
    ASSERT_EQ(server.Send(10, "").m_nError, 0);
    const HWND hView = ::FindWindowExW(server.Window(), nullptr, L"TORVEX_VIEW", nullptr);
    ASSERT_NE(hView, nullptr);
    std::vector<uint8_t> record = ImageRecord();
    record.resize(600000); // not a record of either geometry
    COPYDATASTRUCT copy{};
    copy.cbData = static_cast<DWORD>(record.size());
    copy.lpData = record.data();
    for (ULONG_PTR id : {ULONG_PTR{5}, static_cast<ULONG_PTR>(-10)}) {
        copy.dwData = id;
        EXPECT_EQ(::SendMessageW(hView, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy)), 1);
    }
    EXPECT_EQ(server.Send(222).m_strResult, "0");
}
