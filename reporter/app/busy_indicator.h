#pragma once
// The form's busy indicator: between the detection run's probes it lets the
// form handle its pending messages, repaints the device tree and, while the
// tree is shortened, lights one of eight squares below it in turn.
#include <cstdint>

namespace ostrel {

// A rectangle in the form's client coordinates; right and bottom excluded.
struct SBusyRect {
    int m_nLeft = 0;
    int m_nTop = 0;
    int m_nRight = 0;
    int m_nBottom = 0;
    bool operator==(const SBusyRect& o) const {
        return m_nLeft == o.m_nLeft && m_nTop == o.m_nTop && m_nRight == o.m_nRight &&
               m_nBottom == o.m_nBottom;
    }
};

// 0x00BBGGRR, as the platform's colour references.
constexpr std::uint32_t BusyRgb(unsigned r, unsigned g, unsigned b) {
    return r | (g << 8) | (b << 16);
}
constexpr std::uint32_t kBusyBackground = BusyRgb(255, 255, 255);
constexpr std::uint32_t kBusySquareLit = BusyRgb(200, 215, 235);
constexpr std::uint32_t kBusySquareDim = BusyRgb(235, 235, 235);

// What the indicator needs of the form. All calls come from the form's
// window thread.
class IBusyWindow {
public:
    virtual ~IBusyWindow() = default;
    // Takes every message waiting for the form or one of its controls off the
    // queue and dispatches it (no keyboard translation); returns when none is
    // left. Handlers run inside this call.
    virtual void DispatchPending() = 0;
    // Invalidates, erases and repaints the tree control now.
    virtual void RepaintTree() = 0;
    // The tree control's current rectangle. False when it cannot be had;
    // then nothing is drawn.
    virtual bool TreeRect(SBusyRect& rect) = 0;
    // Fills a rectangle of the form's client area with a solid colour.
    virtual void Fill(const SBusyRect& rect, std::uint32_t rgb) = 0;
};

class CBusyIndicator {
public:
    // Set by the detection run once it has shortened the tree (with the
    // tree's full rectangle), cleared when the tree has its full size again.
    void BeginDrawing(const SBusyRect& fullTree) {
        m_savedTree = fullTree;
        m_bDrawing = true;
    }
    void EndDrawing() { m_bDrawing = false; }
    bool IsDrawing() const { return m_bDrawing; }
    const SBusyRect& SavedTree() const { return m_savedTree; }
    unsigned FrameCounter() const { return m_nFrame; }

    // One step: restart sets the frame counter back to 0 first.
    void Step(bool bRestart, IBusyWindow& window);

    // Square i (0 to 7) below a tree: b = width / 10, x from left + (i+1)b to
    // left + (i+2)b - 2, y from bottom + b to bottom + 2b - 2.
    static SBusyRect Square(const SBusyRect& tree, int i);

private:
    bool m_bDrawing = false;
    SBusyRect m_savedTree;
    unsigned m_nFrame = 0; // lives as long as the form: never reset but by restart
};

} // namespace ostrel
