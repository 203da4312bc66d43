#include "form_language.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace ostrel;

namespace {

// Every string n answers "F<n>" (French) or "E<n>" (n being the French number).
class CTaggedStrings final : public IStringSource {
public:
    bool LoadText(unsigned id, std::wstring& text) override {
        text = (id > 200 ? L"E" : L"F") + std::to_wstring(id > 200 ? id - 100 : id);
        return true;
    }
};

// A system menu by position, as the system keeps it: separators have command 0.
class CFakeMenu final : public ISystemMenu {
public:
    struct SItem {
        unsigned m_nCommand;
        std::wstring m_strText;
        bool m_bEnabled;
        bool operator==(const SItem& o) const {
            return m_nCommand == o.m_nCommand && m_strText == o.m_strText &&
                   m_bEnabled == o.m_bEnabled;
        }
    };
    // A dialog's own system menu: Restore, Move, Size, Minimise, Maximise, separator, Close.
    std::vector<SItem> m_items = {{0xF120, L"Restore", true},  {0xF010, L"Move", true},
                                  {0xF000, L"Size", true},     {0xF020, L"Minimize", true},
                                  {0xF030, L"Maximize", true}, {0, L"", true},
                                  {0xF060, L"Close", true}};
    std::vector<std::wstring>* m_pLog = nullptr;

    void RemoveCommand(unsigned n) override {
        for (size_t i = 0; i < m_items.size(); ++i)
            if (m_items[i].m_nCommand == n) {
                m_items.erase(m_items.begin() + static_cast<long>(i));
                return;
            }
    }
    void RemoveAt(unsigned pos) override {
        if (pos < m_items.size())
            m_items.erase(m_items.begin() + pos);
    }
    void AppendSeparator() override {
        m_items.push_back({0, L"", true});
        Log(L"menu");
    }
    void AppendItem(unsigned n, const std::wstring& text) override {
        m_items.push_back({n, text, true});
    }
    void EnableItem(unsigned n, bool b) override {
        for (SItem& item : m_items)
            if (item.m_nCommand == n)
                item.m_bEnabled = b;
    }
    void Log(const std::wstring& what) {
        if (m_pLog && (m_pLog->empty() || m_pLog->back() != what))
            m_pLog->push_back(what);
    }
};

class CFakeView final : public IFormView {
public:
    std::vector<std::wstring> m_log;
    std::map<unsigned, std::wstring> m_texts;
    std::map<unsigned, bool> m_enabled, m_shown;
    void SetText(unsigned id, const std::wstring& text) override {
        m_texts[id] = text;
        m_log.push_back(std::to_wstring(id));
    }
    void Enable(unsigned id, bool b) override { m_enabled[id] = b; }
    void Show(unsigned id, bool b) override { m_shown[id] = b; }
    void ApplyTitleFont() override { m_log.push_back(L"font"); }
};

} // namespace

TEST(FormLanguage, SystemMenuEndsWithItsFourItemsHoweverOftenItIsRebuilt) {
    CTaggedStrings strings;
    CFakeMenu menu;
    const auto system = menu.m_items;
    RebuildSystemMenu(CUiText(strings, 0), menu);
    menu.EnableItem(32, true); // a filled form enabled Scan in between
    RebuildSystemMenu(CUiText(strings, 100), menu);
    RebuildSystemMenu(CUiText(strings, 100), menu);

    auto expected = system;
    expected.push_back({0, L"", true});
    expected.push_back({32, L"E102", false});
    expected.push_back({0, L"", true});
    expected.push_back({16, L"E101", true});
    EXPECT_EQ(menu.m_items, expected);
}

TEST(FormLanguage, FlagsEnableCameraFieldsAndShowXrayFields) {
    const std::vector<unsigned> camera = {1008, 1009, 1010, 1011, 1050, 1052, 1025, 1027};
    const std::vector<unsigned> xray = {1012, 1013, 1045, 1028, 1029, 1022, 1031, 1058};
    struct {
        bool camera, xray;
    } cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    CTaggedStrings strings;
    for (const auto& c : cases) {
        CFakeView view;
        CFakeMenu menu;
        SFormLanguageState state;
        state.m_bCameraFields = c.camera;
        state.m_bXrayFields = c.xray;
        ApplyFormLanguage(CUiText(strings, 0), state, view, menu);
        EXPECT_EQ(view.m_enabled.size(), camera.size());
        for (unsigned id : camera)
            EXPECT_EQ(view.m_enabled.at(id), c.camera) << id;
        EXPECT_EQ(view.m_shown.size(), xray.size());
        for (unsigned id : xray)
            EXPECT_EQ(view.m_shown.at(id), c.xray) << id;
    }
}

TEST(FormLanguage, ButtonsThenMenuThenTheOtherTextsThenTheTitleFont) {
    CTaggedStrings strings;
    CFakeView view;
    CFakeMenu menu;
    menu.m_pLog = &view.m_log;
    SFormLanguageState state;
    state.m_bTagGroup1 = true;
    ApplyFormLanguage(CUiText(strings, 100), state, view, menu);
    const std::vector<std::wstring> order = {L"1000", L"2",    L"1001", L"menu", L"1049", L"1047",
                                             L"1015", L"1051", L"1004", L"1005", L"1006", L"1007",
                                             L"1008", L"1009", L"1010", L"1011", L"1012", L"1013",
                                             L"1045", L"1016", L"font"};
    EXPECT_EQ(view.m_log, order);
    // Handpiece wording with tag group 1.
    EXPECT_EQ(view.m_texts[1008], L"E113");
    EXPECT_EQ(view.m_texts[1011], L"E116");
    EXPECT_EQ(view.m_texts[1049], L"E122 :");
    EXPECT_EQ(view.m_texts[1047], L"Refresh");
}

TEST(FormLanguage, SystemCommandsByRange) {
    struct {
        unsigned n;
        EFormSysCommand what;
    } cases[] = {{15, EFormSysCommand::kSystem},    {16, EFormSysCommand::kAbout},
                 {31, EFormSysCommand::kAbout},     {32, EFormSysCommand::kScan},
                 {47, EFormSysCommand::kScan},      {48, EFormSysCommand::kSystem},
                 {0xF060, EFormSysCommand::kSystem}};
    for (const auto& c : cases)
        EXPECT_EQ(FormSysCommand(c.n), c.what) << c.n;
}
