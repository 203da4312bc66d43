#include "form_control_ids.h"
#include "form_rules.h"
#include "imaging_fakes.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

using namespace ostrel;
using ostrel::test::SFakeImaging;

namespace {

// Controls in memory; radios by group of two (AC, DC), as the template has them.
class CFakeControls final : public IFormControls {
public:
    std::map<unsigned, std::wstring> m_texts;
    std::set<unsigned> m_checked;
    std::vector<std::wstring> m_writes; // "id=text" or "check id", in order

    std::wstring GetText(unsigned id) override {
        auto it = m_texts.find(id);
        return it == m_texts.end() ? std::wstring() : it->second;
    }
    void SetText(unsigned id, const std::wstring& text) override {
        m_writes.push_back(std::to_wstring(id) + L"=" + text);
        m_texts[id] = text;
    }
    bool IsChecked(unsigned id) override { return m_checked.count(id) > 0; }
    void Check(unsigned id) override {
        m_writes.push_back(L"check " + std::to_wstring(id));
        m_checked.erase(IDC_RADIO_AC);
        m_checked.erase(IDC_RADIO_DC);
        m_checked.insert(id);
    }
};

constexpr wchar_t kAppDir[] = L"C:\\VI\\";

// An installed imaging software in C:\VI\, found through its Wise app path,
// with a settings file that the lookup accepts.
SFakeImaging InstalledImaging() {
    SFakeImaging fake;
    fake.m_registry.m_keys[kWiseAppPathsKey].m_values = {L"C:/VI/VARNIK Imaging.exe"};
    fake.m_profile.m_files[L"C:\\VI\\Varnik Imaging.ini"][L"IMAGES"][L"Path"] = L"D:\\Images";
    return fake;
}

std::wstring Groups(const STagGroups& g) {
    return std::wstring(g.m_bTagGroup1 ? L"1" : L"") + (g.m_bTagGroup2 ? L"2" : L"") +
           (g.m_bTagGroup3 ? L"3" : L"");
}

} // namespace

TEST(FormRules, ProductTagGroups) {
    struct Case {
        const wchar_t* tag; // null: no key in the file
        const wchar_t* groups;
    } cases[] = {
        {nullptr, L"1"}, {L"", L"1"},   {L"1", L"1"},  {L"5", L"1"},  {L"6", L"2"},
        {L"8", L"2"},    {L"31", L"2"}, {L"41", L"2"}, {L"12", L"3"}, {L" 31", L"3"},
        {L"31 ", L"3"},  {L"05", L"3"}, {L"4", L"3"},  {L"61", L"3"},
    };
    for (const auto& c : cases) {
        SFakeImaging fake = InstalledImaging();
        if (c.tag)
            fake.m_profile.m_files[L"C:\\VI\\Varnik Imaging.prs"][L"PRODUCT"][L"Tag"] = c.tag;
        EXPECT_EQ(Groups(ReadProductTag(fake.Ports())), c.groups) << (c.tag ? c.tag : L"(none)");
    }

    // No product file at all, and no installation folder: group 1, from the
    // bare file name, which holds nothing here.
    SFakeImaging none;
    EXPECT_EQ(Groups(ReadProductTag(none.Ports())), L"1");
    EXPECT_EQ(none.m_profile.m_reads, (std::vector<std::wstring>{L"Varnik Imaging.prs"}));

    SFakeImaging withTag = InstalledImaging();
    withTag.m_profile.m_files[L"C:\\VI\\Varnik Imaging.prs"][L"PRODUCT"][L"Tag"] = L"31";
    ReadProductTag(withTag.Ports());
    EXPECT_EQ(withTag.m_profile.m_reads,
              (std::vector<std::wstring>{L"C:\\VI\\Varnik Imaging.prs"}));
}

TEST(FormRules, ModelListsFollowTheGroups) {
    const std::vector<std::wstring> handpieces = {L"K410",       L"K420",   L"K430",
                                                  L"K430 First", L"LUXORA", L"CURAVIS"};
    const std::vector<std::wstring> medical = {L"K510", L"K520", L"K530", L"K610"};
    const std::vector<std::wstring> docks = {L"DX_410",  L"DX_USB2",  L"DV_VIDEO",
                                             L"DN_USB2", L"410_USB2", L"DW_USB2"};
    const std::vector<std::wstring> medicalDocks = {L"K510", L"K520", L"K530"};

    SModelLists g1 = ModelListsFor(TagGroupsOf(L""));
    EXPECT_EQ(g1.m_deviceTypes, handpieces);
    EXPECT_EQ(g1.m_dockTypes, docks);

    SModelLists g2 = ModelListsFor(TagGroupsOf(L"31"));
    EXPECT_EQ(g2.m_deviceTypes, medical);
    EXPECT_EQ(g2.m_dockTypes, medicalDocks);

    SModelLists g3 = ModelListsFor(TagGroupsOf(L"12"));
    auto both = handpieces;
    both.insert(both.end(), medical.begin(), medical.end());
    auto bothDocks = docks;
    bothDocks.insert(bothDocks.end(), medicalDocks.begin(), medicalDocks.end());
    EXPECT_EQ(g3.m_deviceTypes, both);
    EXPECT_EQ(g3.m_dockTypes, bothDocks);
}

TEST(FormRules, GeneratorSettings) {
    struct Case {
        const wchar_t* acdc; // null: key missing
        const wchar_t* kv;
        const wchar_t* ma;
        const wchar_t* name;
        std::vector<std::wstring> writes;
    } cases[] = {
        {L"0", L"70", L"8", L"Kiro", {L"check 1022", L"1028=Kiro", L"1029=70 kV - 8 mA"}},
        {L"1", L"", L"", L"", {L"check 1031"}},
        {L"10", L"70", nullptr, nullptr, {L"check 1031", L"1029=70 kV -  mA"}},
        {L"2", nullptr, L"7", nullptr, {L"1029= kV - 7 mA"}},
        {L" 1", nullptr, nullptr, L"Gen", {L"1028=Gen"}},
        {nullptr, nullptr, nullptr, nullptr, {}},
    };
    for (const auto& c : cases) {
        SFakeImaging fake = InstalledImaging();
        auto& ini = fake.m_profile.m_files[L"C:\\VI\\Varnik Imaging.ini"];
        if (c.acdc)
            ini[L"TESSEL"][L"GeneACDC"] = c.acdc;
        if (c.kv)
            ini[L"Generator"][L"GeneratorKV"] = c.kv;
        if (c.ma)
            ini[L"Generator"][L"GeneratorMA"] = c.ma;
        if (c.name)
            ini[L"Generator"][L"GeneratorName"] = c.name;
        CFakeControls controls;
        CGeneratorFields fields;
        EXPECT_TRUE(fields.FillOnce(fake.Ports(), controls));
        EXPECT_EQ(controls.m_writes, c.writes) << (c.acdc ? c.acdc : L"(none)");
    }
}

TEST(FormRules, GeneratorFieldsKeepWhatWasTypedAfterTheFirstFill) {
    SFakeImaging fake = InstalledImaging();
    auto& ini = fake.m_profile.m_files[L"C:\\VI\\Varnik Imaging.ini"];
    ini[L"Generator"][L"GeneratorName"] = L"Kiro";
    ini[L"TESSEL"][L"GeneACDC"] = L"0";
    CFakeControls controls;
    CGeneratorFields fields;
    ASSERT_TRUE(fields.FillOnce(fake.Ports(), controls));

    // The technician corrects the brand and picks DC; the next showing
    // (language switch, refresh) leaves both alone.
    controls.m_texts[IDC_GEN_BRAND] = L"Orix";
    controls.m_checked = {IDC_RADIO_DC};
    controls.m_writes.clear();
    EXPECT_FALSE(fields.FillOnce(fake.Ports(), controls));
    EXPECT_TRUE(controls.m_writes.empty());
    EXPECT_EQ(controls.GetText(IDC_GEN_BRAND), L"Orix");

    // No settings file: the fields keep what they hold, and a later showing
    // that finds the file still fills them.
    SFakeImaging bare;
    CFakeControls untouched;
    CGeneratorFields later;
    EXPECT_FALSE(later.FillOnce(bare.Ports(), untouched));
    EXPECT_TRUE(untouched.m_writes.empty());
    EXPECT_FALSE(later.Filled());
    EXPECT_TRUE(later.FillOnce(fake.Ports(), untouched));
}

TEST(FormRules, ScanNeedsTheThreeMandatoryFields) {
    struct Case {
        const wchar_t* tech;
        const wchar_t* client;
        const wchar_t* remark;
        bool enabled;
    } cases[] = {
        {L"Ann", L"Dr B", L"", false}, {L"Ann", L"Dr B", L"x", true}, {L"   ", L"Dr B", L"x", true},
        {L"Ann", L"", L"x", false},    {L"", L"Dr B", L"x", false},   {L"", L"", L"", false},
        {L"Ann", L"Dr B", L" ", true},
    };
    for (const auto& c : cases) {
        CFakeControls controls;
        controls.m_texts = {{IDC_TECH_NAME, c.tech},
                            {IDC_CLIENT_NAME, c.client},
                            {IDC_REMARK, c.remark},
                            {IDC_MANAGING_SOFT, L"filled but optional"}};
        EXPECT_EQ(IsScanEnabled(controls), c.enabled)
            << '"' << c.tech << "\" \"" << c.client << "\" \"" << c.remark << '"';
    }
}

TEST(FormRules, FieldValuesAsTheScanReadsThem) {
    CFakeControls controls;
    controls.m_texts = {{1019, L"Ann"},   {1020, L"Dr B"}, {1050, L"K430 First"}, {1025, L"77"},
                        {1052, L"typed"}, {1027, L"9"},    {1028, L"Kiro"},       {1029, L"M"},
                        {1021, L"Soft"},  {1023, L"Img"},  {1017, L"no image"}};
    auto values = [&] {
        std::vector<std::wstring> out;
        for (const SFormField& f : FormFields())
            out.push_back(std::wstring(f.m_pszKey) + L"=" + FormFieldValue(controls, f));
        return out;
    };
    const std::vector<std::wstring> expected = {
        L"TechName=Ann",   L"ClientName=Dr B",   L"DeviceType=K430 First", L"DeviceNum=77",
        L"DockType=typed", L"DockNum=9",         L"GenBrand=Kiro",         L"GenModel=M",
        L"GenType=",       L"ManagingSoft=Soft", L"ImagingSoft=Img",       L"Remark=no image"};
    EXPECT_EQ(values(), expected);

    controls.m_checked = {1022};
    EXPECT_EQ(values()[8], L"GenType=AC");
    controls.m_checked = {1031};
    EXPECT_EQ(values()[8], L"GenType=DC");
}

TEST(FormRules, ScanReadsEveryFieldFromItsControl) {
    CFakeControls controls;
    const std::pair<unsigned, const wchar_t*> texts[] = {
        {1019, L"tech"},     {1020, L"client"},  {1050, L"K430 First"}, {1025, L"cam 7"},
        {1052, L"own dock"}, {1027, L"dock 9"},  {1028, L"brand"},      {1029, L"70 kV - 7 mA"},
        {1021, L"managing"}, {1023, L"imaging"}, {1017, L"a\r\nb "},
    };
    for (const auto& [id, text] : texts)
        controls.m_texts[id] = text;
    SIncidentFields fields = ReadFormFields(controls);
    EXPECT_EQ(fields.m_strTechName, L"tech");
    EXPECT_EQ(fields.m_strClientName, L"client");
    EXPECT_EQ(fields.m_strDeviceType, L"K430 First");
    EXPECT_EQ(fields.m_strDeviceNum, L"cam 7");
    EXPECT_EQ(fields.m_strDockType, L"own dock");
    EXPECT_EQ(fields.m_strDockNum, L"dock 9");
    EXPECT_EQ(fields.m_strGenBrand, L"brand");
    EXPECT_EQ(fields.m_strGenModel, L"70 kV - 7 mA");
    EXPECT_EQ(fields.m_strManagingSoft, L"managing");
    EXPECT_EQ(fields.m_strImagingSoft, L"imaging");
    EXPECT_EQ(fields.m_strRemark, L"a\r\nb ");
    EXPECT_EQ(fields.m_eGenType, EGeneratorType::None);

    for (const auto& [radio, type] :
         {std::pair{1022u, EGeneratorType::AC}, {1031u, EGeneratorType::DC}}) {
        controls.Check(radio);
        EXPECT_EQ(ReadFormFields(controls).m_eGenType, type) << radio;
    }
}
