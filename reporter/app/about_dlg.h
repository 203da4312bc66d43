#pragma once
// The About box: the program's version text, the compression library's
// licence and the background picture.
#include "dialog_base.h"
#include "unique_handle.h"

#include <string>

namespace ostrel {

// The licence of the compression library the archive writer is linked with.
std::wstring CompressionLicenceText();

class CAboutDlg : public CDialogBase {
public:
    CAboutDlg();

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    struct SBitmapTraits {
        static HBITMAP Empty() { return nullptr; }
        static void Close(HBITMAP h) { ::DeleteObject(h); }
    };
    CUniqueResource<HBITMAP, SBitmapTraits> m_background;
};

// Statics (labels, group boxes, radios) let the picture show through; edits
// that ask as statics keep their own background. False: default handling.
bool TransparentStatic(WPARAM wParam, LPARAM lParam, LRESULT& lResult);

// Copies a bitmap to a device context at (x, y), unscaled.
void DrawBitmapAt(HDC hdc, HBITMAP hBitmap, int x, int y);

} // namespace ostrel
