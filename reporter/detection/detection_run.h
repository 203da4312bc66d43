#pragma once
// The detection run: asks every probe in a fixed order and builds the device
// tree of the incident form from what they find, line by line, while the
// form's busy indicator keeps the form alive between probes. Portable: the
// tree, the form and the probes are reached through the ports below.
#include <cstdint>
#include <string>

namespace ostrel {

class CMateriel;

// What a run found, kept by the form and read by its field rules. False
// until the first run; every run rewrites all six.
struct SDetectionFlags {
    bool m_bHasBridge2820 = false;
    bool m_bHasBridge28285 = false;
    bool m_bHasWiredSensor = false;
    bool m_bHasWirelessSensor = false;
    bool m_bHasDirectSensor = false;
    bool m_bHasPlateScannerGen1 = false;
};

// A line of the tree as the sink names it; opaque to the run.
using TreeLine = std::uintptr_t;
inline constexpr TreeLine kNoTreeLine = 0;                       // a failed insertion
inline constexpr TreeLine kTreeRoot = ~static_cast<TreeLine>(0); // parent of root lines

// Icon indexes of the form's tree image list.
enum ETreeIcon : int {
    kIconBridge = 0, // bridge root, camera, wired or direct controller, wired link type
    kIconWirelessController = 1,
    kIconMissing = 2, // no driver, a fault, the "none found" root
    kIconXRay = 3,    // X-ray roots and "Sensor" lines
    kIconDriver = 4,  // driver lines, management software
    kIconFirmware = 5,
    kIconVoltage = 6, // exposures, voltages
    kIconValue = 7,   // other values, the waiting root
    kIconBattery = 8,
    kIconPlateScannerGen1 = 9,
    kIconNetwork = 10, // compatibility, IP address
    kIconPlateScannerGen2 = 11,
};

// The device tree of the form. All calls come from the form's thread.
class IDeviceTreeSink {
public:
    virtual ~IDeviceTreeSink() = default;
    // Deletes every line.
    virtual void Clear() = 0;
    // Appends a line last among the children of parent (kTreeRoot: a root
    // line), with icon as its image and selected image. Returns the new line,
    // or kNoTreeLine when it could not be inserted (nothing was added).
    virtual TreeLine Append(TreeLine parent, const std::wstring& text, int nIcon) = 0;
    // Shows the line's children.
    virtual void Expand(TreeLine line) = 0;
    // Deletes the line and its children; nothing for kNoTreeLine.
    virtual void Delete(TreeLine line) = 0;
    virtual bool IsEmpty() = 0;
};

// What the run needs of the form. All calls come from the form's thread.
class IDetectionForm {
public:
    virtual ~IDetectionForm() = default;
    // Dispatches the form's pending messages (handlers run inside this call,
    // the form's buttons included), repaints the tree and, while the tree is
    // shortened, draws the next frame of the busy squares. bRestart starts
    // the frames again from the first square.
    virtual void StepBusyIndicator(bool bRestart) = 0;
    // Saves the tree control's rectangle in the form's client coordinates,
    // sets its height to 140 pixels (left, top and width kept) and sets the
    // busy-drawing flag, so that the squares are drawn in the freed area.
    virtual void ShortenTree() = 0;
    // Clears the busy-drawing flag and gives the tree its saved rectangle.
    virtual void RestoreTree() = 0;
    // Text number nId of the form's string table in the current language
    // (nId plus the language offset).
    virtual std::wstring LanguageText(int nId) = 0;
};

inline constexpr int kTextWaiting = 123;   // "Hardware detection. Please wait..."
inline constexpr int kTextNoneFound = 124; // "None found"

// The probes in the order the run calls them. Sensor reads leave their
// values in Model(), where the run reads them; every other value comes back
// from the probe's own operation. A failed probe gives false or its default
// text; none throws (the run guards them anyway).
class IDetectionProbes {
public:
    virtual ~IDetectionProbes() = default;
    virtual const CMateriel& Model() const = 0;

    // Plate-scanner listener on the form's window: clears the table and takes
    // in announcements until stopped (they arrive while the form's messages
    // are dispatched).
    virtual bool StartPlateScannerListener() = 0;
    virtual void StopPlateScannerListener() = 0;

    virtual bool HasBridge2820() = 0;
    virtual bool HasBridge28285() = 0;
    // Driver text of a kind: 1 wired or wireless controller, 2 direct
    // sensor, 10 USB2820 bridge, 11 USB28285 bridge; empty when none.
    virtual std::wstring GetDriverText(int nKind) = 0;

    // True when the camera answered its identity query.
    virtual bool ProbeCamera() = 0;
    virtual std::wstring GetCameraStandard() = 0;
    virtual std::wstring GetCameraSerial() = 0;
    virtual std::wstring GetCameraFirmware() = 0;
    virtual std::wstring GetCameraVoltage() = 0;
    virtual std::wstring GetCameraProgramVersion() = 0;

    // Sensor-server operations; the first one starts the server.
    virtual bool FindWiredSensor() = 0;
    // Sends DetectWireless: m_strWirelessPort of the model becomes the
    // answer, empty when the command failed. True when it is not empty.
    virtual bool DetectWireless() = 0;
    virtual bool FindDirectSensor() = 0;
    virtual bool FindSecondDirectSensor() = 0;
    virtual bool ReadSensorIdentity(const std::wstring& device) = 0;
    virtual bool ReadBoxIdentity(const std::wstring& device) = 0;
    virtual bool ReadLinkTypeText(const std::wstring& device) = 0;
    virtual bool ReadBatteryLevel(const std::wstring& device) = 0;
    virtual bool PrepareDirectSensor(const std::wstring& device) = 0;
    virtual bool ReadDirectSensorDetails(const std::wstring& device) = 0;
    // Ends the server this run started; one found running stays.
    virtual void StopServer() = 0;

    virtual bool ProbePlateScannerGen1() = 0;
    virtual std::wstring GetPlateScannerGen1Driver() = 0;

    // The second-generation scanners heard so far.
    virtual int GetPlateScannerCount() = 0;
    virtual std::wstring GetPlateScannerSerial(int i) = 0;
    virtual std::wstring GetPlateScannerIp(int i) = 0;
    virtual std::wstring GetPlateScannerFirmware(int i) = 0;
};

// The form keeps one. A run dispatches the form's messages between its
// probes, so a click can ask for a second run while one is in progress: that
// one is refused (it would clear the tree under the first, bind the
// announcement port twice and stop the server under it).
class CDetectionRun {
public:
    // Every step of the run, start to end. False, with nothing done, when a
    // run of this object is already in progress.
    bool RunDetection(IDeviceTreeSink& tree, IDetectionForm& form, IDetectionProbes& probes);

    bool IsRunning() const { return m_bRunning; }
    const SDetectionFlags& Flags() const { return m_flags; }

private:
    SDetectionFlags m_flags;
    bool m_bRunning = false;
};

// Text rules of the direct sensors' lines and the plate scanners' firmware.
// "[INIT] [OK] ... [ACQ]" from bit 0x80 down to 0x01 of the low state byte.
std::wstring StateFlagsText(int32_t nStateFlags);
// The fault line, or empty when there is none (state bit 0x20 clear, or a
// fault byte of 0x00 or 0xFF).
std::wstring FaultLineText(int32_t nFaultCode, int32_t nStateFlags);
// "Technology: Gadox" or "Technology: CsI" from the controller serial number.
std::wstring TechnologyText(const std::wstring& boxSerial);
// Whether the controller serial number asks for the compatibility line.
bool HasCompatibilityLine(const std::wstring& boxSerial);
// A second-generation plate scanner's firmware as the tree shows it.
std::wstring PlateScannerFirmwareText(const std::wstring& firmware);

} // namespace ostrel
