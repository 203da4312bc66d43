// Lookups of the imaging software against an in-memory registry and INI files.
#include "imaging_fakes.h"

#include <gtest/gtest.h>

using namespace ostrel;
using namespace ostrel::test;

namespace {

const std::wstring kApp = L"C:\\Program Files (x86)\\VARNIK\\Varnik Imaging\\";
const std::wstring kLocal = L"C:\\Users\\dr\\AppData\\Local";

TEST(FindAppDirInSharedDlls, FirstMatchingNameGivesItsLowerCaseFolder) {
    struct SCase {
        std::vector<std::wstring> m_names;
        bool m_bFound;
        std::wstring m_strFolder;
    };
    const SCase cases[] = {
        {{L"C:/Prog/Img/VARNIK IMAGING.EXE"}, true, L"c:\\prog\\img\\"},
        {{L"C:\\Windows\\system32\\mfc42.dll", L"C:\\A\\Varnik Imaging.exe",
          L"D:\\B\\varnik imaging.exe"},
         true,
         L"c:\\a\\"},
        // No folder part, or only a leading backslash: passed over.
        {{L"varnik imaging.exe", L"\\varnik imaging.exe", L"E:\\Img\\VARNIK Imaging.exe"},
         true,
         L"e:\\img\\"},
        {{L"C:\\A\\VARNIK Imaging.exe.bak", L"C:\\A\\OldVARNIK Imaging.ex"}, false, L"untouched"},
        // A name longer than the buffer ends the enumeration.
        {{std::wstring(20480, L'x'), L"C:\\A\\VARNIK Imaging.exe"}, false, L"untouched"},
    };
    for (const auto& c : cases) {
        SFakeImaging fake;
        fake.m_registry.m_keys[kSharedDllsKey].m_values = c.m_names;
        std::wstring folder = L"untouched";
        EXPECT_EQ(FindAppDirInSharedDlls(fake.Ports(), folder), c.m_bFound) << c.m_names.back();
        EXPECT_EQ(folder, c.m_strFolder);
        EXPECT_EQ(fake.m_registry.m_nOpen, fake.m_registry.m_nClosed);
    }
    SFakeImaging noKey;
    std::wstring folder = L"untouched";
    EXPECT_FALSE(FindAppDirInSharedDlls(noKey.Ports(), folder));
    EXPECT_EQ(folder, L"untouched");
}

TEST(FindImagingAppDir, SharedDllsThenFirstRepairSubkeyThenFirstAppPath) {
    SFakeImaging fake;
    auto& keys = fake.m_registry.m_keys;
    keys[kWiseRepairKey].m_subkeys = {L"VARNIK Setup", L"C:/Wise/Second/Install.log"};
    keys[kWiseAppPathsKey].m_values = {L"C:\\Apps\\Varnik\\VARNIK Imaging.exe",
                                       L"C:\\Other\\x.exe"};
    std::wstring folder = L"stale";
    // Only the first Repair subkey counts; it holds no path.
    EXPECT_TRUE(FindImagingAppDir(fake.Ports(), folder));
    EXPECT_EQ(folder, L"C:\\Apps\\Varnik\\");

    keys[kWiseRepairKey].m_subkeys = {L"C:/Wise/First/INSTALL.LOG", L"VARNIK Setup"};
    EXPECT_TRUE(FindImagingAppDir(fake.Ports(), folder));
    EXPECT_EQ(folder, L"C:\\Wise\\First\\") << "case kept outside the shared-libraries key";

    keys[kSharedDllsKey].m_values = {L"C:\\Shared\\VARNIK IMAGING.EXE"};
    EXPECT_TRUE(FindImagingAppDir(fake.Ports(), folder));
    EXPECT_EQ(folder, L"c:\\shared\\");
    EXPECT_EQ(fake.m_registry.m_nOpen, fake.m_registry.m_nClosed);

    SFakeImaging empty;
    empty.m_registry.m_keys[kWiseRepairKey].m_subkeys = {L"/Install.log"};
    empty.m_registry.m_keys[kWiseAppPathsKey];
    EXPECT_FALSE(FindImagingAppDir(empty.Ports(), folder));
    EXPECT_EQ(folder, L"");
}

// A practice whose installation is found through the shared-libraries key.
struct SPractice : SFakeImaging {
    SPractice() { m_registry.m_keys[kSharedDllsKey].m_values = {kApp + L"VARNIK Imaging.exe"}; }
    std::wstring App() const { return L"c:\\program files (x86)\\varnik\\varnik imaging\\"; }
    void SetImagesPath(const std::wstring& ini, const std::wstring& path) {
        m_profile.m_files[ini][L"IMAGES"][L"Path"] = path;
    }
};

TEST(FindImagingIni, CandidatesInOrderAndOnlyWithAnImagesPath) {
    SPractice p;
    const std::wstring app = p.App();
    const std::wstring c1 = app + L"Varnik Imaging.ini";
    const std::wstring c2named = kLocal + L"\\VARNIK-Imaging Pro\\Varnik Imaging.ini";
    const std::wstring c2default = kLocal + L"\\VARNIK-Imaging\\Varnik Imaging.ini";
    const std::wstring c3 = app + L"kalder digital.ini";
    const std::wstring c4 = kLocal + L"\\kalder digital.ini";
    std::wstring path = L"stale";
    EXPECT_FALSE(FindImagingIni(p.Ports(), path));
    EXPECT_EQ(path, L"");

    p.SetImagesPath(c4, L"D:\\Old");
    EXPECT_TRUE(FindImagingIni(p.Ports(), path));
    EXPECT_EQ(path, c4);
    p.SetImagesPath(c3, L"D:\\Old");
    EXPECT_TRUE(FindImagingIni(p.Ports(), path));
    EXPECT_EQ(path, c3);
    p.SetImagesPath(c2default, L"D:\\Img");
    EXPECT_TRUE(FindImagingIni(p.Ports(), path));
    EXPECT_EQ(path, c2default);
    // The product file names the folder; the default one is then not tried.
    p.m_profile.m_files[app + L"Varnik Imaging.prs"][L"ALIAS"][L"$PRODUCTNAME1$"] =
        L"VARNIK-Imaging Pro";
    EXPECT_TRUE(FindImagingIni(p.Ports(), path));
    EXPECT_EQ(path, c3);
    p.SetImagesPath(c2named, L"D:\\Img");
    EXPECT_TRUE(FindImagingIni(p.Ports(), path));
    EXPECT_EQ(path, c2named);
    // A section without "Path", or an empty one, is passed over.
    p.m_profile.m_files[c1][L"IMAGES"][L"Other"] = L"x";
    p.m_profile.m_files[c1][L"TESSEL"][L"AcqMode"] = L"1";
    EXPECT_TRUE(FindImagingIni(p.Ports(), path));
    EXPECT_EQ(path, c2named);
    p.SetImagesPath(c1, L"");
    EXPECT_TRUE(FindImagingIni(p.Ports(), path));
    EXPECT_EQ(path, c2named);
    p.SetImagesPath(c1, L"C:\\Images");
    EXPECT_TRUE(FindImagingIni(p.Ports(), path));
    EXPECT_EQ(path, c1);
}

TEST(FindImagingIni, WithoutInstallationTheCandidatesAreBareNames) {
    SFakeImaging fake;
    std::wstring path;
    EXPECT_FALSE(FindImagingIni(fake.Ports(), path));
    EXPECT_EQ(fake.m_profile.m_reads,
              (std::vector<std::wstring>{L"Varnik Imaging.ini", L"Varnik Imaging.prs",
                                         kLocal + L"\\VARNIK-Imaging\\Varnik Imaging.ini",
                                         L"kalder digital.ini", kLocal + L"\\kalder digital.ini"}));
    fake.m_profile.m_files[L"kalder digital.ini"][L"IMAGES"][L"Path"] = L"C:\\Img";
    EXPECT_TRUE(FindImagingIni(fake.Ports(), path));
    EXPECT_EQ(path, L"kalder digital.ini");
}

TEST(FindAcquisitionLog, InstallationFolderThenUserLogs) {
    SPractice p;
    const std::wstring inApp = p.App() + L"BTESSEL_II.Log";
    const std::wstring inUser = kLocal + L"\\Logs VI\\BTESSEL_II.Log";
    std::wstring path = L"stale";
    EXPECT_FALSE(FindAcquisitionLog(p.Ports(), path));
    EXPECT_EQ(path, L"");
    p.m_files.m_readable = {inUser};
    EXPECT_TRUE(FindAcquisitionLog(p.Ports(), path));
    EXPECT_EQ(path, inUser);
    p.m_files.m_readable.insert(inApp);
    EXPECT_TRUE(FindAcquisitionLog(p.Ports(), path));
    EXPECT_EQ(path, inApp);
}

TEST(CRapport, KeepsTheLastFolderFound) {
    SPractice p;
    const std::wstring ini = p.App() + L"Varnik Imaging.ini";
    CRapport rapport;
    std::wstring folder = L"stale";
    EXPECT_FALSE(rapport.GetImagesDir(p.Ports(), folder));
    EXPECT_EQ(folder, L"");
    p.SetImagesPath(ini, L"D:\\VARNIK\\Images");
    EXPECT_TRUE(rapport.GetImagesDir(p.Ports(), folder));
    EXPECT_EQ(folder, L"D:\\VARNIK\\Images") << "returned as written, no backslash added";
    p.m_profile.m_files.clear();
    EXPECT_FALSE(rapport.GetImagesDir(p.Ports(), folder));
    EXPECT_EQ(folder, L"");
    EXPECT_EQ(rapport.ImagesDir(), L"D:\\VARNIK\\Images");
}

TEST(AcquisitionSettings, FirstCharacterOneIsYesAnythingElseNoEmptyIsEmpty) {
    struct SCase {
        const wchar_t* m_pszText; // null: key missing
        const wchar_t* m_pszLine;
    };
    const SCase cases[] = {
        {L"1", L"Acquire High Resolution = YES"},
        {L"10", L"Acquire High Resolution = YES"},
        {L"2", L"Acquire High Resolution = NO"},
        {L"0", L"Acquire High Resolution = NO"},
        {L"yes", L"Acquire High Resolution = NO"},
        {L" 1", L"Acquire High Resolution = NO"},
        {L"", L""},
        {nullptr, L""},
    };
    for (const auto& c : cases) {
        SPractice p;
        const std::wstring ini = p.App() + L"Varnik Imaging.ini";
        p.SetImagesPath(ini, L"C:\\Img");
        if (c.m_pszText)
            p.m_profile.m_files[ini][L"TESSEL"][L"AcqMode"] = c.m_pszText;
        std::wstring l1 = L"stale", l2 = L"stale", l3 = L"stale";
        ReadAcquisitionSettings(p.Ports(), l1, l2, l3);
        EXPECT_EQ(l1, c.m_pszLine) << (c.m_pszText ? c.m_pszText : L"(missing)");
        EXPECT_EQ(l2, L"");
        EXPECT_EQ(l3, L"");
    }
}

TEST(AcquisitionSettings, AllSixLinesFromTheirKeys) {
    SPractice p;
    const std::wstring ini = p.App() + L"Varnik Imaging.ini";
    p.SetImagesPath(ini, L"C:\\Img");
    auto& tessel = p.m_profile.m_files[ini][L"TESSEL"];
    tessel = {{L"AcqMode", L"1"},
              {L"GeneACDC", L"0"},
              {L"AutoArm", L"1"},
              {L"Rearme", L"0"},
              {L"Compressee", L"1"}};
    p.m_profile.m_files[ini][L"VIDEO_CAPTURE"][L"VARNIKTouchMode"] = L"0";
    std::wstring a1, a2, a3, c1, c2, c3;
    EXPECT_TRUE(ReadAcquisitionSettings(p.Ports(), a1, a2, a3));
    EXPECT_TRUE(ReadCaptureSettings(p.Ports(), c1, c2, c3));
    EXPECT_EQ((std::vector<std::wstring>{a1, a2, a3, c1, c2, c3}),
              (std::vector<std::wstring>{
                  L"Acquire High Resolution = YES", L"DC Generator = NO",
                  L"Permanently Ready to acquire = YES", L"Rearmament after acquisition = NO",
                  L"Compressed acquisition = YES", L"Live after capture = NO"}));
    // The result tells only about the third key.
    p.m_profile.m_files[ini][L"VIDEO_CAPTURE"].clear();
    EXPECT_FALSE(ReadCaptureSettings(p.Ports(), c1, c2, c3));
    EXPECT_EQ(c1, L"Rearmament after acquisition = NO");
    EXPECT_EQ(c3, L"");
}

const std::vector<std::wstring> kDefaultTechLines = {
    L"Log xray hardware calls=0",
    L"Show exposition information=0",
    L"Hide exposure number in setup=0",
    L"Ignore CSI Test=0",
    L"SP mode acquisition=0",
    L"Ignore uniform images=1",
    L"Replace bad lines=0",
    L"Store original TESSEL\u00B2 images=0",
    L"Convert TESSEL\u00B2 images with 2p10000=0",
    L"TESSEL\u00B2 : Soustract dark image=1",
    L"TESSEL\u00B2 : Soustract five dark images=0",
    L"TESSEL\u00B2 : Retrieve only black image=0",
    L"TESSEL\u00B2 : Apply FFC=1",
    L"TESSEL\u00B2 : Don't rotate or flip images=0",
    L"TESSEL\u00B2 : Apply a average 5x5=0",
    L"TESSEL\u00B2 : Apply a median 3x3=1",
    L"TESSEL\u00B2 : Apply a median 5x5=0",
    L"Batteries Delta=100",
    L"Ignore sensor serial number=1",
};

TEST(TechSettings, DefaultsTextsUnchangedAndTheBadLinesBit) {
    SPractice p;
    const std::wstring ini = L"C:\\x\\Varnik Imaging.ini";
    EXPECT_EQ(TechSettingsLines(p.Ports(), ini, false), kDefaultTechLines);

    struct SCase {
        const wchar_t* m_pszStore;
        const wchar_t* m_pszReplace;
    };
    for (const SCase c :
         {SCase{L"256", L"Replace bad lines=1"}, SCase{L"1", L"Replace bad lines=0"},
          SCase{L"768", L"Replace bad lines=1"}, SCase{L"512", L"Replace bad lines=0"},
          SCase{L"x256", L"Replace bad lines=0"}}) {
        p.m_profile.m_files[ini][L"TESSEL"][L"TESSELIIStoreImage"] = c.m_pszStore;
        const auto lines = TechSettingsLines(p.Ports(), ini, false);
        ASSERT_EQ(lines.size(), 19u);
        EXPECT_EQ(lines[6], c.m_pszReplace) << c.m_pszStore;
        EXPECT_EQ(lines[7], std::wstring(L"Store original TESSEL\u00B2 images=") + c.m_pszStore);
    }
    p.m_profile.m_files[ini][L"TESSEL"][L"BatterieDelta"] = L"YES=7";
    EXPECT_EQ(TechSettingsLines(p.Ports(), ini, false)[17], L"Batteries Delta=YES=7");

    p.m_profile.m_reads.clear();
    EXPECT_EQ(TechSettingsLines(p.Ports(), ini, true),
              (std::vector<std::wstring>{L"Medical version: No technical settings!"}));
    EXPECT_TRUE(p.m_profile.m_reads.empty()) << "nothing read for a medical product";
}

TEST(IniFileSection, FoundOrNotFound) {
    SPractice p;
    EXPECT_EQ(IniFileSectionLines(p.Ports(), false),
              (std::vector<std::wstring>{L"[INI FILE]", L"FileName not found."}));
    const std::wstring ini = p.App() + L"Varnik Imaging.ini";
    p.SetImagesPath(ini, L"C:\\Img");
    p.m_profile.m_files[ini][L"TESSEL"][L"GeneACDC"] = L"1";
    std::vector<std::wstring> expected = {
        L"[INI FILE]", L"FileName=" + ini, L"", L"DC Generator = YES", L"", L"", L"", L"",
        L"",           L"[TECH SETTINGS]"};
    auto medical = expected;
    medical.push_back(kMedicalTechLine);
    EXPECT_EQ(IniFileSectionLines(p.Ports(), true), medical);
    expected.insert(expected.end(), kDefaultTechLines.begin(), kDefaultTechLines.end());
    EXPECT_EQ(IniFileSectionLines(p.Ports(), false), expected);
}

} // namespace
