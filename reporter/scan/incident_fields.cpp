#include "incident_fields.h"

namespace ostrel {

std::vector<std::wstring> FormReportLines(const SIncidentFields& f) {
    std::vector<std::wstring> lines = {
        L"TechName=" + f.m_strTechName,     L"ClientName=" + f.m_strClientName,
        L"DeviceType=" + f.m_strDeviceType, L"DeviceNum=" + f.m_strDeviceNum,
        L"DockType=" + f.m_strDockType,     L"DockNum=" + f.m_strDockNum,
        L"GenBrand=" + f.m_strGenBrand,     L"GenModel=" + f.m_strGenModel,
    };
    if (f.m_eGenType == EGeneratorType::AC)
        lines.push_back(L"GenType=AC");
    else if (f.m_eGenType == EGeneratorType::DC)
        lines.push_back(L"GenType=DC");
    lines.push_back(L"ManagingSoft=" + f.m_strManagingSoft);
    lines.push_back(L"ImagingSoft=" + f.m_strImagingSoft);
    lines.push_back(L"Remark=" + f.m_strRemark);
    return lines;
}

} // namespace ostrel
