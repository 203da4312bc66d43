#pragma once
// Product tag groups from the imaging software's product file: which models
// the form offers and whether the product is the medical version.
#include "imaging_settings.h"

#include <string>

namespace ostrel {

struct STagGroups {
    bool m_bTagGroup1 = false;
    bool m_bTagGroup2 = false; // the medical version
    bool m_bTagGroup3 = false;
};

// Nothing read, "1" or "5": group 1; "6", "8", "31" or "41": group 2; any
// other value: group 3. Values compare exactly.
STagGroups TagGroupsOf(const std::wstring& tag);

// Key "Tag" of section "PRODUCT" of "Varnik Imaging.prs" in the installation
// folder (a bare file name when no folder is found).
STagGroups ReadProductTag(const SImagingPorts& ports);

} // namespace ostrel
