#include "materiel_probes.h"

#include "command_numbers.h"
#include "materiel.h"

namespace ostrel {

bool CMaterielProbes::StartPlateScannerListener() {
    return m_args.m_materiel.StartPlateScannerListener(m_args.m_hFormWindow);
}
void CMaterielProbes::StopPlateScannerListener() {
    m_args.m_materiel.StopPlateScannerListener();
}
bool CMaterielProbes::HasBridge2820() {
    return m_args.m_materiel.HasBridge2820();
}
bool CMaterielProbes::HasBridge28285() {
    return m_args.m_materiel.HasBridge28285();
}
std::wstring CMaterielProbes::GetDriverText(int nKind) {
    return m_args.m_materiel.GetDriverText(nKind);
}
bool CMaterielProbes::ProbeCamera() {
    return m_args.m_materiel.ProbeCamera(m_args.m_camera);
}
std::wstring CMaterielProbes::GetCameraStandard() {
    return m_args.m_materiel.GetCameraStandard();
}
std::wstring CMaterielProbes::GetCameraSerial() {
    return m_args.m_materiel.GetCameraSerial();
}
std::wstring CMaterielProbes::GetCameraFirmware() {
    return m_args.m_materiel.GetCameraFirmware();
}
std::wstring CMaterielProbes::GetCameraVoltage() {
    return m_args.m_materiel.GetCameraVoltage();
}
std::wstring CMaterielProbes::GetCameraProgramVersion() {
    return m_args.m_materiel.GetCameraProgramVersion();
}
bool CMaterielProbes::FindWiredSensor() {
    return m_args.m_materiel.FindWiredSensor();
}

bool CMaterielProbes::DetectWireless() {
    std::wstring answer; // a failed command leaves it empty
    m_args.m_materiel.SendServerCommand(torvex::kCmdDetectWireless, answer);
    m_args.m_materiel.m_strWirelessPort = answer;
    return !answer.empty();
}

bool CMaterielProbes::FindDirectSensor() {
    return m_args.m_materiel.FindDirectSensor();
}
bool CMaterielProbes::FindSecondDirectSensor() {
    return m_args.m_materiel.FindSecondDirectSensor();
}
bool CMaterielProbes::ReadSensorIdentity(const std::wstring& device) {
    return m_args.m_materiel.ReadSensorIdentity(device);
}
bool CMaterielProbes::ReadBoxIdentity(const std::wstring& device) {
    return m_args.m_materiel.ReadBoxIdentity(device);
}
bool CMaterielProbes::ReadLinkTypeText(const std::wstring& device) {
    return m_args.m_materiel.ReadLinkTypeText(device);
}
bool CMaterielProbes::ReadBatteryLevel(const std::wstring& device) {
    return m_args.m_materiel.ReadBatteryLevel(device);
}
bool CMaterielProbes::PrepareDirectSensor(const std::wstring& device) {
    return m_args.m_materiel.PrepareDirectSensor(device);
}
bool CMaterielProbes::ReadDirectSensorDetails(const std::wstring& device) {
    return m_args.m_materiel.ReadDirectSensorDetails(device);
}
void CMaterielProbes::StopServer() {
    m_args.m_materiel.StopServer();
}
bool CMaterielProbes::ProbePlateScannerGen1() {
    return m_args.m_materiel.ProbePlateScannerGen1(m_args.m_pPlateScannerControl,
                                                   m_args.m_imagesDir);
}
std::wstring CMaterielProbes::GetPlateScannerGen1Driver() {
    return m_args.m_materiel.GetPlateScannerGen1Driver();
}
int CMaterielProbes::GetPlateScannerCount() {
    return m_args.m_materiel.GetPlateScannerCount();
}
std::wstring CMaterielProbes::GetPlateScannerSerial(int i) {
    return m_args.m_materiel.GetPlateScannerSerial(i);
}
std::wstring CMaterielProbes::GetPlateScannerIp(int i) {
    return m_args.m_materiel.GetPlateScannerIp(i);
}
std::wstring CMaterielProbes::GetPlateScannerFirmware(int i) {
    return m_args.m_materiel.GetPlateScannerFirmware(i);
}

} // namespace ostrel
