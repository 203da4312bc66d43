#include "form_rules.h"

#include "form_control_ids.h"

namespace ostrel {

SModelLists ModelListsFor(const STagGroups& tags) {
    SModelLists lists;
    const bool handpiece = tags.m_bTagGroup1 || tags.m_bTagGroup3;
    const bool medical = tags.m_bTagGroup2 || tags.m_bTagGroup3;
    if (handpiece)
        lists.m_deviceTypes = {L"K410", L"K420", L"K430", L"K430 First", L"LUXORA", L"CURAVIS"};
    if (medical)
        lists.m_deviceTypes.insert(lists.m_deviceTypes.end(), {L"K510", L"K520", L"K530", L"K610"});
    if (handpiece)
        lists.m_dockTypes = {L"DX_410",  L"DX_USB2",  L"DV_VIDEO",
                             L"DN_USB2", L"410_USB2", L"DW_USB2"};
    if (medical)
        lists.m_dockTypes.insert(lists.m_dockTypes.end(), {L"K510", L"K520", L"K530"});
    return lists;
}

bool ReadGeneratorSettings(const SImagingPorts& ports, SGeneratorSettings& settings) {
    settings = SGeneratorSettings();
    std::wstring ini;
    if (!FindImagingIni(ports, ini))
        return false;
    auto read = [&](const wchar_t* section, const wchar_t* key) {
        return ports.m_profile.GetString(section, key, L"", kProfileBufferChars, ini);
    };
    const std::wstring acdc = read(L"TESSEL", L"GeneACDC");
    if (!acdc.empty() && acdc[0] == L'1')
        settings.m_eType = SGeneratorSettings::EType::kDC;
    else if (!acdc.empty() && acdc[0] == L'0')
        settings.m_eType = SGeneratorSettings::EType::kAC;
    settings.m_strBrand = read(L"Generator", L"GeneratorName");
    const std::wstring kv = read(L"Generator", L"GeneratorKV");
    const std::wstring ma = read(L"Generator", L"GeneratorMA");
    if (!kv.empty() || !ma.empty())
        settings.m_strModel = kv + L" kV - " + ma + L" mA";
    return true;
}

bool CGeneratorFields::FillOnce(const SImagingPorts& ports, IFormControls& controls) {
    if (m_bFilled)
        return false;
    SGeneratorSettings settings;
    if (!ReadGeneratorSettings(ports, settings))
        return false; // no settings file yet: a later showing may find one
    m_bFilled = true;
    if (settings.m_eType == SGeneratorSettings::EType::kDC)
        controls.Check(IDC_RADIO_DC);
    else if (settings.m_eType == SGeneratorSettings::EType::kAC)
        controls.Check(IDC_RADIO_AC);
    if (!settings.m_strBrand.empty())
        controls.SetText(IDC_GEN_BRAND, settings.m_strBrand);
    if (!settings.m_strModel.empty())
        controls.SetText(IDC_GEN_MODEL, settings.m_strModel);
    return true;
}

const std::vector<SFormField>& FormFields() {
    using K = SFormField::EKind;
    static const std::vector<SFormField> s_fields = {
        {IDC_TECH_NAME, L"TechName", K::kEdit, true, 0},
        {IDC_CLIENT_NAME, L"ClientName", K::kEdit, true, 0},
        {IDC_DEVICE_TYPE, L"DeviceType", K::kCombo, false, 0},
        {IDC_DEVICE_NUM, L"DeviceNum", K::kEdit, false, 0},
        {IDC_DOCK_TYPE, L"DockType", K::kCombo, false, 0},
        {IDC_DOCK_NUM, L"DockNum", K::kEdit, false, 0},
        {IDC_GEN_BRAND, L"GenBrand", K::kEdit, false, 0},
        {IDC_GEN_MODEL, L"GenModel", K::kEdit, false, 0},
        {IDC_RADIO_AC, L"GenType", K::kRadioPair, false, IDC_RADIO_DC},
        {IDC_MANAGING_SOFT, L"ManagingSoft", K::kEdit, false, 0},
        {IDC_IMAGING_SOFT, L"ImagingSoft", K::kEdit, false, 0},
        {IDC_REMARK, L"Remark", K::kEdit, true, 0},
    };
    return s_fields;
}

std::wstring FormFieldValue(IFormControls& controls, const SFormField& field) {
    if (field.m_eKind != SFormField::EKind::kRadioPair)
        return controls.GetText(field.m_nControlId);
    if (controls.IsChecked(field.m_nControlId))
        return L"AC";
    if (controls.IsChecked(field.m_nSecondId))
        return L"DC";
    return L"";
}

bool IsScanEnabled(IFormControls& controls) {
    for (const SFormField& field : FormFields())
        if (field.m_bMandatory && controls.GetText(field.m_nControlId).empty())
            return false;
    return true;
}

SIncidentFields ReadFormFields(IFormControls& controls) {
    struct SSlot {
        const wchar_t* m_pszKey;
        std::wstring SIncidentFields::*m_pText;
    };
    static const SSlot kSlots[] = {
        {L"TechName", &SIncidentFields::m_strTechName},
        {L"ClientName", &SIncidentFields::m_strClientName},
        {L"DeviceType", &SIncidentFields::m_strDeviceType},
        {L"DeviceNum", &SIncidentFields::m_strDeviceNum},
        {L"DockType", &SIncidentFields::m_strDockType},
        {L"DockNum", &SIncidentFields::m_strDockNum},
        {L"GenBrand", &SIncidentFields::m_strGenBrand},
        {L"GenModel", &SIncidentFields::m_strGenModel},
        {L"ManagingSoft", &SIncidentFields::m_strManagingSoft},
        {L"ImagingSoft", &SIncidentFields::m_strImagingSoft},
        {L"Remark", &SIncidentFields::m_strRemark},
    };
    SIncidentFields fields;
    for (const SFormField& field : FormFields()) {
        const std::wstring value = FormFieldValue(controls, field);
        if (field.m_eKind == SFormField::EKind::kRadioPair) {
            fields.m_eGenType = value == L"AC"   ? EGeneratorType::AC
                                : value == L"DC" ? EGeneratorType::DC
                                                 : EGeneratorType::None;
            continue;
        }
        for (const SSlot& slot : kSlots)
            if (std::wstring(field.m_pszKey) == slot.m_pszKey)
                fields.*slot.m_pText = value;
    }
    return fields;
}

} // namespace ostrel
