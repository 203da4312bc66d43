#pragma once
// The simulated practice: where the imaging software and its data lie on the
// workstation, and how each variant differs. Shared by the installer and by
// the tests that check the lookups and the collection against it.
#include <string>

namespace ostrel::practice {

enum class EVariant {
    Standard,    // found through the shared-libraries key; settings in the user's product folder
    Medical,     // as Standard, product tag of the medical version
    NoIni,       // installation present, no settings file anywhere
    EmptyImages, // as Standard, the images folder exists and holds nothing
    Wise,        // found through the installer's keys only; sensor log among the user logs
    None,        // nothing installed (also what every install first returns to)
};

struct SVariantName {
    EVariant m_eVariant;
    const wchar_t* m_pszName;
};

inline constexpr SVariantName kVariants[] = {
    {EVariant::Standard, L"standard"}, {EVariant::Medical, L"medical"},
    {EVariant::NoIni, L"no-ini"},      {EVariant::EmptyImages, L"empty-images"},
    {EVariant::Wise, L"wise"},         {EVariant::None, L"none"},
};

inline bool ParseVariant(const std::wstring& name, EVariant& variant) {
    for (const auto& v : kVariants)
        if (name == v.m_pszName) {
            variant = v.m_eVariant;
            return true;
        }
    return false;
}

// Installation folder as the file system spells it.
inline constexpr wchar_t kInstallDir[] = L"C:\\Program Files (x86)\\VARNIK\\Varnik Imaging\\";
// The shared-libraries value names the program with forward slashes in capitals.
inline constexpr wchar_t kSharedDllsName[] =
    L"C:/PROGRAM FILES (X86)/VARNIK/VARNIK IMAGING/VARNIK IMAGING.EXE";
// The Wise "Repair" key: the first subkey holds no path, the second one would.
inline constexpr wchar_t kRepairFirst[] = L"(Setup Cache)";
inline constexpr wchar_t kRepairSecond[] = L"D:/Old Install/VARNIK/INSTALL.LOG";
inline constexpr wchar_t kImagesRoot[] = L"C:\\VARNIK";
// As written in the settings file: no trailing backslash.
inline constexpr wchar_t kImagesDir[] = L"C:\\VARNIK\\Images";
inline constexpr wchar_t kProductName[] = L"VARNIK-Imaging Pro";
inline constexpr wchar_t kInstallerExe[] = L"practice_install.exe";

// Below the user's local application data folder.
inline constexpr const wchar_t* kLocalFolders[] = {
    L"VARNIK-Imaging Pro",
    L"VARNIK-Imaging",
    L"Logs VI",
    L"Logs QMW",
    L"QMA1",
    L"QMA2",
    L"QMB1U",
    L"QMB1W",
    L"QMB2",
    L"QMV",
};
// Acquisition modules installed (QMB1W is not).
inline constexpr const wchar_t* kModules[] = {L"QMA1", L"QMA2", L"QMB1U", L"QMB2", L"QMV"};

// Files directly in "Logs VI" (it also holds a subfolder "Archive").
inline constexpr const wchar_t* kUserLogs[] = {
    L"VARNIK Imaging.log", L"VARNIK Imaging.old.log", L"Acquisition.log", L"TwainBridge.log",
    L"Pardo.log",          L"PlateScan 2015-03.log",  L"Update.log",      L"Export DICOM.log",
};
// Files directly in "Logs QMW" (it also holds a subfolder "Old" with logs of its own).
inline constexpr const wchar_t* kModuleLogs[] = {
    L"QMA1_20150312.log", L"QMA1_20150313.log", L"QMA2_20150312.log", L"QMB1U_20150402.log",
    L"QMB2_20150402.log", L"QMV_20150212.log",  L"QMW_Service.log",
};
inline constexpr const wchar_t* kOldModuleLogs[] = {L"QMA1_20141105.log", L"QMB2_20141105.log"};

// Libraries of the installation folder and the payload that carries their version.
struct SLibrary {
    const wchar_t* m_pszName;
    const wchar_t* m_pszPayload; // null: a library without version resource
    const wchar_t* m_pszVersion; // version text, three parts
};
inline constexpr SLibrary kLibraries[] = {
    {L"TesselDrv.dll", L"payload_driver.dll", L"v.3.2.0"},
    {L"TesselII.dll", L"payload_driver.dll", L"v.3.2.0"},
    {L"VidCapture.dll", L"payload_video.dll", L"v.5.1.7"},
    {L"Vidlink.dll", L"payload_video.dll", L"v.5.1.7"},
    {L"Vidlink_285.dll", L"payload_video.dll", L"v.5.1.7"},
    {L"ImgFilter.dll", L"payload_image.dll", L"v.1.0.3"},
    {L"DicomLink.dll", L"payload_image.dll", L"v.1.0.3"},
    {L"ReportGen.DLL", L"payload_image.dll", L"v.1.0.3"},
    {L"TwainBridge.dll", L"payload_tools.dll", L"v.2.4.12"},
    {L"Bluefind.dll", L"payload_tools.dll", L"v.2.4.12"},
    {L"compress.dll", L"payload_tools.dll", L"v.2.4.12"},
    {L"PlateScan.dll", L"payload_tools.dll", L"v.2.4.12"},
    {L"jpeg62.dll", nullptr, L""},
};
inline constexpr wchar_t kImagingVersion[] = L"v.6.3.2";
inline constexpr wchar_t kPardoVersion[] = L"v.2.1.0";

// Yearly logs of the images folder: 2021 lies past the years collected.
inline constexpr const wchar_t* kYearlyLogs[] = {
    L"OPT2014.log",  L"OPT2015.log", L"SECU2015.LOG",
    L"SECU2019.LOG", L"OPT2021.log", L"SECU2021.LOG",
};
inline constexpr const wchar_t* kIndexFiles[] = {L"PatFile.idx", L"nniFile.idx", L"PATFILE.DAX",
                                                 L"PAT0.DAX"};

// What the settings file of each variant holds where the tests look.
inline const wchar_t* AcqModeOf(EVariant v) {
    return v == EVariant::Wise ? L"1" : L"2";
}
inline const wchar_t* StoreImageOf(EVariant v) {
    return v == EVariant::Wise ? L"1" : L"256";
}
inline const wchar_t* ProductTagOf(EVariant v) {
    return v == EVariant::Medical ? L"8" : L"1";
}

} // namespace ostrel::practice
