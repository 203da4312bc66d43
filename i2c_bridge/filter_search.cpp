#include "filter_search.h"

#include <optional>

namespace vidlink {

const std::vector<std::string>& DefaultDeviceNames(EGeneration eGeneration) {
    static const std::vector<std::string> first = {
        "USB 2800 Video", "USB 2801 Video", "USB 2700 Camera", "USB 2701 Camera",
        "USB 2840 Video", "USB 2841 Video", "USB 2830 Video",  "USB 2831 Video",
        "USB 2820 Video", "USB 2821 Video", "USB 2710 Camera", "USB 2711 Camera"};
    static const std::vector<std::string> second = {
        "USB 2800 Device",  "USB 2801 Device",  "USB 2840 Device",  "USB 2841 Device",
        "USB 2820 Device",  "USB 2821 Device",  "USB 2860 Device",  "USB 2861 Device",
        "USB 2862 Device",  "USB 2863 Device",  "USB 2880 Device",  "USB 2881 Device",
        "USB 2882 Device",  "USB 2883 Device",  "USB 2870 Device",  "USB 2873 Device",
        "USB 2901 Device",  "USB 2875 Device",  "USB 2869 Device",  "USB 2879 Device",
        "USB 2889 Device",  "USB 2985 Device",  "USB 3875 Device",  "USB 3879 Device",
        "USB 3885 Device",  "USB 3889 Device",  "USB 28170 Device", "USB 28174 Device",
        "USB 28178 Device", "USB 28184 Device", "USB 28188 Device", "USB 28164 Device",
        "USB 28281 Device", "USB 28284 Device"};
    return eGeneration == EGeneration::First ? first : second;
}

namespace {

struct SMatch {
    ECategory m_eCategory;
    size_t m_nIndex;
};

std::string Cut(const std::string& strText, size_t nMax) {
    return strText.size() > nMax ? strText.substr(0, nMax) : strText;
}

std::vector<ECategory> CategoriesOf(EGeneration eGeneration) {
    if (eGeneration == EGeneration::First)
        return {ECategory::VideoInput};
    return {ECategory::VideoInput, ECategory::BdaReceiver};
}

template <typename Pred>
std::optional<SMatch> FirstMatch(IDeviceCatalog& catalog, EGeneration eGeneration, Pred matches) {
    for (ECategory eCategory : CategoriesOf(eGeneration)) {
        const std::vector<SDeviceInfo> devices = catalog.ListDevices(eCategory);
        for (size_t i = 0; i < devices.size(); ++i) {
            if (matches(devices[i]))
                return SMatch{eCategory, i};
        }
    }
    return std::nullopt;
}

std::optional<SMatch> FindByName(IDeviceCatalog& catalog, EGeneration eGeneration,
                                 const std::string& strName) {
    return FirstMatch(catalog, eGeneration, [&](const SDeviceInfo& device) {
        return Cut(device.m_strFriendlyName, kMaxDeviceText).compare(0, strName.size(), strName) ==
               0;
    });
}

} // namespace

std::unique_ptr<IBridgeDriver> FindBridgeDriver(IDeviceCatalog& catalog, EGeneration eGeneration,
                                                const std::string& strName) {
    std::optional<SMatch> match = FindByName(catalog, eGeneration, strName);
    for (const std::string& strDefault : DefaultDeviceNames(eGeneration)) {
        if (match)
            break;
        match = FindByName(catalog, eGeneration, strDefault);
    }
    std::string strDsName;
    if (!match && eGeneration == EGeneration::Second && catalog.ReadDsName(strDsName)) {
        strDsName = Cut(strDsName, kMaxDsName);
        match = FirstMatch(catalog, eGeneration, [&](const SDeviceInfo& device) {
            return Cut(device.m_strDisplayName, kMaxDeviceText) == strDsName;
        });
    }
    if (!match)
        return nullptr;
    return catalog.OpenDriver(match->m_eCategory, match->m_nIndex);
}

} // namespace vidlink
