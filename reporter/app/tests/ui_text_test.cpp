#include "ui_text.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace ostrel;

namespace {

// A string table that answers only for the numbers it holds, and records the
// numbers asked for.
class CFakeStrings final : public IStringSource {
public:
    std::map<unsigned, std::wstring> m_table;
    std::vector<unsigned> m_asked;
    bool LoadText(unsigned id, std::wstring& text) override {
        m_asked.push_back(id);
        auto it = m_table.find(id);
        if (it == m_table.end()) {
            text = L"stale";
            return false;
        }
        text = it->second;
        return true;
    }
};

// Every string of the table as "F<n>" and "E<n>" (n being the French number).
CFakeStrings TaggedTable() {
    CFakeStrings s;
    for (unsigned n = 101; n <= 134; ++n) {
        if ((n >= 105 && n <= 108) || n == 132)
            continue;
        s.m_table[n] = L"F" + std::to_wstring(n);
        s.m_table[n + 100] = L"E" + std::to_wstring(n);
    }
    return s;
}

} // namespace

TEST(UiText, LanguageFollowsTheLowByteOfTheInterfaceLanguage) {
    struct Case {
        unsigned short langId;
        int offset;
        unsigned focus;
    } cases[] = {
        {0x040C, 0, 1057},   // French (France)
        {0x0C0C, 0, 1057},   // French (Canada)
        {0x100C, 0, 1057},   // French (Switzerland)
        {0x080C, 0, 1057},   // French (Belgium)
        {0x0409, 100, 1056}, // English (United States)
        {0x0407, 100, 1056}, // German
        {0x0C00, 100, 1056}, // a French sublanguage byte alone is not French
        {0x0000, 100, 1056}, // neutral
    };
    for (const auto& c : cases) {
        SLanguageChoice choice = ChooseLanguage(c.langId);
        EXPECT_EQ(choice.m_nLangOffset, c.offset) << std::hex << c.langId;
        EXPECT_EQ(choice.m_nFocusId, c.focus) << std::hex << c.langId;
    }

    struct CFakeUi final : IUiLanguage {
        unsigned short UserDefaultUiLanguage() override { return 0x0C0C; }
    } ui;
    EXPECT_EQ(ChooseLanguage(ui).m_nLangOffset, 0);
}

TEST(UiText, LookupAddsTheOffset) {
    CFakeStrings s = TaggedTable();
    EXPECT_EQ(CUiText(s, 0).Text(101), L"F101");
    EXPECT_EQ(CUiText(s, 100).Text(101), L"E101");
    EXPECT_EQ(CUiText(s, 100).Text(134), L"E134");
    EXPECT_EQ(s.m_asked, (std::vector<unsigned>{101, 201, 234}));

    // The gaps of the table give empty texts in both languages, never
    // whatever the source left in its buffer.
    for (unsigned n : {105u, 108u, 132u}) {
        EXPECT_EQ(CUiText(s, 0).Text(n), L"") << n;
        EXPECT_EQ(CUiText(s, 100).Text(n), L"") << n;
    }
}

TEST(UiText, TreeLabelAndRefreshAreComposed) {
    CFakeStrings s = TaggedTable();
    EXPECT_EQ(CUiText(s, 0).TreeLabel(), L"F122 :");
    EXPECT_EQ(CUiText(s, 100).TreeLabel(), L"E122 :");
    EXPECT_EQ(CUiText(s, 0).RefreshText(), L"Rafra\u00EEchir");
    EXPECT_EQ(CUiText(s, 100).RefreshText(), L"Refresh");
    // Any offset but French reads "Refresh".
    EXPECT_EQ(CUiText(s, 7).RefreshText(), L"Refresh");
}

TEST(UiText, FormTextsInOrderWithEitherWording) {
    CFakeStrings s = TaggedTable();
    const std::vector<std::pair<unsigned, std::wstring>> handpiece = {
        {1000, L"E102"}, {2, L"E103"},    {1001, L"E104"}, {1049, L"E122 :"}, {1047, L"Refresh"},
        {1015, L"E125"}, {1051, L"E109"}, {1004, L"E110"}, {1005, L"E111"},   {1006, L"E120"},
        {1007, L"E121"}, {1008, L"E113"}, {1009, L"E114"}, {1010, L"E115"},   {1011, L"E116"},
        {1012, L"E117"}, {1013, L"E118"}, {1045, L"E119"}, {1016, L"E112"},
    };
    auto flat = [](const std::vector<SControlText>& v) {
        std::vector<std::pair<unsigned, std::wstring>> out;
        for (const auto& t : v)
            out.emplace_back(t.m_nControlId, t.m_strText);
        return out;
    };
    EXPECT_EQ(flat(FormTexts(CUiText(s, 100), true)), handpiece);

    auto camera = handpiece;
    camera[11].second = L"E130";
    camera[12].second = L"E133";
    camera[13].second = L"E131";
    camera[14].second = L"E134";
    EXPECT_EQ(flat(FormTexts(CUiText(s, 100), false)), camera);

    auto french = flat(FormTexts(CUiText(s, 0), false));
    ASSERT_EQ(french.size(), camera.size());
    EXPECT_EQ(french[0].second, L"F102");
    EXPECT_EQ(french[3].second, L"F122 :");
    EXPECT_EQ(french[4].second, L"Rafra\u00EEchir");
    EXPECT_EQ(french[13].second, L"F131");
}
