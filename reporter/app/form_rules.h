#pragma once
// Rules of the incident form that need no window: the product tag, the model
// lists, the generator fields and the Scan rule. Controls are reached through
// IFormControls, the imaging software through the collection's ports.
#include "imaging_settings.h"
#include "incident_fields.h"
#include "product_tag.h"

#include <string>
#include <vector>

namespace ostrel {

// The form's controls by identifier (form_control_ids.h).
class IFormControls {
public:
    virtual ~IFormControls() = default;
    // The control's window text as it stands (a combo's is its edit field);
    // empty for a control that does not exist.
    virtual std::wstring GetText(unsigned id) = 0;
    virtual void SetText(unsigned id, const std::wstring& text) = 0;
    virtual bool IsChecked(unsigned id) = 0;
    // Selects a radio button of the group; the others of its group are cleared.
    virtual void Check(unsigned id) = 0;
};

// The product tag groups and ReadProductTag: product_tag.h.

// Entries of the device-type combo (1050) and the dock-type combo (1052),
// in the order they are added; the sorted combos order them.
struct SModelLists {
    std::vector<std::wstring> m_deviceTypes;
    std::vector<std::wstring> m_dockTypes;
};
SModelLists ModelListsFor(const STagGroups& tags);

// Icon of the tree's waiting root line; the image list's bitmaps are
// kTreeImageBitmaps (res/artwork_ids.h).
inline constexpr int kTreeWaitingIcon = 7; // root line of the waiting tree, string 123

// What the settings file says of the generator; empty texts say nothing.
struct SGeneratorSettings {
    enum class EType { kUnchanged, kAC, kDC };
    EType m_eType = EType::kUnchanged;
    std::wstring m_strBrand; // for 1028
    std::wstring m_strModel; // for 1029: "<kV> kV - <mA> mA"
};

// From the imaging software's settings file; false (and nothing) when there
// is none.
bool ReadGeneratorSettings(const SImagingPorts& ports, SGeneratorSettings& settings);

// Puts the settings into the generator fields. The settings file fills them
// the first time the X-ray fields are shown only: after that the fields hold
// what the technician may have typed, which a language switch or a refresh
// must not overwrite.
class CGeneratorFields {
public:
    // Returns true when it filled the fields (this call was the first with a
    // settings file found).
    bool FillOnce(const SImagingPorts& ports, IFormControls& controls);
    bool Filled() const { return m_bFilled; }

private:
    bool m_bFilled = false;
};

// Scan is allowed once technician, client and problem description all hold
// at least one character (blanks count).
bool IsScanEnabled(IFormControls& controls);

// One field the scan reads from the form, by its report key.
struct SFormField {
    unsigned m_nControlId; // for kRadioPair: the AC radio; DC is m_nSecondId
    const wchar_t* m_pszKey;
    enum class EKind { kEdit, kCombo, kRadioPair } m_eKind;
    bool m_bMandatory;
    unsigned m_nSecondId;
};

// In the order of the report's form lines.
const std::vector<SFormField>& FormFields();

// The field's value as the scan takes it: the window text, or for the
// generator type "AC", "DC" or nothing.
std::wstring FormFieldValue(IFormControls& controls, const SFormField& field);

// Every field of FormFields() into its member of what the scan reads; the
// tag groups, the Close caption and the tree are the caller's.
SIncidentFields ReadFormFields(IFormControls& controls);

} // namespace ostrel
