#pragma once
// CMateriel, the hardware model of one incident form: what every probe of a
// detection run learns, and the probes themselves. Every member is empty or
// 0 at construction and keeps its value from one run to the next.
#include "inventory_ports.h"
#include "plate_scanner_listener.h"
#include "plate_scanner_ports.h"
#include "server_ports.h"

#include <cstdint>
#include <memory>
#include <string>

namespace ostrel {

struct SCameraProbePorts;

// The platform behind the probes; every port outlives the CMateriel.
struct SMaterielPorts {
    IServerPlatform& m_server;
    IMailboxFile& m_mailbox;
    IWaitClock& m_clock;
    IInventorySystem& m_inventory;
    IDatagramPort& m_datagrams;
};

class CMateriel {
public:
    // strModuleDir: the reporter's own folder, ending with a backslash; the
    // server program and its mailbox lie there. The form passes the machine's
    // ports (CSystemProbePorts).
    CMateriel(const SMaterielPorts& ports, std::wstring strModuleDir);
    // A model without a machine behind it: no server window and none to
    // start, an empty registry, no socket library. The camera probe takes
    // its own ports per call and works the same.
    CMateriel();
    // Closes the listener and stops a server this object started.
    ~CMateriel();
    CMateriel(const CMateriel&) = delete;
    CMateriel& operator=(const CMateriel&) = delete;

    // ---- Sensor-server client -------------------------------------------
    // The server's window, started hidden from the module folder when none
    // exists; 0 when there is no server window afterwards.
    uintptr_t FindOrStartServer();
    // One command: answer receives RESULT on success and is unchanged on failure.
    bool SendServerCommand(unsigned nCommand, std::wstring& answer);
    // Ends the server this client started (quit, 2 s, then forced) and
    // forgets it; a server found already running is left alone.
    void StopServer();
    bool HoldsServerProcess() const { return m_serverProcess.m_hProcess != 0; }

    bool FindWiredSensor();
    bool FindDirectSensor();
    bool FindSecondDirectSensor();
    bool ReadSensorIdentity(const std::wstring& device);
    bool ReadBoxIdentity(const std::wstring& device);
    bool ReadBatteryLevel(const std::wstring& device);
    bool ReadLinkTypeText(const std::wstring& device);
    bool PrepareDirectSensor(const std::wstring& device);
    bool ReadDirectSensorDetails(const std::wstring& device);

    // ---- USB and driver inventory ---------------------------------------
    bool HasBridge2820();
    bool HasBridge28285();
    // Value of a local-machine key into a 1024-byte buffer, up to its first
    // zero; text empty when the query fails and unchanged when the key does
    // not open. True only when the query succeeded.
    bool ReadRegistryText(const std::wstring& keyPath, const std::wstring& valueName,
                          std::wstring& text);
    std::wstring GetDriverText(int nKind);
    std::wstring GetCameraProgramVersion();
    // control: the form's host of the first-generation scanner's control
    // (null when the form has none); imagesDir ends with a backslash.
    bool ProbePlateScannerGen1(IPlateScannerControl* pControl, const std::wstring& imagesDir);
    std::wstring GetPlateScannerGen1Driver();

    // ---- Plate-scanner network discovery --------------------------------
    bool StartPlateScannerListener(uintptr_t hWnd);
    // notification: second parameter of message 0x0401; 0 when no listener exists.
    int OnPlateScannerDatagram(uintptr_t notification);
    void StopPlateScannerListener();
    int GetPlateScannerCount() const { return m_plateScanners.m_nCount; }
    const std::wstring& GetPlateScannerSerial(int i) const;
    const std::wstring& GetPlateScannerIp(int i) const;
    const std::wstring& GetPlateScannerFirmware(int i) const;
    const CPlateScannerListener* PlateScannerListener() const { return m_pListener.get(); }

    // ---------------------------------------------------------------- camera
    // Probe of the intraoral camera over the I2C bridge (camera_probe.cpp).
    // True when the camera answered its identity query.
    bool ProbeCamera(const SCameraProbePorts& ports);
    std::wstring GetCameraStandard() const; // "PAL" or "NTSC"
    std::wstring GetCameraSerial() const;
    std::wstring GetCameraFirmware() const; // "%X.%X"
    std::wstring GetCameraVoltage() const;  // millivolts, or "(unknown)"

    // Overwritten only by a valid reply.
    uint8_t m_nCameraFwMajor = 0;
    uint8_t m_nCameraFwMinor = 0;
    float m_fCameraVolts = 0.0f; // NaN when the camera gave no usable divisor
    bool m_bCameraPal = false;
    std::wstring m_strCameraSerial;
    // ------------------------------------------------------------ end camera

    // ---- Sensor values ---------------------------------------------------
    std::wstring m_strWiredSensor;
    std::wstring m_strWirelessPort;
    std::wstring m_strDirectSensor[2];
    std::wstring m_strSensorSerial;
    std::wstring m_strSensorExposures;
    std::wstring m_strBoxSerial;
    std::wstring m_strBoxFirmware;
    std::wstring m_strBattery;
    std::wstring m_strLinkType;
    std::wstring m_strSensorSize[2];
    std::wstring m_strUsbMv[2];
    std::wstring m_strCpuMv[2];
    std::wstring m_strCpldMv[2];
    std::wstring m_strSensorMv[2];
    std::wstring m_strCpldVersion[2];
    std::wstring m_strPhotodiode[2];
    int32_t m_nFaultCode[2] = {0, 0};
    int32_t m_nStateFlags[2] = {0, 0};

    // ---- Inventory values ------------------------------------------------
    std::wstring m_strPlateScannerDriver;

private:
    bool RunDeviceRead(const std::wstring& device, unsigned nCommand, std::wstring& answer);
    std::wstring MailboxPath() const;

    SMaterielPorts m_ports;
    std::wstring m_strModuleDir;
    SServerProcess m_serverProcess;
    unsigned m_nCommandMessage = 0;

    SPlateScannerTable m_plateScanners;
    std::unique_ptr<CPlateScannerListener> m_pListener;
};

} // namespace ostrel
