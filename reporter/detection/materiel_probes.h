#pragma once
// The run's probes over the form's hardware model: the sensor-server client,
// the inventory, the camera probe and the plate scanners of one CMateriel.
#include "detection_run.h"

#include <cstdint>
#include <string>

namespace ostrel {

class CMateriel;
class IPlateScannerControl;
struct SCameraProbePorts;

struct SMaterielProbeArgs {
    CMateriel& m_materiel;
    const SCameraProbePorts& m_camera;
    // The form's host of the first-generation scanner's control; null when
    // the form has none.
    IPlateScannerControl* m_pPlateScannerControl = nullptr;
    // Images folder of the imaging software, ending with a backslash, or
    // empty; read at each probe, so the form may change it between runs.
    const std::wstring& m_imagesDir;
    // The form's window: announcements are posted to it as message 0x0401.
    uintptr_t m_hFormWindow = 0;
};

// Every reference in the arguments outlives the object.
class CMaterielProbes final : public IDetectionProbes {
public:
    explicit CMaterielProbes(const SMaterielProbeArgs& args) : m_args(args) {}

    const CMateriel& Model() const override { return m_args.m_materiel; }
    bool StartPlateScannerListener() override;
    void StopPlateScannerListener() override;
    bool HasBridge2820() override;
    bool HasBridge28285() override;
    std::wstring GetDriverText(int nKind) override;
    bool ProbeCamera() override;
    std::wstring GetCameraStandard() override;
    std::wstring GetCameraSerial() override;
    std::wstring GetCameraFirmware() override;
    std::wstring GetCameraVoltage() override;
    std::wstring GetCameraProgramVersion() override;
    bool FindWiredSensor() override;
    bool DetectWireless() override;
    bool FindDirectSensor() override;
    bool FindSecondDirectSensor() override;
    bool ReadSensorIdentity(const std::wstring& device) override;
    bool ReadBoxIdentity(const std::wstring& device) override;
    bool ReadLinkTypeText(const std::wstring& device) override;
    bool ReadBatteryLevel(const std::wstring& device) override;
    bool PrepareDirectSensor(const std::wstring& device) override;
    bool ReadDirectSensorDetails(const std::wstring& device) override;
    void StopServer() override;
    bool ProbePlateScannerGen1() override;
    std::wstring GetPlateScannerGen1Driver() override;
    int GetPlateScannerCount() override;
    std::wstring GetPlateScannerSerial(int i) override;
    std::wstring GetPlateScannerIp(int i) override;
    std::wstring GetPlateScannerFirmware(int i) override;

private:
    SMaterielProbeArgs m_args;
};

} // namespace ostrel
