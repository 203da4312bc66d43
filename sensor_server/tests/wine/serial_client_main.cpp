// Client for the real serial path: TORVEX.exe with a simulated box only, so
// its serial port is the real Win32 one, talks to COM<n>. Prints one line per
// command and exits 0 when every answer is as expected.
//   torvex_serial_client <n>
#include "image_source.h"
#include "server_client.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace torvex::client;

namespace {

// The simulator's image number nIndex (400 x 342, see serial_pty_test.sh) as
// the RESULT bitmap must hold it: the rows as sent, edge blanked.
bool ImageMatches(const std::string& path, unsigned nIndex) {
    const int w = 400, h = 342;
    std::vector<uint8_t> want = torvex::sim::SensorImage(w, h, nIndex);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (y < h / 200 || y >= h - h / 200 || x < w / 200 || x >= w - w / 200)
                want[size_t(y) * w + x] = 0;
    std::ifstream f(path, std::ios::binary);
    const std::vector<uint8_t> file(std::istreambuf_iterator<char>(f), {});
    return file.size() == 1078 + want.size() && file[0] == 'B' && file[1] == 'M' &&
           std::equal(want.begin(), want.end(), file.begin() + 1078);
}

// ReadImage on the real port: faults first (the simulator's rules are for
// mode 1 and mode 0), then a reference and an image decoded against it by
// the stand-in "compress.dll" beside this copy of the server.
int ImageSteps(const std::string& port) {
    const std::wstring folder = OwnFolder() + L"with_compress\\";
    ::CopyFileW((OwnFolder() + L"TORVEX.exe").c_str(), (folder + L"TORVEX.exe").c_str(), FALSE);
    CServerProcess server(folder + L"TORVEX.exe", "box=5841");
    if (!server.Started()) {
        std::printf("FAIL image server did not start\n");
        return 1;
    }
    int failures = 0;
    auto step = [&](const char* what, unsigned cmd, const char* data, int error, bool ok) {
        const SAnswer a = data ? server.Send(cmd, data) : server.Send(cmd);
        const bool bOk = a.m_bAnswered && a.m_nError == error && ok;
        failures += bOk ? 0 : 1;
        std::printf("%s %s: ERROR %d RESULT \"%s\" (%d polls)\n", bOk ? "ok  " : "FAIL", what,
                    a.m_nError, a.m_strResult.c_str(), a.m_nPolls);
        return a;
    };
    step("InitLink", 20, port.c_str(), 0, true);
    step("image with a bad checksum", 44, "1", 30, true);
    step("image whose first packet is short", 44, "1", 8, true);
    SAnswer a = step("reference image", 44, "17", 0, true);
    if (!ImageMatches(a.m_strResult, 2)) {
        std::printf("FAIL reference image pixels differ\n");
        ++failures;
    }
    a = step("image against the reference", 44, "2", 0, true);
    if (!ImageMatches(a.m_strResult, 3)) {
        std::printf("FAIL decoded image pixels differ\n");
        ++failures;
    }
    a = step("transfer rate", 45, nullptr, 0, true);
    if (a.m_strResult == "0" || a.m_strResult.empty()) {
        std::printf("FAIL no transfer rate\n");
        ++failures;
    }
    step("image cut mid-stream", 44, "0", 997, true);
    step("next command after it", 40, nullptr, 0, true);
    step("StopLink", 21, nullptr, 0, true);
    return failures;
}

} // namespace

int main(int argc, char** argv) {
    const std::string port = std::string("\\\\.\\COM") + (argc > 1 ? argv[1] : "7");
    int failures = ImageSteps(port);
    CServerProcess server(OwnFolder() + L"TORVEX.exe", "box=5841");
    if (!server.Started()) {
        std::printf("server did not start\n");
        return 2;
    }
    struct SStep {
        unsigned command;
        const char* data;
        int error;
        const char* result;
    } steps[] = {
        {20, port.c_str(), 0, ""},
        {43, nullptr, 0, "4"},
        {40, nullptr, 0, "1;1122334455;1560"},
        {41, nullptr, 0, "ABCDEF;0213"},
        {46, nullptr, 13, ""}, // the simulator sends this one in a bad envelope
        {46, nullptr, 0, "5600"},
        {52, nullptr, 0, ""},
        {4200, "192;10;42;42;0;0;0;0", 0, "192;10;42;42;0;0;0;204"},
        {21, nullptr, 0, ""},
    };
    for (const SStep& s : steps) {
        const SAnswer a = s.data ? server.Send(s.command, s.data) : server.Send(s.command);
        const bool ok = a.m_bAnswered && a.m_nError == s.error && a.m_strResult == s.result;
        failures += ok ? 0 : 1;
        std::printf("%s command %u: ERROR %d RESULT \"%s\" (%d polls)\n", ok ? "ok  " : "FAIL",
                    s.command, a.m_nError, a.m_strResult.c_str(), a.m_nPolls);
    }
    std::printf("BLEMISH NUMBER=%s\n", server.Read("BLEMISH", "NUMBER", "<none>").c_str());

    // The server holds the port only while a link is up: opened without
    // sharing, it refuses a second opener then and accepts one after StopLink.
    auto canOpen = [&port] {
        HANDLE h = ::CreateFileA(port.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        ::CloseHandle(h);
        return true;
    };
    const bool bFreeAfterStop = canOpen();
    server.Send(20, port);
    server.Send(43);
    const bool bFreeDuringLink = canOpen();
    server.Send(21);
    std::printf("%s port free after StopLink, %s during a link\n", bFreeAfterStop ? "ok  " : "FAIL",
                bFreeDuringLink ? "free (sharing not enforced)" : "held");
    failures += bFreeAfterStop ? 0 : 1;

    // The port disappears while a link is up (the script ends socat when it
    // sees the request file): the commands still end with a code, and the
    // server goes on serving.
    const std::wstring request = OwnFolder() + L"disappear.request";
    const std::wstring done = OwnFolder() + L"disappear.done";
    server.Send(20, port);
    const SAnswer alive = server.Send(46);
    CloseHandle(
        ::CreateFileW(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    bool bGone = false;
    for (int i = 0; i < 200 && !bGone; ++i) {
        bGone = ::GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES;
        ::Sleep(100);
    }
    const SAnswer lost = server.Send(46);
    const SAnswer again = server.Send(40);
    const SAnswer stop = server.Send(21);
    const SAnswer next = server.Send(99);
    const bool bOk = alive.m_nError == 0 && bGone && lost.m_bAnswered && lost.m_nError != 0 &&
                     again.m_bAnswered && again.m_nError != 0 && stop.m_nError == 0 &&
                     next.m_nError == 22;
    std::printf("%s port gone: ReadBattery ERROR %d, ReadSensor ERROR %d, StopLink %d, then "
                "99 -> %d\n",
                bOk ? "ok  " : "FAIL", lost.m_nError, again.m_nError, stop.m_nError, next.m_nError);
    failures += bOk ? 0 : 1;
    ::DeleteFileW(request.c_str());
    ::DeleteFileW(done.c_str());
    return failures == 0 ? 0 : 1;
}
