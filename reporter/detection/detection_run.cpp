#include "detection_run.h"

#include "guard.h"
#include "materiel.h"

#include <cwchar>
#include <vector>

namespace ostrel {

namespace {

// One probe that throws must not end the run half-way (tree shortened,
// server left running): each call is guarded and fails like a probe that
// found nothing.
class CGuardedProbes final : public IDetectionProbes {
public:
    explicit CGuardedProbes(IDetectionProbes& probes) : m_probes(probes) {}

    const CMateriel& Model() const override { return m_probes.Model(); }
    bool StartPlateScannerListener() override {
        return Bool("StartPlateScannerListener",
                    [&] { return m_probes.StartPlateScannerListener(); });
    }
    void StopPlateScannerListener() override {
        Bool("StopPlateScannerListener", [&] {
            m_probes.StopPlateScannerListener();
            return true;
        });
    }
    bool HasBridge2820() override {
        return Bool("HasBridge2820", [&] { return m_probes.HasBridge2820(); });
    }
    bool HasBridge28285() override {
        return Bool("HasBridge28285", [&] { return m_probes.HasBridge28285(); });
    }
    std::wstring GetDriverText(int nKind) override {
        return Text("GetDriverText", [&] { return m_probes.GetDriverText(nKind); });
    }
    bool ProbeCamera() override {
        return Bool("ProbeCamera", [&] { return m_probes.ProbeCamera(); });
    }
    std::wstring GetCameraStandard() override {
        return Text("GetCameraStandard", [&] { return m_probes.GetCameraStandard(); });
    }
    std::wstring GetCameraSerial() override {
        return Text("GetCameraSerial", [&] { return m_probes.GetCameraSerial(); });
    }
    std::wstring GetCameraFirmware() override {
        return Text("GetCameraFirmware", [&] { return m_probes.GetCameraFirmware(); });
    }
    std::wstring GetCameraVoltage() override {
        return Text("GetCameraVoltage", [&] { return m_probes.GetCameraVoltage(); });
    }
    std::wstring GetCameraProgramVersion() override {
        return Text("GetCameraProgramVersion", [&] { return m_probes.GetCameraProgramVersion(); });
    }
    bool FindWiredSensor() override {
        return Bool("FindWiredSensor", [&] { return m_probes.FindWiredSensor(); });
    }
    bool DetectWireless() override {
        return Bool("DetectWireless", [&] { return m_probes.DetectWireless(); });
    }
    bool FindDirectSensor() override {
        return Bool("FindDirectSensor", [&] { return m_probes.FindDirectSensor(); });
    }
    bool FindSecondDirectSensor() override {
        return Bool("FindSecondDirectSensor", [&] { return m_probes.FindSecondDirectSensor(); });
    }
    bool ReadSensorIdentity(const std::wstring& device) override {
        return Bool("ReadSensorIdentity", [&] { return m_probes.ReadSensorIdentity(device); });
    }
    bool ReadBoxIdentity(const std::wstring& device) override {
        return Bool("ReadBoxIdentity", [&] { return m_probes.ReadBoxIdentity(device); });
    }
    bool ReadLinkTypeText(const std::wstring& device) override {
        return Bool("ReadLinkTypeText", [&] { return m_probes.ReadLinkTypeText(device); });
    }
    bool ReadBatteryLevel(const std::wstring& device) override {
        return Bool("ReadBatteryLevel", [&] { return m_probes.ReadBatteryLevel(device); });
    }
    bool PrepareDirectSensor(const std::wstring& device) override {
        return Bool("PrepareDirectSensor", [&] { return m_probes.PrepareDirectSensor(device); });
    }
    bool ReadDirectSensorDetails(const std::wstring& device) override {
        return Bool("ReadDirectSensorDetails",
                    [&] { return m_probes.ReadDirectSensorDetails(device); });
    }
    void StopServer() override {
        Bool("StopServer", [&] {
            m_probes.StopServer();
            return true;
        });
    }
    bool ProbePlateScannerGen1() override {
        return Bool("ProbePlateScannerGen1", [&] { return m_probes.ProbePlateScannerGen1(); });
    }
    std::wstring GetPlateScannerGen1Driver() override {
        return Text("GetPlateScannerGen1Driver",
                    [&] { return m_probes.GetPlateScannerGen1Driver(); });
    }
    int GetPlateScannerCount() override {
        return GuardCall("GetPlateScannerCount", 0,
                         [&] { return m_probes.GetPlateScannerCount(); });
    }
    std::wstring GetPlateScannerSerial(int i) override {
        return Text("GetPlateScannerSerial", [&] { return m_probes.GetPlateScannerSerial(i); });
    }
    std::wstring GetPlateScannerIp(int i) override {
        return Text("GetPlateScannerIp", [&] { return m_probes.GetPlateScannerIp(i); });
    }
    std::wstring GetPlateScannerFirmware(int i) override {
        return Text("GetPlateScannerFirmware", [&] { return m_probes.GetPlateScannerFirmware(i); });
    }

private:
    template <typename Body> static bool Bool(const char* pszWhere, Body&& body) {
        return GuardCall(pszWhere, false, body);
    }
    // An empty text is what a probe gives when it found nothing.
    template <typename Body> static std::wstring Text(const char* pszWhere, Body&& body) {
        std::wstring text;
        GuardCall(pszWhere, false, [&] {
            text = body();
            return true;
        });
        return text;
    }

    IDetectionProbes& m_probes;
};

// The run's view of the tree: children of a line that could not be inserted
// are left out rather than landing among the roots.
class CTreeWriter {
public:
    explicit CTreeWriter(IDeviceTreeSink& sink) : m_sink(sink) {}

    TreeLine Add(TreeLine parent, const std::wstring& text, int nIcon) {
        if (parent == kNoTreeLine)
            return kNoTreeLine;
        return m_sink.Append(parent, text, nIcon);
    }
    TreeLine Root(const std::wstring& text, int nIcon) { return Add(kTreeRoot, text, nIcon); }
    void Expand(TreeLine line) {
        if (line != kNoTreeLine)
            m_sink.Expand(line);
    }
    // "Driver: None found" for a driver that has no version text.
    void DriverLine(TreeLine parent, const std::wstring& driver) {
        if (driver.empty())
            Add(parent, L"Driver: None found", kIconMissing);
        else
            Add(parent, L"Driver: " + driver, kIconDriver);
    }

private:
    IDeviceTreeSink& m_sink;
};

struct SLineText {
    std::wstring m_strText;
    int m_nIcon;
};

// The first-generation sensors' subtree (wired or wireless): the root, the
// "Sensor" branch, then the controller with its own lines and the driver.
void BoxSensorSubtree(CTreeWriter& tree, IDetectionProbes& probes, int nControllerIcon,
                      const std::vector<SLineText>& controllerLines) {
    const CMateriel& m = probes.Model();
    const TreeLine root = tree.Root(L"X-Ray", kIconXRay);
    const TreeLine sensor = tree.Add(root, L"Sensor", kIconXRay);
    tree.Add(sensor, L"S/N: " + m.m_strSensorSerial, kIconValue);
    tree.Add(sensor, L"Exp: " + m.m_strSensorExposures, kIconVoltage);
    const TreeLine controller = tree.Add(root, L"Controller", nControllerIcon);
    for (const SLineText& line : controllerLines)
        tree.Add(controller, line.m_strText, line.m_nIcon);
    tree.Add(controller, L"Driver: " + probes.GetDriverText(1), kIconDriver);
}

void WiredSubtree(CTreeWriter& tree, IDetectionProbes& probes) {
    const CMateriel& m = probes.Model();
    BoxSensorSubtree(tree, probes, kIconBridge,
                     {{L"Port: " + m.m_strWiredSensor, kIconValue},
                      {L"Type: " + m.m_strLinkType, kIconBridge},
                      {L"S/N: " + m.m_strBoxSerial, kIconValue},
                      {L"Firmware: " + m.m_strBoxFirmware, kIconFirmware}});
}

void WirelessSubtree(CTreeWriter& tree, IDetectionProbes& probes) {
    const CMateriel& m = probes.Model();
    BoxSensorSubtree(tree, probes, kIconWirelessController,
                     {{L"Port: " + m.m_strWirelessPort, kIconValue},
                      {L"S/N: " + m.m_strBoxSerial, kIconValue},
                      {L"Firmware: " + m.m_strBoxFirmware, kIconFirmware},
                      {L"Batteries: " + m.m_strBattery, kIconBattery}});
}

void DirectSubtree(CTreeWriter& tree, TreeLine root, int i, IDetectionProbes& probes,
                   IDetectionForm& form) {
    const CMateriel& m = probes.Model();
    const TreeLine sensor = tree.Add(root, L"Sensor", kIconXRay);
    form.StepBusyIndicator(false);
    const std::wstring fault = FaultLineText(m.m_nFaultCode[i], m.m_nStateFlags[i]);
    if (!fault.empty()) {
        tree.Add(sensor, fault, kIconMissing);
        tree.Expand(sensor);
        tree.Expand(root);
        form.StepBusyIndicator(false);
    }
    tree.Add(sensor, L"Exp: " + m.m_strSensorExposures, kIconVoltage);
    form.StepBusyIndicator(false);
    tree.Add(sensor, L"CPLD: " + m.m_strCpldVersion[i], kIconFirmware);
    tree.Add(sensor, L"Photodiode: " + m.m_strPhotodiode[i], kIconValue);
    tree.Add(sensor, L"Type: " + m.m_strSensorSize[i], kIconValue);
    tree.Add(sensor, TechnologyText(m.m_strBoxSerial), kIconValue);
    form.StepBusyIndicator(false);

    const TreeLine controller = tree.Add(root, L"Controller", kIconBridge);
    if (HasCompatibilityLine(m.m_strBoxSerial))
        tree.Add(controller, L"Compatibility: Orbex Unity", kIconNetwork);
    tree.Add(controller, L"Port: " + m.m_strDirectSensor[i], kIconValue);
    form.StepBusyIndicator(false);
    const TreeLine voltages = tree.Add(controller, L"Voltages", kIconVoltage);
    tree.Add(voltages, L"USB (mV): " + m.m_strUsbMv[i], kIconVoltage);
    tree.Add(voltages, L"CPU (mV): " + m.m_strCpuMv[i], kIconVoltage);
    tree.Add(voltages, L"CPLD (mV): " + m.m_strCpldMv[i], kIconVoltage);
    tree.Add(voltages, L"Sensor (mV): " + m.m_strSensorMv[i], kIconVoltage);
    tree.Add(controller, L"State: " + StateFlagsText(m.m_nStateFlags[i]), kIconValue);
    tree.Add(controller, L"S/N: " + m.m_strBoxSerial, kIconValue);
    tree.Add(controller, L"Firmware: " + m.m_strBoxFirmware, kIconFirmware);
    tree.Add(controller, L"Driver: " + probes.GetDriverText(2), kIconDriver);
    form.StepBusyIndicator(false);
}

// The C library's conversion, as the serial-number rules are defined by it.
long SerialNumber(const std::wstring& text) {
    return std::wcstol(text.c_str(), nullptr, 10);
}

// Clears the running flag however the run ends; a run left by an exception
// still stops the server and gives the tree its size again.
class CRunScope {
public:
    CRunScope(bool& bRunning, IDetectionForm& form, IDetectionProbes& probes)
        : m_bRunning(bRunning), m_form(form), m_probes(probes) {
        m_bRunning = true;
    }
    ~CRunScope() {
        if (!m_bFinished) {
            m_probes.StopServer();
            m_probes.StopPlateScannerListener();
            GuardCall("RunDetection", false, [&] {
                m_form.RestoreTree();
                return true;
            });
        }
        m_bRunning = false;
    }
    CRunScope(const CRunScope&) = delete;
    CRunScope& operator=(const CRunScope&) = delete;
    void Finished() { m_bFinished = true; }

private:
    bool& m_bRunning;
    IDetectionForm& m_form;
    IDetectionProbes& m_probes;
    bool m_bFinished = false;
};

} // namespace

std::wstring StateFlagsText(int32_t nStateFlags) {
    static const wchar_t* const kSet[8] = {L"[INIT] ", L"[OK] ",   L"[ERR] ",  L"[OFF] ",
                                           L"[ON] ",   L"[ARMD] ", L"[DATA] ", L"[ACQ]"};
    std::wstring text;
    for (int bit = 0; bit < 8; ++bit) {
        const bool bLast = bit == 7;
        if (nStateFlags & (0x80 >> bit))
            text += kSet[bit];
        else
            text += bLast ? L"[  ]" : L"[  ] ";
    }
    return text;
}

std::wstring FaultLineText(int32_t nFaultCode, int32_t nStateFlags) {
    const unsigned b = static_cast<unsigned>(nFaultCode) & 0xFFu;
    if (!(nStateFlags & 0x20) || b == 0x00 || b == 0xFF)
        return {};
    wchar_t head[16];
    std::swprintf(head, sizeof head / sizeof head[0], L"FAULT: [%02X] ", b);
    std::wstring text = head;
    if (b & 0x07)
        text += L"- Defective Mainboard";
    if (b & 0x08)
        text += L"- Defective Sensor";
    if (b & 0x10)
        text += L"- Broken Sensor";
    return text;
}

std::wstring TechnologyText(const std::wstring& boxSerial) {
    const long n = SerialNumber(boxSerial);
    const bool bGadox = (n >= 100000 && n <= 199999) || (n >= 300000 && n <= 399999);
    return bGadox ? L"Technology: Gadox" : L"Technology: CsI";
}

bool HasCompatibilityLine(const std::wstring& boxSerial) {
    const long n = SerialNumber(boxSerial);
    return n >= 200000 && n <= 399999;
}

std::wstring PlateScannerFirmwareText(const std::wstring& firmware) {
    static const std::wstring kMark = L" (LG)";
    std::wstring text = firmware;
    for (size_t at = text.find(kMark); at != std::wstring::npos; at = text.find(kMark, at + 1))
        text.replace(at, kMark.size(), L"x");
    return text;
}

bool CDetectionRun::RunDetection(IDeviceTreeSink& sink, IDetectionForm& form,
                                 IDetectionProbes& rawProbes) {
    if (m_bRunning)
        return false;
    CGuardedProbes probes(rawProbes);
    CRunScope scope(m_bRunning, form, probes);
    CTreeWriter tree(sink);
    const CMateriel& m = probes.Model();

    form.ShortenTree();
    sink.Clear();
    const TreeLine waiting = tree.Root(form.LanguageText(kTextWaiting), kIconValue);
    form.StepBusyIndicator(true);

    probes.StartPlateScannerListener();
    m_flags.m_bHasBridge2820 = probes.HasBridge2820();
    m_flags.m_bHasBridge28285 = probes.HasBridge28285();
    const bool bCamera = probes.ProbeCamera();

    if (m_flags.m_bHasBridge2820) {
        const TreeLine bridge = tree.Root(L"USB2820", kIconBridge);
        tree.DriverLine(bridge, probes.GetDriverText(10));
        form.StepBusyIndicator(false);
        if (bCamera) {
            const TreeLine camera = tree.Add(bridge, L"Camera: K610 / VERICAM", kIconBridge);
            tree.Add(camera, L"Type: " + probes.GetCameraStandard(), kIconValue);
            tree.Add(camera, L"S/N: " + probes.GetCameraSerial(), kIconValue);
            tree.Add(camera, L"Firmware: " + probes.GetCameraFirmware(), kIconFirmware);
            tree.Add(camera, L"Voltage (mV): " + probes.GetCameraVoltage(), kIconVoltage);
            tree.Add(camera, L"Management Software: " + probes.GetCameraProgramVersion(),
                     kIconDriver);
            form.StepBusyIndicator(false);
        }
    }
    if (m_flags.m_bHasBridge28285) {
        const TreeLine bridge = tree.Root(L"USB28285", kIconBridge);
        tree.DriverLine(bridge, probes.GetDriverText(11));
        form.StepBusyIndicator(false);
    }

    form.StepBusyIndicator(false);
    m_flags.m_bHasWiredSensor = probes.FindWiredSensor();
    if (m_flags.m_bHasWiredSensor) {
        const std::wstring device = m.m_strWiredSensor;
        probes.ReadSensorIdentity(device);
        probes.ReadBoxIdentity(device);
        probes.ReadLinkTypeText(device);
        WiredSubtree(tree, probes);
    }

    form.StepBusyIndicator(false);
    probes.DetectWireless();
    m_flags.m_bHasWirelessSensor = !m.m_strWirelessPort.empty();
    if (m_flags.m_bHasWirelessSensor) {
        const std::wstring device = m.m_strWirelessPort;
        probes.ReadSensorIdentity(device);
        probes.ReadBoxIdentity(device);
        probes.ReadLinkTypeText(device);
        probes.ReadBatteryLevel(device);
        WirelessSubtree(tree, probes);
    }

    form.StepBusyIndicator(false);
    m_flags.m_bHasDirectSensor = probes.FindDirectSensor();
    form.StepBusyIndicator(false);
    if (m_flags.m_bHasDirectSensor) {
        const TreeLine root = tree.Root(L"X-Ray (Tessel/Tessel\u00B2)", kIconXRay);
        form.StepBusyIndicator(false);
        const std::wstring first = m.m_strDirectSensor[0];
        probes.ReadSensorIdentity(first);
        form.StepBusyIndicator(false);
        probes.ReadBoxIdentity(first);
        form.StepBusyIndicator(false);
        probes.ReadLinkTypeText(first);
        form.StepBusyIndicator(false);
        probes.PrepareDirectSensor(first);
        form.StepBusyIndicator(false);
        probes.ReadDirectSensorDetails(first);
        form.StepBusyIndicator(false);
        DirectSubtree(tree, root, 0, probes, form);
        if (probes.FindSecondDirectSensor()) {
            const std::wstring second = m.m_strDirectSensor[1];
            probes.ReadSensorIdentity(second);
            probes.ReadBoxIdentity(second);
            probes.ReadLinkTypeText(second);
            probes.ReadDirectSensorDetails(second);
            DirectSubtree(tree, root, 1, probes, form);
        }
    }

    form.StepBusyIndicator(false);
    m_flags.m_bHasPlateScannerGen1 = probes.ProbePlateScannerGen1();
    if (m_flags.m_bHasPlateScannerGen1) {
        const TreeLine root = tree.Root(L"X-Ray (Lumeno generation-1)", kIconPlateScannerGen1);
        form.StepBusyIndicator(false);
        tree.Add(root, L"Driver: " + probes.GetPlateScannerGen1Driver(), kIconDriver);
        form.StepBusyIndicator(false);
    }

    const int nScanners = probes.GetPlateScannerCount();
    for (int i = 0; i < nScanners; ++i) {
        const TreeLine root = tree.Root(L"X-Ray (Lumeno generation-2)", kIconPlateScannerGen2);
        tree.Add(root, L"S/N: " + probes.GetPlateScannerSerial(i), kIconValue);
        tree.Add(root, L"Firmware: " + PlateScannerFirmwareText(probes.GetPlateScannerFirmware(i)),
                 kIconFirmware);
        tree.Add(root, L"IP: " + probes.GetPlateScannerIp(i), kIconNetwork);
    }

    probes.StopServer();
    probes.StopPlateScannerListener();

    form.StepBusyIndicator(false);
    form.RestoreTree();
    scope.Finished();

    sink.Delete(waiting);
    if (sink.IsEmpty())
        tree.Root(form.LanguageText(kTextNoneFound), kIconMissing);
    return true;
}

} // namespace ostrel
