#pragma once
// The reporter's main form. For now it holds the three mandatory fields of
// the incident form (technician, client, problem description) and the Scan
// button, enabled once all three are filled; the other fields come later.
#include "dialog_base.h"
#include "incident_fields.h"
#include "product_tag.h"

#include <string>

namespace ostrel {

class COstrelDlg : public CDialogBase, public IIncidentForm {
public:
    COstrelDlg();
    ~COstrelDlg() override;

    bool m_bAuto = false; // unattended mode, from the command line

    SIncidentFields ReadIncidentFields() const override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD wId, WORD wCode) override;
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    void UpdateScanEnabled();
    void OnScan();
    std::wstring ItemText(int id) const;

    STagGroups m_tags;
    HBRUSH m_hMandatoryBrush = nullptr;
    HBITMAP m_hBackground = nullptr;
};

} // namespace ostrel
