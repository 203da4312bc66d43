#pragma once
// What the scan reads from the incident form when it starts. The form
// implements IIncidentForm, so the scan runs and is tested without it.
#include "device_tree.h"

#include <string>
#include <vector>

namespace ostrel {

enum class EGeneratorType { None, AC, DC };

struct SIncidentFields {
    std::wstring m_strTechName;
    std::wstring m_strClientName;
    std::wstring m_strDeviceType;
    std::wstring m_strDeviceNum;
    std::wstring m_strDockType;
    std::wstring m_strDockNum;
    std::wstring m_strGenBrand;
    std::wstring m_strGenModel;
    EGeneratorType m_eGenType = EGeneratorType::None;
    std::wstring m_strManagingSoft;
    std::wstring m_strImagingSoft;
    std::wstring m_strRemark;
    bool m_bTagGroup1 = false;
    bool m_bTagGroup2 = false;
    bool m_bTagGroup3 = false;
    std::wstring m_strCloseCaption; // caption of the form's Close button
    DeviceTree m_tree;
};

class IIncidentForm {
public:
    virtual ~IIncidentForm() = default;
    // The fields as they stand now, texts verbatim.
    virtual SIncidentFields ReadIncidentFields() const = 0;
};

// Neither tag group 1 nor 3: the medical version of the product.
inline bool IsMedicalProduct(const SIncidentFields& fields) {
    return !fields.m_bTagGroup1 && !fields.m_bTagGroup3;
}

// Scan needs technician, client and problem description, each with at least
// one character (a blank counts).
inline bool ScanAllowed(const std::wstring& tech, const std::wstring& client,
                        const std::wstring& remark) {
    return !tech.empty() && !client.empty() && !remark.empty();
}

// The report's "[FORM]" lines after the title: key=text, texts unchanged.
std::vector<std::wstring> FormReportLines(const SIncidentFields& fields);

} // namespace ostrel
