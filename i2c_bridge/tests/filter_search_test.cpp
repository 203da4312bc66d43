#include "fake_driver.h"
#include "filter_search.h"

#include <gtest/gtest.h>

#include <map>

using namespace vidlink;
using vidlink::test::CFakeDriver;
using vidlink::test::SDriverScript;

namespace {

// Devices by category; OpenDriver records which one was bound.
class CFakeCatalog final : public IDeviceCatalog {
public:
    std::vector<SDeviceInfo> ListDevices(ECategory eCategory) override {
        m_listed.push_back(eCategory);
        return m_devices[eCategory];
    }
    std::unique_ptr<IBridgeDriver> OpenDriver(ECategory eCategory, size_t nIndex) override {
        const SDeviceInfo& device = m_devices[eCategory].at(nIndex);
        m_bound.push_back(device.m_strFriendlyName);
        if (m_refusing.count(device.m_strFriendlyName))
            return nullptr;
        return std::make_unique<CFakeDriver>(m_script);
    }
    bool ReadDsName(std::string& strName) override {
        strName = m_strDsName;
        return !m_strDsName.empty();
    }

    std::map<ECategory, std::vector<SDeviceInfo>> m_devices;
    std::vector<ECategory> m_listed;
    std::vector<std::string> m_bound;
    std::map<std::string, bool> m_refusing;
    std::string m_strDsName;
    SDriverScript m_script;
};

std::string Bound(CFakeCatalog& catalog, EGeneration eGeneration, const std::string& strName) {
    catalog.m_bound.clear();
    const bool bFound = FindBridgeDriver(catalog, eGeneration, strName) != nullptr;
    if (catalog.m_bound.empty())
        return "";
    return catalog.m_bound.back() + (bFound ? "" : " (refused)");
}

} // namespace

TEST(FilterSearch, NameIsACaseSensitivePrefixOfTheFriendlyNameThenTheDefaultsInTheirOrder) {
    CFakeCatalog catalog;
    catalog.m_devices[ECategory::VideoInput] = {
        {"Webcam", "@a"}, {"USB 2821 Video Grabber", "@b"}, {"USB 2800 Video", "@c"}};
    const EGeneration g1 = EGeneration::First;
    EXPECT_EQ("USB 2821 Video Grabber", Bound(catalog, g1, "USB 2821 Video"));
    EXPECT_EQ("Webcam", Bound(catalog, g1, "Web"));
    EXPECT_EQ("Webcam", Bound(catalog, g1, "")); // every name begins with ""
    // No match ("webcam" differs in case; a longer name is no prefix): defaults,
    // where "USB 2800 Video" comes before "USB 2821 Video".
    EXPECT_EQ("USB 2800 Video", Bound(catalog, g1, "webcam"));
    EXPECT_EQ("USB 2800 Video", Bound(catalog, g1, "Webcam 2"));
    catalog.m_devices[ECategory::VideoInput].pop_back();
    EXPECT_EQ("USB 2821 Video Grabber", Bound(catalog, g1, "USB 2820 Video"));

    // The first generation looks at video input devices only, and never at the registry.
    catalog.m_devices[ECategory::VideoInput].clear();
    catalog.m_devices[ECategory::BdaReceiver] = {{"USB 2820 Video", "@d"}};
    catalog.m_strDsName = "@d";
    catalog.m_listed.clear();
    EXPECT_EQ("", Bound(catalog, g1, "USB 2820 Video"));
    for (ECategory eCategory : catalog.m_listed)
        EXPECT_EQ(ECategory::VideoInput, eCategory);
}

TEST(FilterSearch, SecondGenerationSearchesBothCategoriesPerNameThenDefaultsThenTheRegistryName) {
    CFakeCatalog catalog;
    const EGeneration g2 = EGeneration::Second;
    catalog.m_devices[ECategory::VideoInput] = {{"USB 2861 Device", "@device:vi:1"}};
    catalog.m_devices[ECategory::BdaReceiver] = {{"Varnik cameras driver #2", "@device:bda:2"},
                                                 {"USB 2800 Device", "@device:bda:3"}};
    // The name in the second category beats a default name in the first.
    EXPECT_EQ("Varnik cameras driver #2", Bound(catalog, g2, "Varnik cameras driver"));
    // Defaults: "USB 2800 Device" is tried before "USB 2861 Device", over both categories.
    EXPECT_EQ("USB 2800 Device", Bound(catalog, g2, "Other"));
    catalog.m_devices[ECategory::BdaReceiver].pop_back();
    EXPECT_EQ("USB 2861 Device", Bound(catalog, g2, "Other"));
    EXPECT_EQ(34u, DefaultDeviceNames(g2).size());
    EXPECT_EQ("USB 28284 Device", DefaultDeviceNames(g2).back());

    // Last resort: the registry's name equals a display name exactly.
    catalog.m_devices[ECategory::VideoInput] = {{"Cam A", "@device:vi:1"}};
    catalog.m_devices[ECategory::BdaReceiver] = {{"Cam B", "@device:bda:2"}};
    catalog.m_strDsName = "@device:bda:2";
    EXPECT_EQ("Cam B", Bound(catalog, g2, "Other"));
    catalog.m_strDsName = "@device:bda:";
    EXPECT_EQ("", Bound(catalog, g2, "Other"));
}

TEST(FilterSearch, TheFirstMatchDecidesAndLongTextsAreCutAsTheBuffersHoldThem) {
    CFakeCatalog catalog;
    catalog.m_devices[ECategory::VideoInput] = {{"USB 2820 Video A", "@a"},
                                                {"USB 2820 Video B", "@b"}};
    catalog.m_refusing["USB 2820 Video A"] = true;
    EXPECT_EQ("USB 2820 Video A (refused)", Bound(catalog, EGeneration::First, "USB 2820 Video"));
    EXPECT_EQ(1u, catalog.m_bound.size());

    const std::string strLong(300, 'L');
    catalog.m_devices[ECategory::VideoInput] = {{strLong, "@a"}};
    EXPECT_EQ(strLong, Bound(catalog, EGeneration::First, strLong.substr(0, kMaxDeviceText)));
    EXPECT_EQ("", Bound(catalog, EGeneration::First, strLong.substr(0, kMaxDeviceText + 1)));
}
