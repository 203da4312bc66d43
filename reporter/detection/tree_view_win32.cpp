#include "tree_view_win32.h"

#include <commctrl.h>

#include <vector>

namespace ostrel {

namespace {

HTREEITEM Item(TreeLine line) {
    return line == kTreeRoot ? TVI_ROOT : reinterpret_cast<HTREEITEM>(line);
}

void ReadLevel(HWND hTree, HTREEITEM hFirst, DeviceTree& level) {
    for (HTREEITEM h = hFirst; h; h = TreeView_GetNextSibling(hTree, h)) {
        // Tree texts are short; the report and the form print no longer line.
        std::vector<wchar_t> text(1024, L'\0');
        TVITEMW item = {};
        item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE;
        item.hItem = h;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(text.size());
        if (!SendMessageW(hTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
            continue;
        STreeItem line;
        line.m_strText = text.data();
        line.m_nImage = item.iImage;
        ReadLevel(hTree, TreeView_GetChild(hTree, h), line.m_children);
        level.push_back(std::move(line));
    }
}

} // namespace

void CTreeViewSink::Clear() {
    TreeView_DeleteAllItems(m_hTree);
}

TreeLine CTreeViewSink::Append(TreeLine parent, const std::wstring& text, int nIcon) {
    if (parent == kNoTreeLine)
        return kNoTreeLine;
    TVINSERTSTRUCTW insert = {};
    insert.hParent = Item(parent);
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.iImage = nIcon;
    insert.item.iSelectedImage = nIcon;
    const LRESULT hItem =
        SendMessageW(m_hTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
    return static_cast<TreeLine>(hItem);
}

void CTreeViewSink::Expand(TreeLine line) {
    if (line != kNoTreeLine && line != kTreeRoot)
        TreeView_Expand(m_hTree, Item(line), TVE_EXPAND);
}

void CTreeViewSink::Delete(TreeLine line) {
    if (line != kNoTreeLine && line != kTreeRoot)
        TreeView_DeleteItem(m_hTree, Item(line));
}

bool CTreeViewSink::IsEmpty() {
    return TreeView_GetCount(m_hTree) == 0;
}

DeviceTree ReadTreeView(HWND hTree) {
    DeviceTree tree;
    ReadLevel(hTree, TreeView_GetRoot(hTree), tree);
    return tree;
}

bool TreeRectInParent(HWND hTree, RECT& rect) {
    RECT window;
    if (!GetWindowRect(hTree, &window))
        return false;
    // Two points, so that a right-to-left parent swaps left and right back.
    MapWindowPoints(HWND_DESKTOP, GetParent(hTree), reinterpret_cast<POINT*>(&window), 2);
    rect = window;
    return true;
}

bool ShortenTreeWindow(HWND hTree, int nHeight, RECT& saved) {
    RECT rect;
    if (!TreeRectInParent(hTree, rect))
        return false;
    saved = rect;
    SetWindowPos(hTree, nullptr, rect.left, rect.top, rect.right - rect.left, nHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void RestoreTreeWindow(HWND hTree, const RECT& saved) {
    SetWindowPos(hTree, nullptr, saved.left, saved.top, saved.right - saved.left,
                 saved.bottom - saved.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace ostrel
