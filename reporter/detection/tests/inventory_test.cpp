// The inventory rules against a small fake machine: which keys and files are
// read, and the texts the device tree gets.
#include "driver_path.h"
#include "materiel.h"
#include "probe_fakes.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace ostrel;

namespace {

const std::wstring kSvc = L"SYSTEM\\CurrentControlSet\\Services\\";

class CFakeMachine : public IInventorySystem {
public:
    std::set<std::wstring> m_keys;
    std::map<std::wstring, std::wstring> m_values;   // "key|value" -> raw data
    std::map<std::wstring, std::wstring> m_versions; // file -> version (without name)
    std::set<std::wstring> m_files;
    std::wstring m_strWindows = L"C:\\WINDOWS";
    bool m_bWindows = true;
    std::wstring m_strProgramFiles = L"C:\\Program Files";
    bool m_bProgramFiles = true;
    std::wstring m_strAppDir;
    std::vector<std::wstring> m_versionsAsked;

    void Value(const std::wstring& key, const std::wstring& name, const std::wstring& data) {
        m_keys.insert(key);
        m_values[key + L"|" + name] = data;
    }

    bool KeyExists(const std::wstring& key) override { return m_keys.count(key) != 0; }
    ERegistryQuery QueryValue(const std::wstring& key, const std::wstring& name, unsigned bytes,
                              std::wstring& data) override {
        EXPECT_EQ(bytes, 1024u);
        if (!m_keys.count(key))
            return ERegistryQuery::NoKey;
        auto it = m_values.find(key + L"|" + name);
        if (it == m_values.end() || it->second.size() * 2 > bytes)
            return ERegistryQuery::QueryFailed;
        data = it->second;
        return ERegistryQuery::Ok;
    }
    bool WindowsFolder(unsigned chars, std::wstring& folder) override {
        EXPECT_EQ(chars, 520u);
        folder = m_strWindows;
        return m_bWindows;
    }
    bool ProgramFilesFolder(std::wstring& folder) override {
        folder = m_strProgramFiles;
        return m_bProgramFiles;
    }
    bool FileExists(const std::wstring& path) override {
        return m_files.count(path) || m_versions.count(path);
    }
    bool VersionText(const std::wstring& path, const SVersionTextOptions& options,
                     std::wstring& text) override {
        EXPECT_FALSE(options.m_bFourParts);
        const bool name = options.m_bIncludeName;
        m_versionsAsked.push_back(path);
        text.clear();
        auto it = m_versions.find(path);
        if (it == m_versions.end())
            return false;
        text = name ? path.substr(path.rfind(L'\\') + 1) + L" - " + it->second : it->second;
        return true;
    }
    bool ImagingAppDir(std::wstring& folder) override {
        folder = m_strAppDir;
        return !folder.empty();
    }
};

struct SFixture {
    CFakeMachine machine;
    test::CNullServer server;
    test::CNullDatagrams datagrams;
    CMateriel materiel{{server, server, server, machine, datagrams}, L"C:\\Tools\\"};
};

} // namespace

TEST(Inventory, ImagePathForms) {
    struct Case {
        const wchar_t* image;
        const wchar_t* file;
    } cases[] = {
        {L"\\SystemRoot\\System32\\drivers\\tessel.sys",
         L"C:\\WINDOWS\\System32\\drivers\\tessel.sys"},
        {L"\\systemROOT\\system32\\drivers\\a.sys", L"C:\\WINDOWS\\system32\\drivers\\a.sys"},
        {L"System32\\DRIVERS\\b.sys", L"C:\\WINDOWS\\System32\\DRIVERS\\b.sys"},
        {L"SYSTEM32\\c.sys", L"C:\\WINDOWS\\SYSTEM32\\c.sys"},
        {L"C:\\Drivers\\d.sys", L"C:\\Drivers\\d.sys"},
        {L"\\SystemRoot", L"\\SystemRoot"}, // no further "\": unchanged
        {L"\\??\\C:\\e.sys", L"\\??\\C:\\e.sys"},
        {L"system3", L"system3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DriverFileFromImagePath(c.image, L"C:\\WINDOWS"), c.file) << c.image;
}

TEST(Inventory, DriverTextsOfEachKind) {
    SFixture f;
    CFakeMachine& m = f.machine;
    m.Value(kSvc + L"TESSEL", L"ImagePath", L"System32\\DRIVERS\\tessel.sys");
    m.Value(kSvc + L"BTHUSB", L"ImagePath", L"\\SystemRoot\\System32\\drivers\\bthusb.sys");
    m.Value(kSvc + L"DCamUSBEMPIA", L"ImagePath", L"\\SystemRoot\\system32\\DRIVERS\\emBDA.sys");
    m.Value(kSvc + L"USB28xxBGA", L"ImagePath", L"C:\\Drivers\\usb28xx.sys");
    m.Value(kSvc + L"CyUsb", L"ImagePath", L"System32\\Drivers\\CyUsb3.sys");
    m.Value(kSvc + L"CyUsb", L"DisplayName", L"Varnik tessel 2 USB controller");
    m.m_versions[L"C:\\WINDOWS\\System32\\DRIVERS\\tessel.sys"] = L"v.3.2.0";
    m.m_versions[L"C:\\WINDOWS\\System32\\drivers\\bthusb.sys"] = L"v.6.1.7601";
    m.m_versions[L"C:\\WINDOWS\\system32\\DRIVERS\\emBDA.sys"] = L"\u00DF.1.0.12";
    m.m_versions[L"C:\\WINDOWS\\System32\\Drivers\\CyUsb3.sys"] = L"v.1.2.3";

    f.materiel.m_strLinkType = L"wireless"; // not exactly "Wireless": the wired service
    EXPECT_EQ(f.materiel.GetDriverText(1), L"tessel.sys - v.3.2.0");
    f.materiel.m_strLinkType = L"Wireless";
    EXPECT_EQ(f.materiel.GetDriverText(1), L"bthusb.sys - v.6.1.7601");
    EXPECT_EQ(f.materiel.GetDriverText(10), L"emBDA.sys - \u00DF.1.0.12");
    EXPECT_EQ(f.materiel.GetDriverText(11), L""); // no version resource
    EXPECT_EQ(f.materiel.GetDriverText(2), L"CyUsb3.sys - v.1.2.3");
    EXPECT_EQ(f.materiel.GetDriverText(3), L"(none)");
    EXPECT_EQ(f.materiel.GetDriverText(0), L"(none)");

    for (const wchar_t* name : {L"TESSEL2 Interface", L"Tessel\u00B2 direct", L"tessel\u00b2"}) {
        m.Value(kSvc + L"CyUsb", L"DisplayName", name);
        EXPECT_EQ(f.materiel.GetDriverText(2), L"CyUsb3.sys - v.1.2.3") << name;
    }
    for (const wchar_t* name : {L"Cypress USB Generic Driver", L"TESSEL  2", L""}) {
        m.Value(kSvc + L"CyUsb", L"DisplayName", name);
        EXPECT_EQ(f.materiel.GetDriverText(2), L"(not found)") << name;
    }
}

TEST(Inventory, WiredServiceFallsBackAndWindowsFolderMayFail) {
    SFixture f;
    CFakeMachine& m = f.machine;
    m.Value(kSvc + L"TESSEL", L"ImagePath", L"");
    m.Value(kSvc + L"kalder", L"ImagePath", L"system32\\drivers\\kalder.sys");
    m.m_versions[L"C:\\WINDOWS\\system32\\drivers\\kalder.sys"] = L"v.2.0.1";
    EXPECT_EQ(f.materiel.GetDriverText(1), L"kalder.sys - v.2.0.1");
    m.m_keys.erase(kSvc + L"TESSEL"); // no TESSEL key at all: the same fallback
    EXPECT_EQ(f.materiel.GetDriverText(1), L"kalder.sys - v.2.0.1");
    m.m_bWindows = false; // the path stays relative and finds nothing
    EXPECT_EQ(f.materiel.GetDriverText(1), L"");
    EXPECT_EQ(m.m_versionsAsked.back(), L"\\system32\\drivers\\kalder.sys");
    m.m_keys.clear();
    m.m_versionsAsked.clear();
    EXPECT_EQ(f.materiel.GetDriverText(1), L"");
    EXPECT_TRUE(m.m_versionsAsked.empty()); // an empty path is not looked up
}

TEST(Inventory, Bridges) {
    const std::wstring e = L"SYSTEM\\CurrentControlSet\\Enum\\USB\\";
    struct Case {
        std::vector<std::wstring> keys;
        bool b2820, b28285;
    } cases[] = {
        {{}, false, false},
        {{e + L"VID_EB1A&PID_2820"}, true, false},
        {{e + L"VID_1CE6&PID_2820"}, true, false},
        {{e + L"VID_EB1A&PID_0285"}, false, true},
        {{e + L"VID_1CE6&PID_0285", e + L"VID_EB1A&PID_2821"}, false, false},
    };
    for (const Case& c : cases) {
        SFixture f;
        f.machine.m_keys.insert(c.keys.begin(), c.keys.end());
        EXPECT_EQ(f.materiel.HasBridge2820(), c.b2820);
        EXPECT_EQ(f.materiel.HasBridge28285(), c.b28285);
    }
}

TEST(Inventory, RegistryTextIsAlwaysTerminated) {
    SFixture f;
    const std::wstring key = L"SOFTWARE\\Test";
    std::wstring text = L"unchanged";
    EXPECT_FALSE(f.materiel.ReadRegistryText(key, L"V", text));
    EXPECT_EQ(text, L"unchanged"); // key missing
    f.machine.m_keys.insert(key);
    EXPECT_FALSE(f.materiel.ReadRegistryText(key, L"V", text));
    EXPECT_EQ(text, L""); // value missing
    f.machine.Value(key, L"V", std::wstring(L"ab\0cd", 5));
    EXPECT_TRUE(f.materiel.ReadRegistryText(key, L"V", text));
    EXPECT_EQ(text, L"ab");
    f.machine.Value(key, L"V", std::wstring(512, L'x')); // fills 1024 bytes, no terminator
    EXPECT_TRUE(f.materiel.ReadRegistryText(key, L"V", text));
    EXPECT_EQ(text, std::wstring(511, L'x'));
    f.machine.Value(key, L"V", std::wstring(513, L'x')); // does not fit
    EXPECT_FALSE(f.materiel.ReadRegistryText(key, L"V", text));
    EXPECT_EQ(text, L"");
}

TEST(Inventory, CameraProgramVersion) {
    const std::wstring app = L"C:\\Imaging\\";
    const std::wstring pf = L"C:\\Program Files";
    struct Case {
        std::map<std::wstring, std::wstring> versions;
        std::vector<std::wstring> plainFiles; // present without version resource
        bool programFiles;
        const wchar_t* expected;
    } cases[] = {
        {{{app + L"Vuemo.exe", L"v.2.0.0"}, {pf + L"\\K610\\K610.exe", L"v.9.0.0"}},
         {},
         true,
         L"v.2.0.0"},
        {{{app + L"Lensix.exe", L"v.3.0.1"}, {app + L"Vuemo.exe", L"v.2.0.0"}},
         {},
         true,
         L"v.2.0.0"},
        {{{pf + L"\\Dorsen\\Vuemo.exe", L"v.4.1.0"}, {pf + L"\\Meridol\\K610.exe", L"v.5.0.0"}},
         {app + L"K610.exe"},
         true,
         L"Vuemo.exe - v.4.1.0"},
        {{{pf + L"\\Meridol\\K610.exe", L"v.5.0.0"}},
         {pf + L"\\Altavo\\Lensix.exe"},
         true,
         L""}, // the first file that exists decides, even without a version
        {{}, {}, true, L"(not found)"},
        {{}, {}, false, L""},
        // No imaging folder: the bare names are not looked up in the current folder.
        {{{L"K610.exe", L"v.1.0.0"}}, {}, true, L"(not found)"},
    };
    for (const Case& c : cases) {
        SFixture f;
        f.machine.m_strAppDir = c.versions.count(L"K610.exe") ? L"" : app;
        f.machine.m_versions = c.versions;
        f.machine.m_files.insert(c.plainFiles.begin(), c.plainFiles.end());
        f.machine.m_bProgramFiles = c.programFiles;
        EXPECT_EQ(f.materiel.GetCameraProgramVersion(), c.expected);
    }
}

TEST(Inventory, PlateScannerDriverVersion) {
    const std::wstring key =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\LumenoDriver";
    const std::wstring wow =
        L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\LumenoDriver";
    SFixture f;
    EXPECT_EQ(f.materiel.GetPlateScannerGen1Driver(), L"");
    f.machine.Value(wow, L"Version", L"4.2.1");
    EXPECT_EQ(f.materiel.GetPlateScannerGen1Driver(), L"4.2.1");
    f.machine.Value(key, L"Version", L"");
    EXPECT_EQ(f.materiel.GetPlateScannerGen1Driver(), L"4.2.1");
    f.machine.Value(key, L"Version", L"5.0");
    EXPECT_EQ(f.materiel.GetPlateScannerGen1Driver(), L"5.0");
    EXPECT_EQ(f.materiel.m_strPlateScannerDriver, L"5.0");
}
