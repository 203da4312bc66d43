#include "about_dlg.h"

#include "form_control_ids.h"
#include "module_path.h"
#include "scan_resource.h"
#include "version_text.h"

#include <zlib.h>

namespace ostrel {

std::wstring CompressionLicenceText() {
    // The licence as the library states it, for the version we link.
    std::wstring version;
    for (const char* p = ZLIB_VERSION; *p; ++p)
        version += static_cast<wchar_t>(*p);
    return L"zlib " + version +
           L"\r\n"
           L"Copyright (C) 1995-2022 Jean-loup Gailly and Mark Adler\r\n\r\n"
           L"This software is provided 'as-is', without any express or implied warranty. "
           L"In no event will the authors be held liable for any damages arising from the "
           L"use of this software.\r\n\r\n"
           L"Permission is granted to anyone to use this software for any purpose, including "
           L"commercial applications, and to alter it and redistribute it freely, subject to "
           L"the following restrictions:\r\n\r\n"
           L"1. The origin of this software must not be misrepresented; you must not claim "
           L"that you wrote the original software. If you use this software in a product, an "
           L"acknowledgment in the product documentation would be appreciated but is not "
           L"required.\r\n"
           L"2. Altered source versions must be plainly marked as such, and must not be "
           L"misrepresented as being the original software.\r\n"
           L"3. This notice may not be removed or altered from any source distribution.\r\n\r\n"
           L"Jean-loup Gailly (jloup@gzip.org)\r\nMark Adler (madler@alumni.caltech.edu)";
}

void DrawBitmapAt(HDC hdc, HBITMAP hBitmap, int x, int y) {
    if (!hBitmap)
        return;
    HDC hMem = ::CreateCompatibleDC(hdc);
    if (!hMem)
        return;
    HGDIOBJ hOld = ::SelectObject(hMem, hBitmap);
    BITMAP bm{};
    ::GetObjectW(hBitmap, sizeof bm, &bm);
    ::BitBlt(hdc, x, y, bm.bmWidth, bm.bmHeight, hMem, 0, 0, SRCCOPY);
    ::SelectObject(hMem, hOld);
    ::DeleteDC(hMem);
}

CAboutDlg::CAboutDlg() : CDialogBase(IDD_ABOUTBOX) {}

BOOL CAboutDlg::OnInitDialog() {
    std::wstring version;
    GetFileVersionText(GetRunningModulePath(), SVersionTextOptions().WithName().FourParts(),
                       version);
    ::SetDlgItemTextW(m_hWnd, IDC_ABOUT_VERSION, version.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_ABOUT_LICENCE, CompressionLicenceText().c_str());
    m_background.reset(static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                         MAKEINTRESOURCEW(IDB_BACKGROUND),
                                                         IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    return TRUE;
}

bool IsEditControl(HWND hCtrl) {
    wchar_t cls[16] = {};
    ::GetClassNameW(hCtrl, cls, 16);
    return ::lstrcmpiW(cls, L"Edit") == 0;
}

bool TransparentStatic(WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    // Read-only and disabled edits ask as statics too; they keep their own
    // background, or scrolled text would leave traces.
    if (IsEditControl(reinterpret_cast<HWND>(lParam)))
        return false;
    ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    lResult = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    return true;
}

bool CAboutDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_ERASEBKGND:
        DrawBitmapAt(reinterpret_cast<HDC>(wParam), m_background.get(), 0, 0);
        lResult = TRUE;
        return true;
    case WM_CTLCOLORSTATIC:
        return TransparentStatic(wParam, lParam, lResult);
    default:
        return false;
    }
}

} // namespace ostrel
