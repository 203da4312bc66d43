#include "product_tag.h"

namespace ostrel {

STagGroups TagGroupsOf(const std::wstring& tag) {
    STagGroups groups;
    if (tag.empty() || tag == L"1" || tag == L"5")
        groups.m_bTagGroup1 = true;
    else if (tag == L"6" || tag == L"8" || tag == L"31" || tag == L"41")
        groups.m_bTagGroup2 = true;
    else
        groups.m_bTagGroup3 = true;
    return groups;
}

STagGroups ReadProductTag(const SImagingPorts& ports) {
    std::wstring app;
    FindImagingAppDir(ports, app);
    return TagGroupsOf(ports.m_profile.GetString(L"PRODUCT", L"Tag", L"", kProfileBufferChars,
                                                 app + kProductFile));
}

} // namespace ostrel
