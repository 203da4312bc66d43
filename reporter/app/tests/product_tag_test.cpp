#include "imaging_fakes.h"
#include "product_tag.h"

#include <gtest/gtest.h>

using namespace ostrel;

TEST(ProductTag, GroupsOfEachValue) {
    struct SCase {
        const wchar_t* m_pszTag;
        int m_nGroup;
    } cases[] = {{L"", 1},   {L"1", 1},  {L"5", 1}, {L"6", 2},  {L"8", 2},  {L"31", 2},
                 {L"41", 2}, {L"12", 3}, {L"2", 3}, {L" 8", 3}, {L"8 ", 3}, {L"01", 3}};
    for (const auto& c : cases) {
        const STagGroups g = TagGroupsOf(c.m_pszTag);
        EXPECT_EQ(g.m_bTagGroup1 + g.m_bTagGroup2 + g.m_bTagGroup3, 1);
        EXPECT_EQ(g.m_bTagGroup1, c.m_nGroup == 1) << '"' << c.m_pszTag << '"';
        EXPECT_EQ(g.m_bTagGroup2, c.m_nGroup == 2) << '"' << c.m_pszTag << '"';
    }
}

TEST(ProductTag, ReadFromTheInstallationFolder) {
    test::SFakeImaging imaging;
    imaging.m_registry.m_keys[kSharedDllsKey].m_values = {L"C:/VARNIK/VARNIK IMAGING.EXE"};
    imaging.m_profile.m_files[L"c:\\varnik\\Varnik Imaging.prs"][L"PRODUCT"][L"Tag"] = L"8";
    EXPECT_TRUE(ReadProductTag(imaging.Ports()).m_bTagGroup2);
    // No installation: the bare file name, which holds nothing here.
    test::SFakeImaging none;
    EXPECT_TRUE(ReadProductTag(none.Ports()).m_bTagGroup1);
    EXPECT_EQ(none.m_profile.m_reads, (std::vector<std::wstring>{L"Varnik Imaging.prs"}));
}
