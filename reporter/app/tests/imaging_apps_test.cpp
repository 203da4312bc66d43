// The imaging-application check against a scripted desktop: windows that
// close when asked, after a while, or never; a user who closes them between
// prompts; a clock that moves only while the check waits.
#include "imaging_apps.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace ostrel;

namespace {

// String n reads "#n", so a prompt shows which number and offset it used.
class CNumberStrings final : public IStringSource {
public:
    bool LoadText(unsigned id, std::wstring& text) override {
        text = L"#" + std::to_wstring(id);
        return true;
    }
};

struct SAppWindow {
    bool m_bOpen = true;
    // Milliseconds after the close message until the window is gone; -1: never.
    int m_nCloseAfterMs = 0;
    unsigned m_nClosePostedAt = 0;
    int m_nClosesPosted = 0;
};

class CScriptedDesktop final : public IImagingWindows,
                               public IImagingPrompts,
                               public IImagingClock {
public:
    std::map<std::wstring, SAppWindow> m_windows;
    // What the user does when a box shows: may close windows, gives the answer.
    std::function<EPromptAnswer(const std::wstring&, int)> m_user = [](const std::wstring&, int) {
        return EPromptAnswer::Ok;
    };
    std::vector<std::wstring> m_shown; // "text|OK" or "text|OKCANCEL"
    std::vector<unsigned> m_shownAt;
    unsigned m_nNow = 0xFFFFF000u; // close to the wrap on purpose

    void Open(const wchar_t* cls, int nCloseAfterMs) { m_windows[cls] = {true, nCloseAfterMs}; }

    bool Exists(const wchar_t* cls) override {
        auto it = m_windows.find(cls);
        if (it == m_windows.end())
            return false;
        SAppWindow& w = it->second;
        if (w.m_bOpen && w.m_nClosesPosted > 0 && w.m_nCloseAfterMs >= 0 &&
            m_nNow - w.m_nClosePostedAt >= static_cast<unsigned>(w.m_nCloseAfterMs))
            w.m_bOpen = false;
        return w.m_bOpen;
    }
    void PostClose(const wchar_t* cls) override {
        auto it = m_windows.find(cls);
        if (it != m_windows.end() && it->second.m_bOpen) {
            it->second.m_nClosesPosted++;
            it->second.m_nClosePostedAt = m_nNow;
        }
    }
    EPromptAnswer Show(const std::wstring& text, EPromptButtons buttons) override {
        m_shown.push_back(text + (buttons == EPromptButtons::Ok ? L"|OK" : L"|OKCANCEL"));
        m_shownAt.push_back(m_nNow);
        return m_user(text, static_cast<int>(m_shown.size()));
    }
    unsigned NowMs() override { return m_nNow; }
    void SleepMs(unsigned ms) override { m_nNow += ms; }

    void CloseByHand(const wchar_t* cls) { m_windows[cls].m_bOpen = false; }
    int ClosesPosted(const wchar_t* cls) { return m_windows[cls].m_nClosesPosted; }

    EImagingCheck Run(bool bAuto, int nLangOffset) {
        CUiText text(m_strings, nLangOffset);
        return CheckImagingApplications(bAuto, text, *this, *this, *this);
    }

private:
    CNumberStrings m_strings;
};

using Shown = std::vector<std::wstring>;

} // namespace

TEST(ImagingAppsInteractive, NothingOpenShowsTheReminderOnly) {
    for (auto [nOffset, reminder] : {std::pair{0, L"#126|OKCANCEL"}, {100, L"#226|OKCANCEL"}}) {
        CScriptedDesktop desk;
        EXPECT_EQ(desk.Run(false, nOffset), EImagingCheck::Continue);
        EXPECT_EQ(desk.m_shown, Shown{reminder});
    }
    CScriptedDesktop cancelling;
    cancelling.m_user = [](const std::wstring&, int) { return EPromptAnswer::Cancel; };
    EXPECT_EQ(cancelling.Run(false, 100), EImagingCheck::EndProcess);
    EXPECT_EQ(cancelling.m_shown, Shown{L"#226|OKCANCEL"});
}

// The prompt comes back while the window lives; the interactive check never
// closes anything itself.
TEST(ImagingAppsInteractive, PromptRepeatsWhileTheWindowExists) {
    CScriptedDesktop desk;
    desk.Open(kKalderWindowClass, 0);
    desk.m_user = [&](const std::wstring&, int n) {
        if (n == 3)
            desk.CloseByHand(kKalderWindowClass);
        return EPromptAnswer::Ok;
    };
    EXPECT_EQ(desk.Run(false, 100), EImagingCheck::Continue);
    // Only Kalder open: its prompt three times, then the general reminder.
    EXPECT_EQ(desk.m_shown,
              (Shown{L"#228|OKCANCEL", L"#228|OKCANCEL", L"#228|OKCANCEL", L"#226|OKCANCEL"}));
    EXPECT_EQ(desk.ClosesPosted(kKalderWindowClass), 0);

    CScriptedDesktop both;
    both.Open(kVarnikWindowClass, 0);
    both.Open(kKalderWindowClass, 0);
    both.m_user = [&](const std::wstring& text, int) {
        both.CloseByHand(text == L"#127" ? kVarnikWindowClass : kKalderWindowClass);
        return EPromptAnswer::Ok;
    };
    EXPECT_EQ(both.Run(false, 0), EImagingCheck::Continue);
    // The Varnik prompt was shown: no reminder.
    EXPECT_EQ(both.m_shown, (Shown{L"#127|OKCANCEL", L"#128|OKCANCEL"}));
}

TEST(ImagingAppsInteractive, CancelEndsTheProcessWhetherOrNotTheWindowIsGone) {
    struct Case {
        const wchar_t* cls;
        bool bCloseBeforeCancel;
        Shown shown;
    } cases[] = {
        {kVarnikWindowClass, false, {L"#227|OKCANCEL"}},
        {kVarnikWindowClass, true, {L"#227|OKCANCEL"}},
        {kKalderWindowClass, false, {L"#228|OKCANCEL"}},
        {kKalderWindowClass, true, {L"#228|OKCANCEL"}},
    };
    for (const Case& c : cases) {
        CScriptedDesktop desk;
        desk.Open(c.cls, 0);
        desk.m_user = [&](const std::wstring&, int) {
            if (c.bCloseBeforeCancel)
                desk.CloseByHand(c.cls);
            return EPromptAnswer::Cancel;
        };
        EXPECT_EQ(desk.Run(false, 100), EImagingCheck::EndProcess) << c.cls;
        EXPECT_EQ(desk.m_shown, c.shown) << c.cls;
    }
}

TEST(ImagingAppsUnattended, ClosesBothAndShowsNothing) {
    CScriptedDesktop desk;
    desk.Open(kVarnikWindowClass, 1500);
    desk.Open(kKalderWindowClass, 300);
    EXPECT_EQ(desk.Run(true, 100), EImagingCheck::Continue);
    EXPECT_TRUE(desk.m_shown.empty());
    EXPECT_EQ(desk.ClosesPosted(kVarnikWindowClass), 1);
    EXPECT_EQ(desk.ClosesPosted(kKalderWindowClass), 1);

    CScriptedDesktop none;
    EXPECT_EQ(none.Run(true, 0), EImagingCheck::Continue);
    EXPECT_TRUE(none.m_shown.empty()); // never the general reminder
}

// One time limit for both: a slow first application leaves the second only
// what remains of the 60 s.
TEST(ImagingAppsUnattended, OneLimitForBothFromTheStart) {
    struct Case {
        int nVarnikMs, nKalderMs;
        bool bAborted;
        unsigned nAbortAtMs; // after the start, when aborted
    } cases[] = {
        {-1, -1, true, 60000},      // both ignore: one box after 60 s
        {-1, 0, true, 60000},       // the first ignores: the second is not asked
        {59000, 1100, true, 60000}, // together past the limit
        {59000, 800, false, 0},     // together just within it
        {0, -1, true, 60000},
    };
    for (const Case& c : cases) {
        CScriptedDesktop desk;
        const unsigned t0 = desk.m_nNow;
        desk.Open(kVarnikWindowClass, c.nVarnikMs);
        desk.Open(kKalderWindowClass, c.nKalderMs);
        const EImagingCheck result = desk.Run(true, 100);
        const std::string where = std::to_string(c.nVarnikMs) + "/" + std::to_string(c.nKalderMs);
        if (!c.bAborted) {
            EXPECT_EQ(result, EImagingCheck::Continue) << where;
            EXPECT_TRUE(desk.m_shown.empty()) << where;
            continue;
        }
        EXPECT_EQ(result, EImagingCheck::EndProcess) << where;
        ASSERT_EQ(desk.m_shown, Shown{L"#229|OK"}) << where;
        const unsigned nAt = desk.m_shownAt[0] - t0;
        EXPECT_GE(nAt, c.nAbortAtMs) << where;
        EXPECT_LT(nAt, c.nAbortAtMs + 2 * kImagingPollMs) << where;
        EXPECT_EQ(desk.ClosesPosted(kVarnikWindowClass), 1) << where;
        EXPECT_EQ(desk.ClosesPosted(kKalderWindowClass), c.nVarnikMs < 0 ? 0 : 1) << where;
    }
}

TEST(ImagingAppsUnattended, AbortTextFollowsTheLanguage) {
    CScriptedDesktop desk;
    desk.Open(kKalderWindowClass, -1);
    EXPECT_EQ(desk.Run(true, 0), EImagingCheck::EndProcess);
    EXPECT_EQ(desk.m_shown, Shown{L"#129|OK"});
}
