#pragma once
// The incident form: the fields a technician fills in, the device tree that a
// detection run builds, and the commands (Scan, About, Refresh, language).
// Its initialisation runs the start-up steps that need a window.
#include "busy_indicator.h"
#include "detection_run.h"
#include "dialog_base.h"
#include "form_rules.h"
#include "incident_fields.h"
#include "materiel.h"
#include "plate_scanner_host_win32.h"
#include "probe_ports_win32.h"
#include "product_tag.h"
#include "unique_handle.h"

#include <commctrl.h>

#include <memory>
#include <string>

namespace ostrel {

struct SOstrelDlgArgs {
    bool m_bAuto = false; // unattended mode, from the command line
};

struct SOstrelDlgResult {
    INT_PTR m_nEndCode = -1; // what the form ended with (IDCANCEL); -1: it never ran
};

// Icons loaded with LoadImage belong to the caller and are destroyed by it.
struct SIconTraits {
    static HICON Empty() { return nullptr; }
    static void Close(HICON h) { ::DestroyIcon(h); }
};
using CIcon = CUniqueResource<HICON, SIconTraits>;

// GDI objects the form creates (brush, bitmap, font).
struct SGdiObjectTraits {
    static HGDIOBJ Empty() { return nullptr; }
    static void Close(HGDIOBJ h) { ::DeleteObject(h); }
};
using CGdiObject = CUniqueResource<HGDIOBJ, SGdiObjectTraits>;

// The tree control does not destroy its image list: the form does.
struct SImageListTraits {
    static HIMAGELIST Empty() { return nullptr; }
    static void Close(HIMAGELIST h) { ::ImageList_Destroy(h); }
};
using CImageList = CUniqueResource<HIMAGELIST, SImageListTraits>;

class COstrelDlg : public CDialogBase, public IIncidentForm, public IDetectionForm {
public:
    explicit COstrelDlg(const SOstrelDlgArgs& args);
    ~COstrelDlg() override;

    // Runs the form modally and gives what it ended with.
    SOstrelDlgResult Run(HINSTANCE hInstance, HWND hParent);
    const SOstrelDlgArgs& Args() const { return m_args; }

    SIncidentFields ReadIncidentFields() const override;

    // The detection run's view of the form: between its probes the form's
    // pending messages, the tree repainted, the next busy square.
    void StepBusyIndicator(bool bRestart) override;
    void ShortenTree() override;
    void RestoreTree() override;
    std::wstring LanguageText(int nId) override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD wId, WORD wCode) override;
    void OnTimer(UINT_PTR nId) override;
    // Enter in a single-line field must not end the form and lose what was typed.
    void OnOK() override {}
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    void ApplyLanguage();
    void FillModelLists();
    void UpdateScanEnabled();
    void OnStartTimer();
    void RunDetection();
    void OnScan();
    void OnAbout();
    void OnRefresh();
    void SetLanguage(int nLangOffset);
    bool PaintMinimised();

    CIcon m_bigIcon, m_smallIcon;
    int m_nLangOffset = 100;
    CGdiObject m_titleFont;

    CSystemProbePorts m_probePorts;
    std::unique_ptr<CMateriel> m_pMateriel;
    // Holds the six detection flags; refuses a run while one is in progress.
    CDetectionRun m_run;

    CGdiObject m_mandatoryBrush;
    STagGroups m_tags;
    std::wstring m_strImagesDir;
    CGdiObject m_background;
    CImageList m_treeImages;
    CPlateScannerHost m_plateScanner;

    SOstrelDlgArgs m_args;
    CBusyIndicator m_busy;
    CGeneratorFields m_generator;
};

} // namespace ostrel
