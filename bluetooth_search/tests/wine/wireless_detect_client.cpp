// End to end under Wine: TORVEX.exe in a folder with the real Bluefind.dll
// and the stand-in Bluetooth module pairs, then finds again, a sensor whose serial
// port is COM<n> (a pseudo-terminal with the wireless-sensor simulator on
// its far end, set up by serial_pty_test.sh); InitLink and ReadSensor on
// that port answer from the simulator. Then the same server binary beside
// Wine's own Bluetooth module reports no sensor and serves on.
// Prints one line per check and exits 0 when all pass.
//   bluefind_wireless_client <n>
#include "bluefind_wine_support.h"
#include "server_client.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace bluefind::wine;
using torvex::client::CServerProcess;
using torvex::client::SAnswer;

namespace {

int g_nFailures = 0;

void Check(bool bOk, const char* pWhat, const SAnswer& a) {
    g_nFailures += bOk ? 0 : 1;
    std::printf("%s %s: ERROR %d RESULT \"%s\" (%d polls)\n", bOk ? "ok  " : "FAIL", pWhat,
                a.m_nError, a.m_strResult.c_str(), a.m_nPolls);
}

} // namespace

int main(int argc, char** argv) {
    const std::string strNumber = argc > 1 ? argv[1] : "7";
    const std::string strPort = "\\\\.\\COM" + strNumber;

    CStackFolder stack;
    stack.Prepare(L"bluefind_wireless", true);
    stack.Add(L"TORVEX.exe");
    // In range, never paired: the first detection pairs it.
    stack.Script(L"device 0012345678AB services=1105 name=TESSEL W 0042\n");
    RemoveModems();
    AddModems({{L"0012345678AB", L"COM" + std::wstring(strNumber.begin(), strNumber.end()), true}});
    {
        CServerProcess server(stack.Folder() + L"TORVEX.exe", "box=5841");
        if (!server.Started()) {
            std::printf("FAIL server did not start\n");
            RemoveModems();
            return 2;
        }
        const SAnswer paired = server.Send(11);
        Check(paired.m_bAnswered && paired.m_nError == 0 && paired.m_strResult == strPort,
              "DetectWireless pairs the sensor", paired);
        std::vector<std::string> log = stack.Log();
        const bool bPaired =
            Contains(log, "pair 0012345678AB passkey=8629 -> 0") &&
            Contains(log, "enable 0012345678AB {00001101-0000-1000-8000-00805F9B34FB} -> 0");
        g_nFailures += bPaired ? 0 : 1;
        std::printf("%s paired with 8629, serial service enabled\n", bPaired ? "ok  " : "FAIL");

        // The library is loaded again; the pairing is the platform's and stays.
        stack.ClearLog();
        const SAnswer found = server.Send(11);
        Check(found.m_bAnswered && found.m_nError == 0 && found.m_strResult == strPort,
              "DetectWireless again", found);
        log = stack.Log();
        const bool bNoInquiry =
            Contains(log, "find radio=0 auth=1 rem=1 unk=1 con=1 inquiry=0 timeout=0") &&
            !ContainsPrefix(log, "find radio=0 auth=1 rem=1 unk=1 con=1 inquiry=1") &&
            !ContainsPrefix(log, "pair ");
        g_nFailures += bNoInquiry ? 0 : 1;
        std::printf("%s found paired, without an inquiry\n", bNoInquiry ? "ok  " : "FAIL");
        const SAnswer link = server.Send(20, found.m_strResult);
        Check(link.m_bAnswered && link.m_nError == 0, "InitLink", link);
        const SAnswer sensor = server.Send(40);
        Check(sensor.m_bAnswered && sensor.m_nError == 0 &&
                  sensor.m_strResult == "1;1122334455;1560",
              "ReadSensor", sensor);
        const SAnswer kind = server.Send(43);
        Check(kind.m_bAnswered && kind.m_strResult == "4", "ReadLinkType", kind);
        const SAnswer stop = server.Send(21);
        Check(stop.m_bAnswered && stop.m_nError == 0, "StopLink", stop);
    }
    RemoveModems();

    CStackFolder own;
    own.Prepare(L"bluefind_wireless_own", false);
    own.Add(L"TORVEX.exe");
    {
        CServerProcess server(own.Folder() + L"TORVEX.exe", "box=5841");
        if (!server.Started()) {
            std::printf("FAIL server did not start beside Wine's own Bluetooth\n");
            return 2;
        }
        const SAnswer none = server.Send(11);
        Check(none.m_bAnswered && none.m_nError == 0 && none.m_strResult.empty(),
              "DetectWireless with Wine's own Bluetooth", none);
        const SAnswer next = server.Send(99);
        Check(next.m_bAnswered && next.m_nError == 22, "the server serves on", next);
    }
    return g_nFailures == 0 ? 0 : 1;
}
