#pragma once
// The device tree over a real tree-view control, and the shortening of that
// control while the busy squares are drawn below it.
#include "detection_run.h"
#include "device_tree.h"

#include <windows.h>

namespace ostrel {

// Lines are tree-view items; the control is not owned and belongs to the
// calling thread.
class CTreeViewSink final : public IDeviceTreeSink {
public:
    explicit CTreeViewSink(HWND hTree) : m_hTree(hTree) {}

    void Clear() override;
    TreeLine Append(TreeLine parent, const std::wstring& text, int nIcon) override;
    void Expand(TreeLine line) override;
    void Delete(TreeLine line) override;
    bool IsEmpty() override;

private:
    HWND m_hTree;
};

// The whole forest of a tree-view control, texts and images, in display
// order (what the report prints).
DeviceTree ReadTreeView(HWND hTree);

// The control's window rectangle in its parent's client coordinates; false
// when the window has no such rectangle.
bool TreeRectInParent(HWND hTree, RECT& rect);
// Saves the rectangle into saved, then sets the height to nHeight keeping
// left, top and width. False, with nothing changed, when the rectangle
// cannot be had.
bool ShortenTreeWindow(HWND hTree, int nHeight, RECT& saved);
// Gives the control the rectangle saved before (parent's client coordinates).
void RestoreTreeWindow(HWND hTree, const RECT& saved);

inline constexpr int kShortTreeHeight = 140;

} // namespace ostrel
