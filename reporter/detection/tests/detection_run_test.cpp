// The detection run against a scripted practice: the probes it calls and the
// busy steps between them, in order, and the tree it leaves, compared line
// for line with trees written out by hand ("icon text", two blanks a level).
#include "detection_run.h"
#include "materiel.h"
#include "materiel_probes.h"

#include "camera_probe.h"
#include "guard.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using namespace ostrel;

namespace {

std::string Narrow(const std::wstring& s) {
    std::string out;
    for (wchar_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else { // UTF-8, for the few accented texts of the tree
            if (c < 0x800) {
                out += static_cast<char>(0xC0 | (c >> 6));
            } else {
                out += static_cast<char>(0xE0 | (c >> 12));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            }
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

using Log = std::vector<std::string>;

// The tree control: lines kept with their parent, rendered depth first.
class CRecordingTree final : public IDeviceTreeSink {
public:
    struct SLine {
        TreeLine m_parent;
        std::wstring m_strText;
        int m_nIcon;
        bool m_bExpanded = false;
        bool m_bDeleted = false;
    };

    void Clear() override {
        for (auto& [id, line] : m_lines)
            line.m_bDeleted = true;
        ++m_nClears;
    }
    TreeLine Append(TreeLine parent, const std::wstring& text, int nIcon) override {
        if (parent != kTreeRoot && !Alive(parent))
            ADD_FAILURE() << "line under a parent that does not exist: " << Narrow(text);
        if (m_nFailAppends-- > 0)
            return kNoTreeLine;
        const TreeLine id = m_nNext++;
        m_lines[id] = SLine{parent, text, nIcon};
        m_order.push_back(id);
        return id;
    }
    void Expand(TreeLine line) override {
        ASSERT_TRUE(Alive(line));
        m_lines[line].m_bExpanded = true;
    }
    void Delete(TreeLine line) override {
        if (line == kNoTreeLine)
            return;
        ASSERT_TRUE(Alive(line));
        m_lines[line].m_bDeleted = true;
    }
    bool IsEmpty() override { return Render().empty(); }

    // "3 X-Ray\n  3 Sensor\n..."; "+" after a line that was expanded.
    std::string Render() const { return RenderUnder(kTreeRoot, 0); }

    int m_nClears = 0;
    int m_nFailAppends = 0; // the next n insertions fail

private:
    bool Alive(TreeLine id) const {
        auto it = m_lines.find(id);
        if (it == m_lines.end() || it->second.m_bDeleted)
            return false;
        return it->second.m_parent == kTreeRoot || Alive(it->second.m_parent);
    }
    std::string RenderUnder(TreeLine parent, int depth) const {
        std::string out;
        for (TreeLine id : m_order) {
            const SLine& line = m_lines.at(id);
            if (line.m_parent != parent || !Alive(id))
                continue;
            out += std::string(static_cast<size_t>(depth) * 2, ' ') + std::to_string(line.m_nIcon) +
                   " " + Narrow(line.m_strText) + (line.m_bExpanded ? " +" : "") + "\n";
            out += RenderUnder(id, depth + 1);
        }
        return out;
    }

    TreeLine m_nNext = 1;
    std::map<TreeLine, SLine> m_lines;
    std::vector<TreeLine> m_order;
};

class CRecordingForm final : public IDetectionForm {
public:
    explicit CRecordingForm(Log& log) : m_log(log) {}
    void StepBusyIndicator(bool bRestart) override {
        m_log.push_back(bRestart ? "step(restart)" : "step");
        if (m_onStep)
            m_onStep();
    }
    void ShortenTree() override { m_log.push_back("shorten"); }
    void RestoreTree() override { m_log.push_back("restore"); }
    std::wstring LanguageText(int nId) override {
        static const std::map<int, std::wstring> kTexts = {
            {123, L"D\u00E9tection mat\u00E9rielle. Veuillez patienter..."},
            {124, L"Aucun trouv\u00E9"},
            {223, L"Hardware detection. Please wait..."},
            {224, L"None found"},
        };
        return kTexts.at(nId + m_nOffset);
    }
    int m_nOffset = 100;
    std::function<void()> m_onStep;

private:
    Log& m_log;
};

// What one simulated practice holds; the probes answer from it.
struct SIdentity {
    std::wstring m_strSensorSerial, m_strExposures, m_strBoxSerial, m_strBoxFirmware, m_strLinkType;
};
struct SDirect {
    std::wstring m_strDevice;
    SIdentity m_id;
    std::wstring m_strSize, m_strUsb, m_strCpu, m_strCpld, m_strSensorMv, m_strCpldVersion,
        m_strPhotodiode;
    int32_t m_nFault = 0, m_nState = 0;
};
struct SScanner {
    std::wstring m_strSerial, m_strIp, m_strFirmware;
};
struct SPractice {
    bool m_b2820 = false, m_b28285 = false, m_bCamera = false, m_bGen1 = false;
    std::map<int, std::wstring> m_drivers;
    std::wstring m_strWired; // device string; empty: none
    SIdentity m_wired;
    std::wstring m_strWireless; // DetectWireless answer
    SIdentity m_wireless;
    std::wstring m_strBattery;
    std::vector<SDirect> m_direct;
    std::vector<SScanner> m_scanners;
    std::string m_strThrowIn; // a probe that throws
};

class CScriptedProbes final : public IDetectionProbes {
public:
    CScriptedProbes(const SPractice& p, Log& log) : m_p(p), m_log(log) {}

    const CMateriel& Model() const override { return m_m; }
    bool StartPlateScannerListener() override { return Note("listen", true); }
    void StopPlateScannerListener() override { Note("unlisten", true); }
    bool HasBridge2820() override { return Note("HasBridge2820", m_p.m_b2820); }
    bool HasBridge28285() override { return Note("HasBridge28285", m_p.m_b28285); }
    std::wstring GetDriverText(int nKind) override {
        Note("GetDriverText(" + std::to_string(nKind) + ")", true);
        auto it = m_p.m_drivers.find(nKind);
        return it == m_p.m_drivers.end() ? L"" : it->second;
    }
    bool ProbeCamera() override { return Note("ProbeCamera", m_p.m_bCamera); }
    std::wstring GetCameraStandard() override { return L"PAL"; }
    std::wstring GetCameraSerial() override { return L"CAM0042"; }
    std::wstring GetCameraFirmware() override { return L"2.A"; }
    std::wstring GetCameraVoltage() override { return L"4980"; }
    std::wstring GetCameraProgramVersion() override { return L"Vuemo.exe - v.2.0.0"; }
    bool FindWiredSensor() override {
        if (!m_p.m_strWired.empty())
            m_m.m_strWiredSensor = m_p.m_strWired;
        return Note("FindWiredSensor", !m_p.m_strWired.empty());
    }
    bool DetectWireless() override {
        m_m.m_strWirelessPort = m_p.m_strWireless;
        return Note("DetectWireless", !m_p.m_strWireless.empty());
    }
    bool FindDirectSensor() override {
        m_m.m_strDirectSensor[0] = m_p.m_direct.empty() ? L"" : m_p.m_direct[0].m_strDevice;
        return Note("FindDirectSensor", !m_p.m_direct.empty());
    }
    bool FindSecondDirectSensor() override {
        if (m_p.m_direct.size() > 1)
            m_m.m_strDirectSensor[1] = m_p.m_direct[1].m_strDevice;
        return Note("FindSecondDirectSensor", m_p.m_direct.size() > 1);
    }
    bool ReadSensorIdentity(const std::wstring& device) override {
        const SIdentity& id = Identity(device);
        m_m.m_strSensorSerial = id.m_strSensorSerial;
        m_m.m_strSensorExposures = id.m_strExposures;
        return Note("ReadSensorIdentity " + Narrow(device), true);
    }
    bool ReadBoxIdentity(const std::wstring& device) override {
        const SIdentity& id = Identity(device);
        m_m.m_strBoxSerial = id.m_strBoxSerial;
        m_m.m_strBoxFirmware = id.m_strBoxFirmware;
        return Note("ReadBoxIdentity " + Narrow(device), true);
    }
    bool ReadLinkTypeText(const std::wstring& device) override {
        m_m.m_strLinkType = Identity(device).m_strLinkType;
        return Note("ReadLinkTypeText " + Narrow(device), true);
    }
    bool ReadBatteryLevel(const std::wstring& device) override {
        m_m.m_strBattery = m_p.m_strBattery;
        return Note("ReadBatteryLevel " + Narrow(device), true);
    }
    bool PrepareDirectSensor(const std::wstring& device) override {
        return Note("PrepareDirectSensor " + Narrow(device), true);
    }
    bool ReadDirectSensorDetails(const std::wstring& device) override {
        const int i = device == m_m.m_strDirectSensor[1] ? 1 : 0;
        for (const SDirect& d : m_p.m_direct)
            if (d.m_strDevice == device) {
                m_m.m_strSensorSize[i] = d.m_strSize;
                m_m.m_strUsbMv[i] = d.m_strUsb;
                m_m.m_strCpuMv[i] = d.m_strCpu;
                m_m.m_strCpldMv[i] = d.m_strCpld;
                m_m.m_strSensorMv[i] = d.m_strSensorMv;
                m_m.m_strCpldVersion[i] = d.m_strCpldVersion;
                m_m.m_strPhotodiode[i] = d.m_strPhotodiode;
                m_m.m_nFaultCode[i] = d.m_nFault;
                m_m.m_nStateFlags[i] = d.m_nState;
            }
        return Note("ReadDirectSensorDetails " + Narrow(device), true);
    }
    void StopServer() override { Note("StopServer", true); }
    bool ProbePlateScannerGen1() override { return Note("ProbePlateScannerGen1", m_p.m_bGen1); }
    std::wstring GetPlateScannerGen1Driver() override { return L"4.2.1"; }
    int GetPlateScannerCount() override {
        Note("GetPlateScannerCount", true);
        return static_cast<int>(m_p.m_scanners.size());
    }
    std::wstring GetPlateScannerSerial(int i) override { return Scanner(i).m_strSerial; }
    std::wstring GetPlateScannerIp(int i) override { return Scanner(i).m_strIp; }
    std::wstring GetPlateScannerFirmware(int i) override { return Scanner(i).m_strFirmware; }

private:
    bool Note(const std::string& call, bool result) {
        m_log.push_back(call);
        if (!m_p.m_strThrowIn.empty() && call.rfind(m_p.m_strThrowIn, 0) == 0)
            throw std::runtime_error("probe failed");
        return result;
    }
    const SIdentity& Identity(const std::wstring& device) const {
        if (device == m_p.m_strWired)
            return m_p.m_wired;
        if (device == m_p.m_strWireless)
            return m_p.m_wireless;
        for (const SDirect& d : m_p.m_direct)
            if (d.m_strDevice == device)
                return d.m_id;
        ADD_FAILURE() << "read of an unknown device " << Narrow(device);
        static const SIdentity kNone;
        return kNone;
    }
    const SScanner& Scanner(int i) const { return m_p.m_scanners.at(static_cast<size_t>(i)); }

    const SPractice& m_p;
    Log& m_log;
    CMateriel m_m;
};

struct SRun {
    Log m_log;
    CRecordingTree m_tree;
    CRecordingForm m_form{m_log};
    CDetectionRun m_run;

    bool Go(const SPractice& practice) {
        CScriptedProbes probes(practice, m_log);
        return m_run.RunDetection(m_tree, m_form, probes);
    }
};

// The pieces of the practices below.
const std::wstring kWiredBox = L"\\\\?\\usb#vid_0547&pid_123a#5&1a2b";
const std::wstring kDirect0 = L"\\\\?\\usb#vid_04b4&pid_0001#7&aa01";
const std::wstring kDirect1 = L"\\\\?\\usb#vid_04b4&pid_0001#7&bb02";

SPractice WiredPractice() {
    SPractice p;
    p.m_strWired = kWiredBox;
    p.m_wired = {L"1122334455", L"1560", L"ABCDEF", L"0213", L"USB 2.0-1.1"};
    p.m_drivers[1] = L"tessel.sys - v.3.2.0";
    return p;
}

SDirect DirectSensor(const std::wstring& device, const std::wstring& boxSerial, int32_t nFault,
                     int32_t nState) {
    SDirect d;
    d.m_strDevice = device;
    d.m_id = {L"S" + boxSerial, L"812", boxSerial, L"1.07", L"USB 2.0"};
    d.m_strSize = L"Size 2";
    d.m_strUsb = L"5012";
    d.m_strCpu = L"3301";
    d.m_strCpld = L"1802";
    d.m_strSensorMv = L"2498";
    d.m_strCpldVersion = L"12Ch";
    d.m_strPhotodiode = L"77";
    d.m_nFault = nFault;
    d.m_nState = nState;
    return d;
}

// The subtree of a sensor made by DirectSensor() above, with its variable lines.
std::string DirectLines(const std::string& boxSerial, const std::string& port,
                        const std::string& fault, const std::string& technology,
                        const std::string& compatibility, const std::string& state) {
    return std::string("  3 Sensor") + (fault.empty() ? "" : " +") + "\n" +
           (fault.empty() ? "" : "    2 " + fault + "\n") +
           "    6 Exp: 812\n"
           "    5 CPLD: 12Ch\n"
           "    7 Photodiode: 77\n"
           "    7 Type: Size 2\n"
           "    7 " +
           technology +
           "\n"
           "  0 Controller\n" +
           (compatibility.empty() ? "" : "    10 " + compatibility + "\n") + "    7 Port: " + port +
           "\n"
           "    6 Voltages\n"
           "      6 USB (mV): 5012\n"
           "      6 CPU (mV): 3301\n"
           "      6 CPLD (mV): 1802\n"
           "      6 Sensor (mV): 2498\n"
           "    7 State: " +
           state +
           "\n"
           "    7 S/N: " +
           boxSerial +
           "\n"
           "    5 Firmware: 1.07\n"
           "    4 Driver: CyUsb3.sys - v.1.2.3\n";
}

} // namespace

TEST(DetectionRunTree, EachPracticeGivesItsTree) {
    const std::string kWiredTree = "3 X-Ray\n"
                                   "  3 Sensor\n"
                                   "    7 S/N: 1122334455\n"
                                   "    6 Exp: 1560\n"
                                   "  0 Controller\n"
                                   "    7 Port: \\\\?\\usb#vid_0547&pid_123a#5&1a2b\n"
                                   "    0 Type: USB 2.0-1.1\n"
                                   "    7 S/N: ABCDEF\n"
                                   "    5 Firmware: 0213\n"
                                   "    4 Driver: tessel.sys - v.3.2.0\n";
    const std::string kState41 = "[  ] [OK] [  ] [  ] [  ] [  ] [  ] [ACQ]";
    struct Case {
        const char* name;
        SPractice practice;
        std::string tree;
    };
    std::vector<Case> cases;
    cases.push_back({"nothing attached", SPractice{}, "2 None found\n"});
    {
        SPractice p;
        p.m_b2820 = true; // its driver has no version text
        cases.push_back({"USB2820 without driver", p, "0 USB2820\n  2 Driver: None found\n"});
    }
    {
        SPractice p;
        p.m_b28285 = true;
        p.m_bCamera = true; // answers, but only the USB2820 root shows a camera
        p.m_drivers[11] = L"usb28xxbga.sys - v.5.2.8";
        cases.push_back(
            {"camera without USB2820", p, "0 USB28285\n  4 Driver: usb28xxbga.sys - v.5.2.8\n"});
    }
    {
        SPractice p;
        p.m_b2820 = p.m_b28285 = p.m_bCamera = true;
        p.m_drivers[10] = L"emBDA.sys - \u00DF.1.0.12";
        p.m_drivers[11] = L"usb28xxbga.sys - v.5.2.8";
        cases.push_back({"camera under USB2820", p,
                         "0 USB2820\n"
                         "  4 Driver: emBDA.sys - \u00DF.1.0.12\n" // UTF-8 of the sharp s
                         "  0 Camera: K610 / VERICAM\n"
                         "    7 Type: PAL\n"
                         "    7 S/N: CAM0042\n"
                         "    5 Firmware: 2.A\n"
                         "    6 Voltage (mV): 4980\n"
                         "    4 Management Software: Vuemo.exe - v.2.0.0\n"
                         "0 USB28285\n"
                         "  4 Driver: usb28xxbga.sys - v.5.2.8\n"});
    }
    cases.push_back({"wired sensor", WiredPractice(), kWiredTree});
    {
        SPractice p;
        p.m_strWireless = L"\\\\.\\COM7";
        p.m_wireless = {L"9988", L"31", L"W-0001", L"0300", L"Wireless"};
        p.m_strBattery = L"5600 mV";
        p.m_drivers[1] = L"BTHUSB.sys - v.6.1.7601";
        cases.push_back({"wireless sensor", p,
                         "3 X-Ray\n"
                         "  3 Sensor\n"
                         "    7 S/N: 9988\n"
                         "    6 Exp: 31\n"
                         "  1 Controller\n"
                         "    7 Port: \\\\.\\COM7\n"
                         "    7 S/N: W-0001\n"
                         "    5 Firmware: 0300\n"
                         "    8 Batteries: 5600 mV\n"
                         "    4 Driver: BTHUSB.sys - v.6.1.7601\n"});
    }
    {
        SPractice p;
        p.m_direct.push_back(DirectSensor(kDirect0, L"250000", 0x119, 0x61));
        p.m_drivers[2] = L"CyUsb3.sys - v.1.2.3";
        cases.push_back(
            {"direct sensor with a fault", p,
             "3 X-Ray (Tessel/Tessel\u00B2) +\n" +
                 DirectLines("250000", Narrow(kDirect0),
                             "FAULT: [19] - Defective Mainboard- Defective Sensor- Broken Sensor",
                             "Technology: CsI", "Compatibility: Orbex Unity",
                             "[  ] [OK] [ERR] [  ] [  ] [  ] [  ] [ACQ]")});
    }
    {
        SPractice p;
        p.m_direct.push_back(DirectSensor(kDirect0, L"150000", 0x19, 0x41));
        p.m_direct.push_back(DirectSensor(kDirect1, L"350000", 0xFF, 0x20));
        p.m_drivers[2] = L"CyUsb3.sys - v.1.2.3";
        cases.push_back(
            {"two direct sensors", p,
             "3 X-Ray (Tessel/Tessel\u00B2)\n" +
                 DirectLines("150000", Narrow(kDirect0), "", "Technology: Gadox", "", kState41) +
                 DirectLines("350000", Narrow(kDirect1), "", "Technology: Gadox",
                             "Compatibility: Orbex Unity",
                             "[  ] [  ] [ERR] [  ] [  ] [  ] [  ] [  ]")});
    }
    {
        SPractice p;
        p.m_bGen1 = true;
        p.m_scanners = {{L"LG2-0042", L"192.168.1.40", L"6.1.2 (LG)"},
                        {L"LG2-0043", L"192.168.1.41", L"01.34"}};
        cases.push_back({"plate scanners", p,
                         "9 X-Ray (Lumeno generation-1)\n"
                         "  4 Driver: 4.2.1\n"
                         "11 X-Ray (Lumeno generation-2)\n"
                         "  7 S/N: LG2-0042\n"
                         "  5 Firmware: 6.1.2x\n"
                         "  10 IP: 192.168.1.40\n"
                         "11 X-Ray (Lumeno generation-2)\n"
                         "  7 S/N: LG2-0043\n"
                         "  5 Firmware: 01.34\n"
                         "  10 IP: 192.168.1.41\n"});
    }
    {
        SPractice p = WiredPractice();
        p.m_b2820 = true;
        p.m_drivers[10] = L"emBDA.sys";
        p.m_bGen1 = true;
        cases.push_back({"roots in probe order", p,
                         "0 USB2820\n  4 Driver: emBDA.sys\n" + kWiredTree +
                             "9 X-Ray (Lumeno generation-1)\n  4 Driver: 4.2.1\n"});
    }
    for (const Case& c : cases) {
        SRun run;
        EXPECT_TRUE(run.Go(c.practice)) << c.name;
        EXPECT_EQ(run.m_tree.Render(), c.tree) << c.name;
    }
}

TEST(DetectionRunTree, WaitingAndNoneFoundLinesInTheFormsLanguage) {
    SRun run;
    run.m_form.m_nOffset = 0;
    std::string seen;
    run.m_form.m_onStep = [&] {
        if (seen.empty())
            seen = run.m_tree.Render();
    };
    run.Go(SPractice{});
    EXPECT_EQ(seen, "7 D\u00E9tection mat\u00E9rielle. Veuillez patienter...\n");
    EXPECT_EQ(run.m_tree.Render(), "2 Aucun trouv\u00E9\n");
    // A second run starts from an empty tree again.
    run.m_form.m_nOffset = 100;
    run.Go(WiredPractice());
    EXPECT_EQ(run.m_tree.m_nClears, 2);
    EXPECT_EQ(run.m_tree.Render().rfind("3 X-Ray\n", 0), 0u);
}

TEST(DetectionRunOrder, ProbesAndBusyStepsOfAFullPractice) {
    SPractice p = WiredPractice();
    p.m_b2820 = p.m_b28285 = p.m_bCamera = p.m_bGen1 = true;
    p.m_strWireless = L"COM7";
    p.m_wireless = {L"9988", L"31", L"W-0001", L"0300", L"Wireless"};
    p.m_direct.push_back(DirectSensor(kDirect0, L"250000", 0x08, 0x20));
    p.m_direct.push_back(DirectSensor(kDirect1, L"150000", 0, 0));
    p.m_scanners = {{L"LG2-0042", L"192.168.1.40", L"6.1.2 (LG)"}};
    SRun run;
    ASSERT_TRUE(run.Go(p));
    const std::string w = Narrow(kWiredBox), d0 = Narrow(kDirect0), d1 = Narrow(kDirect1);
    const Log expected = {"shorten",
                          "step(restart)",
                          "listen",
                          "HasBridge2820",
                          "HasBridge28285",
                          "ProbeCamera",
                          "GetDriverText(10)",
                          "step",
                          "step", // USB2820 and its camera
                          "GetDriverText(11)",
                          "step", // USB28285
                          "step",
                          "FindWiredSensor",
                          "ReadSensorIdentity " + w,
                          "ReadBoxIdentity " + w,
                          "ReadLinkTypeText " + w,
                          "GetDriverText(1)", // wired subtree
                          "step",
                          "DetectWireless",
                          "ReadSensorIdentity COM7",
                          "ReadBoxIdentity COM7",
                          "ReadLinkTypeText COM7",
                          "ReadBatteryLevel COM7",
                          "GetDriverText(1)", // wireless subtree
                          "step",
                          "FindDirectSensor",
                          "step",
                          "step", // the direct root
                          "ReadSensorIdentity " + d0,
                          "step",
                          "ReadBoxIdentity " + d0,
                          "step",
                          "ReadLinkTypeText " + d0,
                          "step",
                          "PrepareDirectSensor " + d0,
                          "step",
                          "ReadDirectSensorDetails " + d0,
                          "step",
                          "step",
                          "step",
                          "step",
                          "step",
                          "step",
                          "GetDriverText(2)",
                          "step", // first direct sensor, with a fault
                          "FindSecondDirectSensor",
                          "ReadSensorIdentity " + d1,
                          "ReadBoxIdentity " + d1,
                          "ReadLinkTypeText " + d1,
                          "ReadDirectSensorDetails " + d1,
                          "step",
                          "step",
                          "step",
                          "step",
                          "GetDriverText(2)",
                          "step", // second, without one
                          "step",
                          "ProbePlateScannerGen1",
                          "step",
                          "step",
                          "GetPlateScannerCount",
                          "StopServer",
                          "unlisten",
                          "step",
                          "restore"};
    EXPECT_EQ(run.m_log, expected);
    const SDetectionFlags& f = run.m_run.Flags();
    EXPECT_TRUE(f.m_bHasBridge2820 && f.m_bHasBridge28285 && f.m_bHasWiredSensor &&
                f.m_bHasWirelessSensor && f.m_bHasDirectSensor && f.m_bHasPlateScannerGen1);

    // The next run with nothing attached rewrites every flag.
    ASSERT_TRUE(run.Go(SPractice{}));
    const SDetectionFlags& g = run.m_run.Flags();
    EXPECT_FALSE(g.m_bHasBridge2820 || g.m_bHasBridge28285 || g.m_bHasWiredSensor ||
                 g.m_bHasWirelessSensor || g.m_bHasDirectSensor || g.m_bHasPlateScannerGen1);
}

// A click on Refresh handled inside a busy step must not start a second run
// over the first one.
TEST(DetectionRunGuard, RunAskedForDuringARunIsRefused) {
    SRun run;
    const SPractice practice = WiredPractice();
    CScriptedProbes inner(practice, run.m_log);
    int nNested = 0, nRefused = 0;
    run.m_form.m_onStep = [&] {
        EXPECT_TRUE(run.m_run.IsRunning());
        ++nNested;
        if (!run.m_run.RunDetection(run.m_tree, run.m_form, inner))
            ++nRefused;
    };
    EXPECT_TRUE(run.Go(practice));
    EXPECT_GT(nNested, 0);
    EXPECT_EQ(nRefused, nNested);
    EXPECT_FALSE(run.m_run.IsRunning());
    EXPECT_EQ(run.m_tree.m_nClears, 1);
    run.m_form.m_onStep = nullptr;
    EXPECT_TRUE(run.Go(practice)); // and the next one runs
}

TEST(DetectionRunGuard, ThrowingProbeCountsAsFoundNothing) {
    SPractice p = WiredPractice();
    p.m_strThrowIn = "FindWiredSensor";
    p.m_bGen1 = true;
    SRun run;
    EXPECT_TRUE(run.Go(p));
    EXPECT_FALSE(run.m_run.Flags().m_bHasWiredSensor);
    EXPECT_EQ(run.m_tree.Render(), "9 X-Ray (Lumeno generation-1)\n  4 Driver: 4.2.1\n");
    EXPECT_EQ(LastCaughtException().m_strWhere, "FindWiredSensor");
    EXPECT_EQ(std::vector<std::string>(run.m_log.end() - 4, run.m_log.end()),
              (Log{"StopServer", "unlisten", "step", "restore"}));
    EXPECT_FALSE(run.m_run.IsRunning());
}

// An exception out of the form (the dialog's guard catches it further up)
// must not leave the run marked as running, which would refuse every later
// Refresh, nor the server running and the tree short.
TEST(DetectionRunGuard, RunLeftByAnExceptionStillCleansUp) {
    SRun run;
    int nSteps = 0;
    run.m_form.m_onStep = [&] {
        if (++nSteps == 4)
            throw std::runtime_error("form failed");
    };
    EXPECT_THROW(run.Go(WiredPractice()), std::runtime_error);
    EXPECT_FALSE(run.m_run.IsRunning());
    EXPECT_EQ(std::vector<std::string>(run.m_log.end() - 3, run.m_log.end()),
              (Log{"StopServer", "unlisten", "restore"}));
    run.m_form.m_onStep = nullptr;
    EXPECT_TRUE(run.Go(WiredPractice()));
}

TEST(DetectionRunGuard, LineThatCannotBeInsertedTakesItsChildrenAlong) {
    SRun run;
    run.m_tree.m_nFailAppends = 2; // the waiting line and the wired root
    EXPECT_TRUE(run.Go(WiredPractice()));
    // No orphan landed among the roots (the fake fails on any line under a
    // missing parent), so the tree is empty and says so.
    EXPECT_EQ(run.m_tree.Render(), "2 None found\n");
}

TEST(DetectionRunTexts, DirectSensorLineRules) {
    struct Fault {
        int32_t code, state;
        const char* text;
    } faults[] = {
        {0x19, 0x20, "FAULT: [19] - Defective Mainboard- Defective Sensor- Broken Sensor"},
        {0x02, 0x20, "FAULT: [02] - Defective Mainboard"},
        {0x08, 0xFF, "FAULT: [08] - Defective Sensor"},
        {0xE0, 0x20, "FAULT: [E0] "},                  // high bits carry no text
        {0x3A10, 0x20, "FAULT: [10] - Broken Sensor"}, // only the low byte counts
        {-2, 0x20, "FAULT: [FE] - Defective Mainboard- Defective Sensor- Broken Sensor"},
        {0x19, 0xDF, ""}, // bit 0x20 clear
        {0x00, 0x20, ""},
        {0xFF, 0x20, ""},
        {0x1FF, 0x20, ""},
    };
    for (const Fault& f : faults)
        EXPECT_EQ(Narrow(FaultLineText(f.code, f.state)), f.text) << f.code << "/" << f.state;

    struct Serial {
        const wchar_t* serial;
        const char* technology;
        bool compatibility;
    } serials[] = {
        {L"250000", "Technology: CsI", true},
        {L"350000", "Technology: Gadox", true},
        {L"150000", "Technology: Gadox", false},
        {L"ABCDEF", "Technology: CsI", false},
        {L"99999", "Technology: CsI", false},
        {L"100000", "Technology: Gadox", false},
        {L"199999", "Technology: Gadox", false},
        {L"200000", "Technology: CsI", true},
        {L"300000", "Technology: Gadox", true},
        {L"399999", "Technology: Gadox", true},
        {L"400000", "Technology: CsI", false},
        {L"  +150000", "Technology: Gadox", false},
        {L"150000-B", "Technology: Gadox", false},
        {L"-150000", "Technology: CsI", false},
        {L"(unknown)", "Technology: CsI", false},
        {L"", "Technology: CsI", false},
        {L"99999999999999999999", "Technology: CsI", false},
    };
    for (const Serial& s : serials) {
        EXPECT_EQ(Narrow(TechnologyText(s.serial)), s.technology) << Narrow(s.serial);
        EXPECT_EQ(HasCompatibilityLine(s.serial), s.compatibility) << Narrow(s.serial);
    }

    struct State {
        int32_t flags;
        const char* text;
    } states[] = {
        {0x41, "[  ] [OK] [  ] [  ] [  ] [  ] [  ] [ACQ]"},
        {0x00, "[  ] [  ] [  ] [  ] [  ] [  ] [  ] [  ]"},
        {0xFF, "[INIT] [OK] [ERR] [OFF] [ON] [ARMD] [DATA] [ACQ]"},
        {0x19E, "[INIT] [  ] [  ] [OFF] [ON] [ARMD] [DATA] [  ]"},
    };
    for (const State& s : states)
        EXPECT_EQ(Narrow(StateFlagsText(s.flags)), s.text) << s.flags;

    EXPECT_EQ(PlateScannerFirmwareText(L"6.1.2 (LG)"), L"6.1.2x");
    EXPECT_EQ(PlateScannerFirmwareText(L"1 (LG) (LG)"), L"1xx");
    EXPECT_EQ(PlateScannerFirmwareText(L"01.34 (LG"), L"01.34 (LG");
}

// The probes over a model without a machine: DetectWireless clears what an
// earlier run found, so the flag follows the current run.
TEST(DetectionRunProbes, WirelessCommandThatFailsEmptiesThePort) {
    CMateriel m;
    m.m_strWirelessPort = L"COM7";
    struct SNoBridge : ICameraBridge {
        int OpenInterface(const char*) override { return 0; }
        int32_t SetI2C_I(uint32_t, uint32_t, uint32_t, uint32_t*) override { return 1; }
        int32_t GetI2C_I(uint32_t, uint32_t, uint32_t, uint32_t*) override { return 1; }
        int32_t GetI2C_NI(uint32_t, uint32_t, uint32_t*) override { return 1; }
        int32_t GetPIO(uint32_t*) override { return 1; }
    } bridge;
    struct SNoClock : IProbeClock {
        uint64_t m_nNow = 0;
        uint64_t NowMs() override { return m_nNow; }
        void SleepMs(uint32_t n) override { m_nNow += n; }
    } clock;
    const SCameraProbePorts camera{bridge, bridge, clock, [](const std::string& s) {
                                       return std::wstring(s.begin(), s.end());
                                   }};
    const std::wstring imagesDir;
    CMaterielProbes probes({m, camera, nullptr, imagesDir, 0});
    EXPECT_FALSE(probes.DetectWireless());
    EXPECT_EQ(m.m_strWirelessPort, L"");

    Log log;
    CRecordingTree tree;
    CRecordingForm form(log);
    CDetectionRun run;
    EXPECT_TRUE(run.RunDetection(tree, form, probes));
    EXPECT_EQ(tree.Render(), "2 None found\n");
}
