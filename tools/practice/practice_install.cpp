// Installs the simulated practice of a variant into the running Windows (a
// Wine prefix): registry keys, the installation folder with versioned
// libraries and programs, settings and product files, the images folder with
// patients, previews, indexes and logs, and the user's log folders.
// Every run first removes what an earlier run installed.
// Usage: practice_install.exe <variant>   (practice_install.exe --help lists them)
//        practice_install.exe devices <set>  (the device inventory, practice_devices.h)
#include "practice_devices.h"
#include "practice_layout.h"

#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using namespace ostrel::practice;

namespace {

int g_nFiles = 0;
bool g_bFailed = false;

void Fail(const std::wstring& what) {
    std::fwprintf(stderr, L"practice_install: %ls (error %lu)\n", what.c_str(), GetLastError());
    g_bFailed = true;
}

std::wstring Folder(const std::wstring& path) {
    return path.substr(0, path.rfind(L'\\'));
}

void MakeFolders(const std::wstring& folder) {
    if (folder.size() <= 3 || GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES)
        return;
    MakeFolders(Folder(folder));
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        Fail(L"cannot create " + folder);
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    MakeFolders(Folder(path));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Fail(L"cannot write " + path);
        return;
    }
    DWORD dwWritten = 0;
    if (!bytes.empty() &&
        !WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten, nullptr))
        Fail(L"short write " + path);
    CloseHandle(h);
    ++g_nFiles;
}

// The imaging software writes its text files in the ANSI code page with CR LF.
void WriteText(const std::wstring& path, const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text) {
        if (c == L'\n')
            bytes += '\r';
        bytes += static_cast<char>(c < 0x100 ? c : '?');
    }
    WriteBytes(path, bytes);
}

uint32_t Hash(const std::wstring& text) {
    uint32_t h = 2166136261u;
    for (wchar_t c : text)
        h = (h ^ static_cast<uint32_t>(c)) * 16777619u;
    return h;
}

// Deterministic filler: the same practice on every run.
std::string Filler(const std::wstring& seed, size_t size, const char* header) {
    std::string bytes(header);
    uint32_t x = Hash(seed) | 1u;
    while (bytes.size() < size) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes += static_cast<char>(x & 0xFF);
    }
    bytes.resize(size);
    return bytes;
}

void CopyPayload(const std::wstring& payloadDir, const std::wstring& payload,
                 const std::wstring& target) {
    MakeFolders(Folder(target));
    if (!CopyFileW((payloadDir + payload).c_str(), target.c_str(), FALSE))
        Fail(L"cannot copy " + payload + L" to " + target);
    else
        ++g_nFiles;
}

std::wstring Format(const wchar_t* format, ...) {
    wchar_t buffer[1024];
    va_list args;
    va_start(args, format);
    _vsnwprintf(buffer, 1023, format, args);
    va_end(args);
    buffer[1023] = 0;
    return buffer;
}

// ---- Registry -------------------------------------------------------------

void SetString(HKEY root, const std::wstring& key, const std::wstring& name,
               const std::wstring& value) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS) {
        Fail(L"cannot create key " + key);
        return;
    }
    RegSetValueExW(h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
}

void SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS) {
        Fail(L"cannot create key " + key);
        return;
    }
    RegSetValueExW(h, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
    RegCloseKey(h);
}

void CreateKey(HKEY root, const std::wstring& key) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) ==
        ERROR_SUCCESS)
        RegCloseKey(h);
    else
        Fail(L"cannot create key " + key);
}

constexpr wchar_t kSharedDlls[] =
    L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr wchar_t kWise[] = L"SOFTWARE\\Wise Solutions";
constexpr wchar_t kRepair[] = L"SOFTWARE\\Wise Solutions\\Wise Installation System\\Repair";
constexpr wchar_t kAppPaths[] = L"SOFTWARE\\Wise Solutions\\WiseUpdate\\AppPaths";
constexpr wchar_t kUserKey[] = L"SOFTWARE\\VARNIK";
constexpr wchar_t kUserKey2[] = L"SOFTWARE\\VARNIK - REZAZEVEVID";

bool MentionsVarnik(std::wstring name) {
    for (auto& c : name)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return name.find(L"varnik") != std::wstring::npos;
}

void RemoveRegistry() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kWise);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kWise);
    RegDeleteTreeW(HKEY_CURRENT_USER, kUserKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, kUserKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kUserKey2);
    RegDeleteKeyW(HKEY_CURRENT_USER, kUserKey2);
    // Only our own names leave the shared-libraries key.
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSharedDlls, 0, KEY_READ | KEY_WRITE, &h) !=
        ERROR_SUCCESS)
        return;
    std::vector<std::wstring> ours;
    std::vector<wchar_t> name(32768);
    for (DWORD i = 0;; ++i) {
        DWORD n = static_cast<DWORD>(name.size());
        if (RegEnumValueW(h, i, name.data(), &n, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (MentionsVarnik(std::wstring(name.data(), n)))
            ours.emplace_back(name.data(), n);
    }
    for (const auto& n : ours)
        RegDeleteValueW(h, n.c_str());
    RegCloseKey(h);
}

void InstallRegistry(EVariant variant) {
    const std::wstring app = kInstallDir;
    if (variant != EVariant::Wise) {
        for (const auto& lib : kLibraries)
            SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, app + lib.m_pszName, 1);
        SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, kSharedDllsName, 1);
        SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, app + L"Pardo.exe", 1);
        CreateKey(HKEY_LOCAL_MACHINE,
                  std::wstring(kRepair) +
                      L"\\C:/Program Files (x86)/VARNIK/Varnik Imaging/INSTALL.LOG");
    } else {
        CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kRepair) + L"\\" + kRepairFirst);
        CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kRepair) + L"\\" + kRepairSecond);
        SetString(HKEY_LOCAL_MACHINE, kAppPaths, app + L"VARNIK Imaging.exe", app);
        SetString(HKEY_LOCAL_MACHINE, kAppPaths, L"D:\\Old Install\\VARNIK\\Pardo.exe",
                  L"D:\\Old Install\\VARNIK\\");
    }
    const std::wstring settings = std::wstring(kUserKey) + L"\\Varnik Imaging\\Settings";
    SetString(HKEY_CURRENT_USER, settings, L"Language", L"FR");
    SetString(HKEY_CURRENT_USER, settings, L"LastPatient", L"0012");
    SetDword(HKEY_CURRENT_USER, settings, L"WindowMaximized", 1);
    SetString(HKEY_CURRENT_USER, std::wstring(kUserKey) + L"\\Varnik Imaging\\Recent", L"File1",
              std::wstring(kImagesDir) + L"\\0012\\0003.TII");
    SetString(HKEY_CURRENT_USER, std::wstring(kUserKey2) + L"\\Pardo\\Options", L"Port", L"COM4");
    SetDword(HKEY_CURRENT_USER, std::wstring(kUserKey2) + L"\\Pardo\\Options", L"Baud", 115200);
}

// ---- Files ----------------------------------------------------------------

void RemoveTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..")
                RemoveTree(path + L"\\" + name);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

// The installer stands for the imaging software's own: it asks the shell
// itself rather than through the reporter's helpers, which it helps to test.
std::wstring LocalAppData() {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer) !=
        S_OK) {
        Fail(L"no local application data folder");
        return L"C:\\nowhere";
    }
    return buffer;
}

std::wstring WindowsFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    GetWindowsDirectoryW(buffer, MAX_PATH);
    return buffer;
}

void RemoveFiles(const std::wstring& local) {
    RemoveTree(L"C:\\Program Files (x86)\\VARNIK");
    RemoveTree(kImagesRoot);
    for (const wchar_t* folder : kLocalFolders)
        RemoveTree(local + L"\\" + folder);
    RemoveTree(local + L"\\kalder digital.ini");
    // Bare names of the settings files resolve to the Windows folder.
    for (const wchar_t* name :
         {L"Varnik Imaging.ini", L"kalder digital.ini", L"Varnik Imaging.prs"})
        RemoveTree(WindowsFolder() + L"\\" + name);
}

const wchar_t* const kSurnames[] = {L"MARTIN",  L"BERNARD", L"DUBOIS",   L"THOMAS", L"ROBERT",
                                    L"RICHARD", L"PETIT",   L"DURAND",   L"LEROY",  L"MOREAU",
                                    L"SIMON",   L"LAURENT", L"LEFEBVRE", L"MICHEL", L"GARCIA"};
const wchar_t* const kFirstNames[] = {L"Julie", L"Marc", L"Claire", L"Paul", L"Sophie", L"Louis"};
constexpr int kPatients = 30;

struct SAcquisition {
    int m_nPatient;
    int m_nImage;
    int m_nYear, m_nMonth, m_nDay, m_nHour, m_nMinute;
};

std::wstring PatientName(int patient) {
    return std::wstring(kSurnames[patient % 15]) + L" " + kFirstNames[patient % 6];
}

std::vector<SAcquisition> Acquisitions() {
    std::vector<SAcquisition> list;
    for (int p = 1; p <= kPatients; ++p)
        for (int k = 1; k <= 2 + (p * 7) % 6; ++k)
            list.push_back({p, k, 0, 0, 0, 0, 0});
    // Spread in time order over 2014 to 2016, a few per working day.
    const size_t n = list.size();
    for (size_t i = 0; i < n; ++i) {
        auto& a = list[(i * 37) % n];                          // interleave patients
        const int day = static_cast<int>(i * 3 * 300 / n) / 3; // 0..299 per year
        a.m_nYear = 2014 + static_cast<int>(i * 3 / n);
        const int dayOfYear = static_cast<int>((i * 3 * 300 / n) % 300);
        a.m_nMonth = 1 + dayOfYear / 26;
        a.m_nDay = 1 + dayOfYear % 26;
        a.m_nHour = 8 + static_cast<int>(i % 10);
        a.m_nMinute = static_cast<int>((i * 13 + static_cast<size_t>(day)) % 60);
    }
    return list;
}

void InstallImages(EVariant variant) {
    const std::wstring images = std::wstring(kImagesDir) + L"\\";
    MakeFolders(kImagesDir);
    if (variant == EVariant::EmptyImages)
        return;
    const auto acquisitions = Acquisitions();
    for (const auto& a : acquisitions) {
        const std::wstring base = images + Format(L"%04d\\%04d", a.m_nPatient, a.m_nImage);
        WriteBytes(base + L".TII", Filler(base, 18000 + Hash(base) % 42000, "TII2"));
        WriteBytes(base + L".SPV", Filler(base + L"spv", 2500 + Hash(base) % 3500, "SPV1"));
    }
    // Oscilloscope recordings of some patients, one of them a level deeper.
    for (int p : {3, 7, 19})
        WriteBytes(images + Format(L"%04d\\image osc.dat", p),
                   Filler(Format(L"osc%d", p), 8192, "OSC"));
    WriteBytes(images + L"0012\\Osc\\IMAGE OSC.DAT", Filler(L"osc12", 8192, "OSC"));
    for (const wchar_t* day : {L"2015-03-12", L"2015-04-02", L"2016-01-20"})
        for (int k = 1; k <= 3; ++k)
            WriteBytes(images + L"Oscillos\\" + day + Format(L"\\Shot%02d.osc", k),
                       Filler(std::wstring(day) + Format(L"%d", k), 4096 + 512 * k, "OSC"));
    WriteText(images + L"Oscillos\\Oscillos.txt", L"Generator shots recorded by the sensor\n");

    // Yearly acquisition indexes, one line per acquisition in time order.
    for (int year = 2014; year <= 2016; ++year) {
        std::vector<std::wstring> lines;
        for (const auto& a : acquisitions)
            if (a.m_nYear == year)
                lines.push_back(Format(L"%02d%02d-%02d%02d;%04d;%ls;TII;%ls%04d\\%04d\n",
                                       a.m_nMonth, a.m_nDay, a.m_nHour, a.m_nMinute, a.m_nPatient,
                                       PatientName(a.m_nPatient).c_str(), images.c_str(),
                                       a.m_nPatient, a.m_nImage));
        std::sort(lines.begin(), lines.end());
        std::wstring text;
        for (const auto& line : lines)
            text += line;
        WriteText(images + Format(L"ACQ%d.idx", year), text);
    }
    std::wstring patients, nni;
    for (int p = 1; p <= kPatients; ++p) {
        patients += Format(L"%04d;%ls;%02d/%02d/19%02d\n", p, PatientName(p).c_str(), 1 + p % 28,
                           1 + p % 12, 40 + p);
        nni += Format(L"%04d;%d%02d%02d%03d\n", p, 1 + p % 2, 40 + p, 1 + p % 12, 100 + p);
    }
    WriteText(images + L"PatFile.idx", patients);
    WriteText(images + L"nniFile.idx", nni);
    WriteBytes(images + L"PATFILE.DAX", Filler(L"patfile", 3072, "DAX1"));
    WriteBytes(images + L"PAT0.DAX", Filler(L"pat0", 1024, "DAX1"));
    for (const wchar_t* name : kYearlyLogs) {
        std::wstring text;
        const bool security = name[0] == L'S';
        const std::wstring year = std::wstring(name).substr(security ? 4 : 3, 4);
        for (int k = 0; k < 12; ++k)
            text += year + Format(L"-%02d-%02d 09:%02d ", 1 + k, 3 + k, 10 + k) +
                    (security ? L"Login Dr MARTIN\n" : L"Option TESSEL II enabled\n");
        WriteText(images + name, text);
    }
    WriteBytes(images + L"LastAcqTII.osc", Filler(L"lastacq", 2048, "OSC"));
}

std::wstring SettingsText(EVariant variant) {
    return std::wstring(L"[GENERAL]\nLanguage=FR\nLastUser=Dr MARTIN\n") + L"[IMAGES]\nPath=" +
           kImagesDir + L"\nFormat=TII\nPreview=SPV\n" + L"[TESSEL]\nAcqMode=" +
           AcqModeOf(variant) + L"\nGeneACDC=\nAutoArm=1\nRearme=0\nCompressee=1\n" +
           L"LogInfo=1\nShowExpo=0\nIgnoreBadImage=0\nTESSELIIStoreImage=" + StoreImageOf(variant) +
           L"\nSubstractDark=1\nApplyFFC=1\nApplyMedian3=0\nBatterieDelta=85\nTestSerial=0\nPort="
           L"USB\n" +
           L"[VIDEO_CAPTURE]\nVARNIKTouchMode=1\nDevice=K520\n" +
           L"[GENERATOR]\nBrand=Helion\nType=DC\n";
}

void InstallFiles(EVariant variant, const std::wstring& payloadDir, const std::wstring& local) {
    const std::wstring app = kInstallDir;
    CopyPayload(payloadDir, L"payload_imaging.exe", app + L"VARNIK Imaging.exe");
    CopyPayload(payloadDir, L"payload_pardo.exe", app + L"Pardo.exe");
    for (const auto& lib : kLibraries) {
        if (lib.m_pszPayload)
            CopyPayload(payloadDir, lib.m_pszPayload, app + lib.m_pszName);
        else
            WriteBytes(app + lib.m_pszName, Filler(lib.m_pszName, 145408, "MZ")); // no resources
    }
    WriteText(app + L"Varnik Imaging.prs",
              std::wstring(L"[PRODUCT]\nName=VARNIK Imaging\nTag=") + ProductTagOf(variant) +
                  L"\n[ALIAS]\n$PRODUCTNAME1$=" + kProductName + L"\n");
    if (variant != EVariant::NoIni)
        // Left by an older version: no images path, so it is passed over.
        WriteText(app + L"Varnik Imaging.ini", L"[GENERAL]\nVersion=5.2\n[IMAGES]\nFormat=TII\n");
    WriteText(app + L"Install.log",
              L"Installation started 2014-01-06 10:12\nFile copied: VARNIK Imaging.exe\n"
              L"Installation completed\n");
    WriteText(app + L"logDS2.log",
              L"DS2 driver setup 2014-01-06\nDriver installed: TESSEL II USB\n");
    for (const wchar_t* lang : {L"FR", L"EN", L"DE", L"ES", L"IT"})
        WriteBytes(app + L"Languages\\" + lang + L".lng",
                   Filler(lang, 24000 + Hash(lang) % 8000, "LNG"));
    WriteBytes(app + L"Help\\VarnikImaging.chm", Filler(L"chm", 210000, "ITSF"));
    for (const wchar_t* serial : {L"T2-04411", L"T2-05120", L"T1-00872"})
        WriteBytes(app + L"Calib\\" + serial + L".cal", Filler(serial, 65536, "CAL"));

    std::wstring sensorLog;
    for (int k = 0; k < 40; ++k)
        sensorLog +=
            Format(L"2015-%02d-%02d %02d:%02d:%02d Sensor T2-04411: acquisition %ls\n", 1 + k % 11,
                   1 + k % 26, 8 + k % 10, (k * 13) % 60, (k * 7) % 60, k % 9 ? L"OK" : L"timeout");
    WriteText((variant == EVariant::Wise ? local + L"\\Logs VI\\" : app) + L"BTESSEL_II.Log",
              sensorLog);

    if (variant != EVariant::NoIni)
        WriteText(local + L"\\" + kProductName + L"\\Varnik Imaging.ini", SettingsText(variant));
    for (const wchar_t* name : kUserLogs)
        WriteText(local + L"\\Logs VI\\" + name,
                  std::wstring(name) + L" 2015-03-12 08:01 started\n");
    WriteText(local + L"\\Logs VI\\Archive\\VARNIK Imaging 2014.log", L"2014-12-30 17:45 closed\n");
    for (const wchar_t* name : kModuleLogs)
        WriteText(local + L"\\Logs QMW\\" + name, std::wstring(name) + L" module started\n");
    for (const wchar_t* name : kOldModuleLogs)
        WriteText(local + L"\\Logs QMW\\Old\\" + name, std::wstring(name) + L" module started\n");
    for (const wchar_t* module : kModules)
        WriteText(local + L"\\" + module + L"\\" + module + L".ini",
                  std::wstring(L"[MODULE]\nName=") + module + L"\nPort=USB\nTimeout=3000\n");
    InstallImages(variant);
}

std::wstring PayloadFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return Folder(buffer) + L"\\payload\\";
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"devices") {
        for (const auto& s : kDeviceSets)
            if (std::wstring(argv[2]) == s.m_pszName) {
                const bool ok = InstallDeviceSet(s.m_eSet, PayloadFolder());
                std::wprintf(L"practice_install: devices %ls installed\n", argv[2]);
                return ok ? 0 : 2;
            }
        std::fwprintf(stderr, L"practice_install: device sets: primary alternate none\n");
        return 1;
    }
    EVariant variant = EVariant::None;
    if (argc != 2 || !ParseVariant(argv[1], variant)) {
        std::fwprintf(stderr, L"usage: practice_install.exe <variant>\nvariants:");
        for (const auto& v : kVariants)
            std::fwprintf(stderr, L" %ls", v.m_pszName);
        std::fwprintf(stderr, L"\n");
        return 1;
    }
    const std::wstring local = LocalAppData();
    RemoveRegistry();
    RemoveFiles(local);
    if (variant != EVariant::None) {
        InstallRegistry(variant);
        InstallFiles(variant, PayloadFolder(), local);
    }
    std::wprintf(L"practice_install: %ls installed, %d files\n", argv[1], g_nFiles);
    return g_bFailed ? 2 : 0;
}
