#include "busy_indicator.h"

namespace ostrel {
namespace {

constexpr int kSquares = 8;

} // namespace

SBusyRect CBusyIndicator::Square(const SBusyRect& tree, int i) {
    const int b = (tree.m_nRight - tree.m_nLeft) / 10;
    SBusyRect r;
    r.m_nLeft = tree.m_nLeft + (i + 1) * b;
    r.m_nRight = tree.m_nLeft + (i + 2) * b - 2;
    r.m_nTop = tree.m_nBottom + b;
    r.m_nBottom = tree.m_nBottom + 2 * b - 2;
    return r;
}

void CBusyIndicator::Step(bool bRestart, IBusyWindow& window) {
    if (bRestart)
        m_nFrame = 0;
    window.DispatchPending();
    window.RepaintTree();
    // A handler run by the dispatch may have ended the drawing (the run's own
    // end, or a nested run): read the flag only now.
    SBusyRect tree;
    if (m_bDrawing && window.TreeRect(tree)) {
        SBusyRect below{m_savedTree.m_nLeft, tree.m_nBottom, m_savedTree.m_nRight,
                        m_savedTree.m_nBottom};
        if (below.m_nBottom > below.m_nTop && below.m_nRight > below.m_nLeft)
            window.Fill(below, kBusyBackground);
        const int lit = static_cast<int>(m_nFrame % kSquares);
        for (int i = 0; i < kSquares; ++i)
            window.Fill(Square(tree, i), i == lit ? kBusySquareLit : kBusySquareDim);
    }
    ++m_nFrame;
}

} // namespace ostrel
