// The detection run end to end under Wine: a small host window with a real
// tree view runs RunDetection over the form's real probes against every
// simulator at once (the practice's registry and drivers, the camera behind
// the simulated bridge, TORVEX.exe with a box, a wireless sensor and two
// direct sensors, the stand-in plate-scanner control, and announcements sent
// from the Linux side while the run is going), then reads the tree back.
#include "detection_wine_support.h"

#include "bridge_sim_devices_win32.h"
#include "camera_probe_win32.h"
#include "detection_run.h"
#include "materiel.h"
#include "materiel_probes.h"
#include "plate_scanner_host_win32.h"
#include "probe_ports_win32.h"
#include "tree_view_win32.h"

#include <commctrl.h>

#include <functional>

using namespace ostrel;
using namespace ostrel::test;

namespace {

// What the incident form gives the run: its window with the tree control,
// its message pump between probes and its two texts.
class CHostForm final : public IDetectionForm {
public:
    static constexpr RECT kTree = {10, 20, 286, 420}; // 276 wide, as the form's

    CHostForm() {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        WNDCLASSW wc{};
        wc.lpfnWndProc = DatagramWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OstrelDetectionRunHost";
        RegisterClassW(&wc);
        m_hWnd = CreateWindowW(wc.lpszClassName, L"detection run", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               0, 0, 320, 480, nullptr, nullptr, wc.hInstance, nullptr);
        m_hTree =
            CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT,
                            kTree.left, kTree.top, kTree.right - kTree.left,
                            kTree.bottom - kTree.top, m_hWnd, nullptr, wc.hInstance, nullptr);
    }
    ~CHostForm() override { DestroyWindow(m_hWnd); }

    void StepBusyIndicator(bool bRestart) override {
        ++m_nSteps;
        if (bRestart)
            m_nRestarts++;
        RECT rect{};
        if (TreeRectInParent(m_hTree, rect) && rect.bottom - rect.top == kShortTreeHeight)
            ++m_nShortSteps;
        if (m_onStep)
            m_onStep(m_nSteps);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        InvalidateRect(m_hTree, nullptr, TRUE);
        UpdateWindow(m_hTree);
    }
    void ShortenTree() override { ShortenTreeWindow(m_hTree, kShortTreeHeight, m_saved); }
    void RestoreTree() override { RestoreTreeWindow(m_hTree, m_saved); }
    std::wstring LanguageText(int nId) override {
        return nId == kTextWaiting ? L"Hardware detection. Please wait..." : L"None found";
    }

    // "icon text" a line, two blanks a level, "+" after an expanded line.
    std::string Render() const { return RenderLevel(TreeView_GetRoot(m_hTree), 0); }

    HWND m_hWnd = nullptr;
    HWND m_hTree = nullptr;
    RECT m_saved{};
    int m_nSteps = 0, m_nRestarts = 0, m_nShortSteps = 0;
    std::function<void(int)> m_onStep;

private:
    std::string RenderLevel(HTREEITEM hFirst, int depth) const {
        std::string out;
        for (HTREEITEM h = hFirst; h; h = TreeView_GetNextSibling(m_hTree, h)) {
            wchar_t text[512] = {};
            TVITEMW item{};
            item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
            item.hItem = h;
            item.stateMask = TVIS_EXPANDED;
            item.pszText = text;
            item.cchTextMax = 512;
            TreeView_GetItem(m_hTree, &item);
            EXPECT_EQ(item.iImage, item.iSelectedImage) << Narrow(text);
            out += std::string(static_cast<size_t>(depth) * 2, ' ') + std::to_string(item.iImage) +
                   " " + Utf8(text) + ((item.state & TVIS_EXPANDED) ? " +" : "") + "\n";
            out += RenderLevel(TreeView_GetChild(m_hTree, h), depth + 1);
        }
        return out;
    }
    static std::string Utf8(const wchar_t* text) {
        char out[1024] = {};
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr);
        return out;
    }
};

std::string Rect(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

// The folder the reporter runs from in this test: TORVEX.exe beside the
// server's stand-in search library, which names \\.\COM7.
std::wstring ServerFolderWithWirelessSearch() {
    const std::wstring folder = OwnFolder() + L"with_bluefind\\";
    DeleteFileW((folder + L"TORVEX.INI").c_str());
    EXPECT_TRUE(
        CopyFileW((OwnFolder() + L"TORVEX.exe").c_str(), (folder + L"TORVEX.exe").c_str(), FALSE));
    return folder;
}

// What the first test installs goes again, whatever it ends with.
struct SAttachedPractice {
    SAttachedPractice() {
        InstallPractice(L"standard");
        InstallPractice(L"devices primary");
        m_bControl = Register("DllRegisterServer") == S_OK;
        SetEnvironmentVariableA("LUMENO_SIM", "open=1");
    }
    ~SAttachedPractice() {
        Register("DllUnregisterServer");
        SetEnvironmentVariableA("LUMENO_SIM", nullptr);
        SetEnvironmentVariableA("BLUEFIND_STAND_IN_RESULT", nullptr);
        InstallPractice(L"devices none");
        InstallPractice(L"none");
    }
    bool m_bControl = false;
};

// The lines of one direct sensor of the simulator set up with dstatus=61 and
// dstate=25: error and fault 0x19 on both.
std::string DirectSensorLines(const char* port, const char* exposures, const char* cpld,
                              const char* size, const char* serial) {
    return std::string("  3 Sensor +\n"
                       "    2 FAULT: [19] - Defective Mainboard- Defective Sensor- Broken Sensor\n"
                       "    6 Exp: ") +
           exposures + "\n    5 CPLD: " + cpld + "\n    7 Photodiode: 17\n    7 Type: " + size +
           "\n    7 Technology: CsI\n"
           "  0 Controller\n    7 Port: " +
           port +
           "\n    6 Voltages\n"
           "      6 USB (mV): 5020\n"
           "      6 CPU (mV): 1210\n"
           "      6 CPLD (mV): 3300\n"
           "      6 Sensor (mV): 1800\n"
           "    7 State: [  ] [OK] [ERR] [  ] [  ] [  ] [  ] [ACQ]\n"
           "    7 S/N: " +
           serial +
           "\n    5 Firmware: FW 2.04.11\n"
           "    4 Driver: CyUsb3.sys - v.1.2.3\n";
}

const char kBridgeLines[] = "0 USB2820\n"
                            "  4 Driver: emBDA.sys - \u00DF.1.0.12\n"
                            "  0 Camera: K610 / VERICAM\n"
                            "    7 Type: PAL\n"
                            "    7 S/N: AB123456\n"
                            "    5 Firmware: 1.7\n"
                            "    6 Voltage (mV): 7285\n"
                            "    4 Management Software: v.2.0.0\n"
                            "0 USB28285\n"
                            "  4 Driver: usb28xxbga.sys - v.5.2.8\n";

const char kPlateScannerGen1Lines[] = "9 X-Ray (Lumeno generation-1)\n"
                                      "  4 Driver: 4.2.1\n";

} // namespace

// Two runs in one form, as the start timer and a Refresh give them: first
// the box and the wireless sensor with scanners announcing mid-run, then the
// two direct sensors (the server sends a box's reads to an open direct
// sensor, so the two kinds are not attached together).
TEST(DetectionRunWine, EverySimulatorGivesItsLinesInTheRealTree) {
    ASSERT_TRUE(WaitNoServerWindow(3000)) << "a sensor server is already running";
    SAttachedPractice practice;
    ASSERT_TRUE(practice.m_bControl);
    const HRESULT hrOle = OleInitialize(nullptr);
    bridgesim::test::CSimDevices camera;
    ASSERT_TRUE(camera.Add(bridgesim::test::kVideoInput, L"cam1", L"USB 2820 Video", L"gen=1"));
    for (int i = 0; i < 120 && !PortIsFree(); ++i)
        Sleep(500); // another build's run may hold the announcement port

    CHostForm form;
    ASSERT_TRUE(form.m_hTree);
    CPlateScannerHost control;
    ASSERT_TRUE(control.Create(form.m_hWnd, 4243));
    CSystemProbePorts system;
    CMateriel m(system.Ports(), ServerFolderWithWirelessSearch());
    g_pDatagramTarget = &m;
    const std::wstring imagesDir = L"C:\\VARNIK\\Images\\";
    CMaterielProbes probes({m, CameraProbePortsWin32(), &control, imagesDir,
                            reinterpret_cast<uintptr_t>(form.m_hWnd)});
    CTreeViewSink tree(form.m_hTree);
    CDetectionRun run;

    {
        SServerEnvironment env("box=123A;wireless=7;clock=virtual", L"trace_run_box.txt");
        // The scanners announce themselves once the run listens (its second
        // busy step comes after the listener has started).
        const std::string done = std::string(OSTREL_TEST_BIN_UNIX) + "/announcer_run_done.txt";
        std::string waitingLine;
        form.m_onStep = [&](int nStep) {
            if (nStep == 1)
                waitingLine = form.Render();
            if (nStep != 2)
                return;
            ASSERT_TRUE(StartAnnouncer(
                {"LG2-0001/192.168.0.10/12LG", "LG2-0002/192.168.0.11/3401/be"}, done));
            const std::wstring doneWin = FromUnix(done.c_str());
            for (int i = 0;
                 i < 2000 && GetFileAttributesW(doneWin.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
                Sleep(10);
        };
        ASSERT_TRUE(run.RunDetection(tree, form, probes));
        form.m_onStep = nullptr;
        EXPECT_EQ(waitingLine, "7 Hardware detection. Please wait...\n");
        EXPECT_EQ(
            form.Render(),
            std::string(kBridgeLines) +
                "3 X-Ray\n"
                "  3 Sensor\n"
                "    7 S/N: 1122334455\n"
                "    6 Exp: 1560\n"
                "  0 Controller\n"
                "    7 Port: "
                "\\\\?\\usb#vid_1a2b&pid_123a#sim0001#{ba8043cc-6cad-45a3-859a-86b2b74b8a15}\n"
                "    0 Type: USB 2.0-1.1\n"
                "    7 S/N: ABCDEF\n"
                "    5 Firmware: 0213\n"
                "    4 Driver: tessel.sys - v.3.2.0\n"
                "3 X-Ray\n"
                "  3 Sensor\n"
                "    7 S/N: 1122334455\n"
                "    6 Exp: 1560\n"
                "  1 Controller\n"
                "    7 Port: \\\\.\\COM7\n"
                "    7 S/N: ABCDEF\n"
                "    5 Firmware: 0213\n"
                "    8 Batteries: 5600 mV\n"
                "    4 Driver: BTHUSB.sys - v.6.1.7601\n" +
                kPlateScannerGen1Lines +
                "11 X-Ray (Lumeno generation-2)\n"
                "  7 S/N: LG2-0001\n"
                "  5 Firmware: 1.1.2x\n"
                "  10 IP: 192.168.0.10\n"
                "11 X-Ray (Lumeno generation-2)\n"
                "  7 S/N: LG2-0002\n"
                "  5 Firmware: 01.34\n"
                "  10 IP: 192.168.0.11\n");
        const SDetectionFlags& f = run.Flags();
        EXPECT_TRUE(f.m_bHasBridge2820 && f.m_bHasBridge28285 && f.m_bHasWiredSensor &&
                    f.m_bHasWirelessSensor && f.m_bHasPlateScannerGen1);
        EXPECT_FALSE(f.m_bHasDirectSensor);

        // Shortened to 140 pixels through the busy steps, its full size after.
        EXPECT_EQ(form.m_nRestarts, 1);
        EXPECT_EQ(form.m_nShortSteps, form.m_nSteps);
        EXPECT_EQ(Rect(form.m_saved), Rect(CHostForm::kTree));
        RECT after{};
        ASSERT_TRUE(TreeRectInParent(form.m_hTree, after));
        EXPECT_EQ(Rect(after), Rect(CHostForm::kTree));

        // The server it started is gone, the announcement port is free again.
        EXPECT_FALSE(m.HoldsServerProcess());
        EXPECT_TRUE(WaitNoServerWindow(3000));
        EXPECT_TRUE(PortIsFree());
    }

    {
        SServerEnvironment env("direct=85,12;dstatus=61;dstate=25;clock=virtual",
                               L"trace_run_direct.txt");
        SetEnvironmentVariableA("BLUEFIND_STAND_IN_RESULT", "-7"); // no wireless sensor now
        ASSERT_TRUE(run.RunDetection(tree, form, probes));
        const char s0[] =
            "\\\\?\\usb#vid_1ce6&pid_0001#00000071#{f0a2d454-3de2-40cd-bae7-09efc799ec08}";
        const char s1[] =
            "\\\\?\\usb#vid_1ce6&pid_0001#00000072#{f0a2d454-3de2-40cd-bae7-09efc799ec08}";
        EXPECT_EQ(form.Render(), std::string(kBridgeLines) + "3 X-Ray (Tessel/Tessel\u00B2) +\n" +
                                     DirectSensorLines(s0, "71", "85h", "Size 1", "TS2-1-00071") +
                                     DirectSensorLines(s1, "72", "12h", "Size 2", "TS2-2-00072") +
                                     kPlateScannerGen1Lines);
        const SDetectionFlags& f = run.Flags();
        EXPECT_TRUE(f.m_bHasDirectSensor);
        EXPECT_FALSE(f.m_bHasWiredSensor || f.m_bHasWirelessSensor);
        EXPECT_EQ(form.m_nRestarts, 2);
        EXPECT_TRUE(WaitNoServerWindow(3000));
    }
    g_pDatagramTarget = nullptr;
    control.Destroy();
    if (SUCCEEDED(hrOle))
        OleUninitialize();
}

TEST(DetectionRunWine, NothingAttachedLeavesNoneFoundAlone) {
    ASSERT_TRUE(WaitNoServerWindow(3000));
    InstallPractice(L"devices none");
    InstallPractice(L"none");
    Register("DllUnregisterServer");
    SServerEnvironment env("clock=virtual", L"trace_nothing.txt");
    CHostForm form;
    CPlateScannerHost control; // the driver is not installed: no control
    EXPECT_FALSE(control.Create(form.m_hWnd, 4243));
    CSystemProbePorts system;
    CMateriel m(system.Ports(), OwnFolder());
    const std::wstring imagesDir;
    CMaterielProbes probes({m, CameraProbePortsWin32(), &control, imagesDir,
                            reinterpret_cast<uintptr_t>(form.m_hWnd)});
    CTreeViewSink tree(form.m_hTree);
    CDetectionRun run;
    ASSERT_TRUE(run.RunDetection(tree, form, probes));
    EXPECT_EQ(form.Render(), "2 None found\n");
    const SDetectionFlags& f = run.Flags();
    EXPECT_FALSE(f.m_bHasBridge2820 || f.m_bHasBridge28285 || f.m_bHasWiredSensor ||
                 f.m_bHasWirelessSensor || f.m_bHasDirectSensor || f.m_bHasPlateScannerGen1);
    EXPECT_TRUE(WaitNoServerWindow(3000));
    // The report reads the same forest through the plain-data reader.
    const DeviceTree lines = ReadTreeView(form.m_hTree);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].m_strText, L"None found");
    EXPECT_EQ(lines[0].m_nImage, 2);
    EXPECT_TRUE(lines[0].m_children.empty());
}
