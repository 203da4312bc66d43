#pragma once
// The device tree as plain data: a forest of text lines with an icon index
// each. Detection fills it; the form's tree control and the report read it.
#include <string>
#include <vector>

namespace ostrel {

struct STreeItem {
    std::wstring m_strText;
    int m_nImage = 0;
    std::vector<STreeItem> m_children;
};

using DeviceTree = std::vector<STreeItem>;

} // namespace ostrel
