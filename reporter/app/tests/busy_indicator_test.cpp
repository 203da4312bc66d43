#include "busy_indicator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace ostrel;

namespace {

// Records every call in order; fills as "fill l,t,r,b #rrggbb".
class CRecordingWindow final : public IBusyWindow {
public:
    SBusyRect m_tree;
    bool m_bHasTree = true;
    std::function<void()> m_onDispatch; // a handler that runs inside the dispatch
    std::vector<std::string> m_calls;

    void DispatchPending() override {
        m_calls.push_back("dispatch");
        if (m_onDispatch)
            m_onDispatch();
    }
    void RepaintTree() override { m_calls.push_back("repaint"); }
    bool TreeRect(SBusyRect& rect) override {
        rect = m_tree;
        return m_bHasTree;
    }
    void Fill(const SBusyRect& r, std::uint32_t rgb) override {
        char line[80];
        std::snprintf(line, sizeof line, "fill %d,%d,%d,%d #%02x%02x%02x", r.m_nLeft, r.m_nTop,
                      r.m_nRight, r.m_nBottom, rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
        m_calls.push_back(line);
    }
    // Index of the lit square among the last eight fills.
    int LitSquare() const {
        int lit = -1;
        for (int i = 0; i < 8; ++i)
            if (m_calls[m_calls.size() - 8 + i].find("#c8d7eb") != std::string::npos)
                lit = lit == -1 ? i : -2;
        return lit;
    }
};

} // namespace

TEST(BusyIndicator, WithoutDrawingOnlyDispatchesAndRepaints) {
    CBusyIndicator busy;
    CRecordingWindow w;
    w.m_tree = {10, 20, 286, 120};
    busy.Step(false, w);
    busy.Step(false, w);
    EXPECT_EQ(w.m_calls, (std::vector<std::string>{"dispatch", "repaint", "dispatch", "repaint"}));
    EXPECT_EQ(busy.FrameCounter(), 2u);
}

TEST(BusyIndicator, DrawsTheGapAndEightSquaresInTurn) {
    CBusyIndicator busy;
    CRecordingWindow w;
    // A tree 276 pixels wide, shortened from bottom 400 to 300: b = 27.
    w.m_tree = {10, 20, 286, 300};
    busy.BeginDrawing({10, 20, 286, 400});

    busy.Step(true, w);
    EXPECT_EQ(w.m_calls, (std::vector<std::string>{
                             "dispatch",
                             "repaint",
                             "fill 10,300,286,400 #ffffff",
                             "fill 37,327,62,352 #c8d7eb",
                             "fill 64,327,89,352 #ebebeb",
                             "fill 91,327,116,352 #ebebeb",
                             "fill 118,327,143,352 #ebebeb",
                             "fill 145,327,170,352 #ebebeb",
                             "fill 172,327,197,352 #ebebeb",
                             "fill 199,327,224,352 #ebebeb",
                             "fill 226,327,251,352 #ebebeb",
                         }));

    std::vector<int> lit;
    for (int k = 0; k < 8; ++k) {
        busy.Step(false, w);
        lit.push_back(w.LitSquare());
    }
    EXPECT_EQ(lit, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 0}));

    // Restart lights the first square again, wherever the counter stood.
    busy.Step(false, w);
    busy.Step(true, w);
    EXPECT_EQ(w.LitSquare(), 0);
    EXPECT_EQ(busy.FrameCounter(), 1u);
}

TEST(BusyIndicator, ReadsTheFlagAfterTheDispatch) {
    CBusyIndicator busy;
    CRecordingWindow w;
    w.m_tree = {0, 0, 100, 50};
    busy.BeginDrawing({0, 0, 100, 90});
    // The run ends inside a handler (the tree has its full size again).
    w.m_onDispatch = [&] { busy.EndDrawing(); };
    busy.Step(false, w);
    EXPECT_EQ(w.m_calls, (std::vector<std::string>{"dispatch", "repaint"}));

    // No tree rectangle: nothing drawn, the counter still moves on.
    CBusyIndicator busy2;
    CRecordingWindow w2;
    w2.m_bHasTree = false;
    busy2.BeginDrawing({0, 0, 100, 90});
    busy2.Step(false, w2);
    EXPECT_EQ(w2.m_calls, (std::vector<std::string>{"dispatch", "repaint"}));
    EXPECT_EQ(busy2.FrameCounter(), 1u);
}

TEST(BusyIndicator, NoGapFillWhenTheTreeIsNotShortened) {
    CBusyIndicator busy;
    CRecordingWindow w;
    w.m_tree = {0, 0, 100, 90};
    busy.BeginDrawing({0, 0, 100, 90});
    busy.Step(false, w);
    ASSERT_EQ(w.m_calls.size(), 2u + 8u);
    EXPECT_EQ(w.m_calls[2], "fill 10,100,18,108 #c8d7eb");
}
