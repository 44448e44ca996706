#pragma once
// Modal dialogs over GTK 3: a dialog made from an in-memory template,
// its procedure receiving WM_INITDIALOG and WM_COMMAND, the control messages
// it sends (combo box add, select and read; check box set and read),
// enabling controls, ending the dialog, and the display modes (from SDL's
// list of modes of the first display).
//
// Not provided: modeless dialogs, binary resource templates (a template is
// the DialogTemplateEx record below, registered under its resource number),
// controls other than push buttons, auto check boxes, static texts and
// drop-down list combo boxes, notifications other than BN_CLICKED, and
// dialog-unit conversion by the real font (a dialog unit is 1.5 by 1.625
// pixels, Tahoma 8 at 96 dots per inch).
//
// For tests without a display: a dialog can be made with no toolkit behind
// it (CreateDialogForTesting) and its controls clicked (ClickDialogItem);
// the display modes can be set (SetDisplayModesForTesting).
#include <vector>

#include "platform/system/message_box.h"
#include "platform/system/types.h"

typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#ifndef MAKEINTRESOURCEA
#define MAKEINTRESOURCEA(i) ((LPCSTR)(std::uintptr_t)(WORD)(i))
#endif
#ifndef LOWORD
#define LOWORD(l) ((WORD)(((std::uintptr_t)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((std::uintptr_t)(l)) >> 16) & 0xffff))
#endif
#define MAKEWPARAM(lo, hi) ((WPARAM)(DWORD)(((WORD)(lo)) | (((DWORD)(WORD)(hi)) << 16)))

#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define BN_CLICKED 0

constexpr int IDCANCEL = 2;

#define CB_ADDSTRING 0x0143
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_SETCURSEL 0x014E
#define CB_ERR (-1)
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BST_UNCHECKED 0
#define BST_CHECKED 1

// Styles that templates use.
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_VSCROLL 0x00200000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define DS_CENTER 0x0800L
#define BS_PUSHBUTTON 0x0L
#define BS_DEFPUSHBUTTON 0x1L
#define BS_AUTOCHECKBOX 0x3L
#define BS_TYPEMASK 0xFL
#define SS_CENTER 0x1L
#define SS_RIGHT 0x2L
#define CBS_DROPDOWNLIST 0x3L

// One control of a template: positions and sizes in dialog units.
struct DialogItemTemplateEx {
    DWORD helpId;
    DWORD exStyle;
    DWORD style;
    short x, y, cx, cy;
    int id;
    LPCSTR windowClass;  // "button", "static" or "combobox"
    LPCSTR title;        // null: none
};

struct DialogTemplateEx {
    WORD dlgVer;     // 1
    WORD signature;  // 0xFFFF
    DWORD helpId;
    DWORD exStyle;
    DWORD style;
    short x, y, cx, cy;
    LPCSTR menu;         // null: none
    LPCSTR windowClass;  // null: the default dialog class
    LPCSTR title;
    WORD pointSize;
    WORD weight;
    BYTE italic;
    BYTE charset;
    LPCSTR typeface;
    const DialogItemTemplateEx* items;
    int itemCount;
};

#define DM_BITSPERPEL 0x00040000L
#define DM_PELSWIDTH 0x00080000L
#define DM_PELSHEIGHT 0x00100000L
#define DM_DISPLAYFREQUENCY 0x00400000L

// The display-mode fields the system reads.
struct DEVMODEA {
    WORD dmSize;
    DWORD dmFields;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFrequency;
};

// Shows the template registered under templateName (MAKEINTRESOURCEA) and
// returns EndDialog's result; -1 when there is no such template or no
// display to show it on.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
// Mode numbers from 0; FALSE past the last. Only the first display; a null
// device name only.
BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode);
// No window of ours is ever the foreground for a dialog's owner: null.
HWND GetForegroundWindow();

namespace platform {
void RegisterDialogTemplate(int resourceId, const DialogTemplateEx* dialogTemplate);

// A dialog with no toolkit behind it, after its WM_INITDIALOG; null when the
// template is unknown. Destroyed with DestroyDialogForTesting.
HWND CreateDialogForTesting(int resourceId, DLGPROC proc, LPARAM param);
// What a click does: an auto check box toggles, then WM_COMMAND.
void ClickDialogItem(HWND dialog, int id);
// Whether EndDialog was called, and with what.
bool DialogEnded(HWND dialog, INT_PTR* result);
void DestroyDialogForTesting(HWND dialog);
// The modes EnumDisplaySettingsA lists from now on (instead of SDL's).
void SetDisplayModesForTesting(const std::vector<DEVMODEA>& modes);
}  // namespace platform
