#pragma once
// A small stand-in for the GDI calls the text texture generator makes: a
// memory device context with a 32-bit bitmap, a FreeType face found through
// fontconfig from a face name, antialiased grey-scale glyphs drawn in one
// colour, and the bitmap read back as a top-down 32-bit image.
//
// What it does not do: no real screen (GetDC gives a context with no pixels
// of its own), no palettes, pens, regions, clipping regions, text alignment
// modes, opaque text backgrounds, kerning, rotated text (escapement and
// orientation are ignored), weights other than the face's own, italic,
// underline or strike-out, character sets, bitmaps other than 32 bits, or
// GetDIBits formats other than 32-bit uncompressed. Glyphs are clipped to the
// bitmap. The fourth byte of every pixel stays 0, as GDI leaves it.
#include "platform/system/types.h"

struct HDC__;
typedef HDC__* HDC;
typedef HGDIOBJ HBITMAP;
typedef HGDIOBJ HFONT;
typedef DWORD COLORREF;

#define RGB(r, g, b) ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // negative: top-down rows
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

static_assert(sizeof(BITMAPINFOHEADER) == 40);

#define BLACK_BRUSH 4
#define WHITE_BRUSH 0
#define TRANSPARENT 1
#define OPAQUE 2
#define BI_RGB 0
#define DIB_RGB_COLORS 0
#define FW_NORMAL 400
#define ANTIALIASED_QUALITY 4
#define CLR_INVALID 0xFFFFFFFFu

// The screen's context: only a source for compatible contexts and bitmaps.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// A black 32-bit bitmap of width x height; null for a size of 0 or below.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);

// height < 0: character height (em size) in pixels; height > 0: cell height
// (ascent + descent); 0: 16 pixels. Null when fontconfig finds no face file
// or FreeType cannot open it.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCSTR faceName);

HGDIOBJ GetStockObject(int which);  // BLACK_BRUSH and WHITE_BRUSH only
// Selects a bitmap or a font into the context; returns the one it replaces.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Stock objects, and objects still selected into a context, are not deleted.
BOOL DeleteObject(HGDIOBJ object);

int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int SetBkMode(HDC dc, int mode);
COLORREF SetTextColor(HDC dc, COLORREF color);
int SetTextCharacterExtra(HDC dc, int extra);
// Draws count characters with the cell's top-left corner at (x, y).
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count);

// Copies scan lines [start, start + lines) of the bitmap into bits as 32-bit
// BGRX pixels, rows of info's width, top-down when info's height is negative.
// Returns the number of lines copied (0 for any other format).
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);

namespace platform {
// Test aid: the number of contexts, bitmaps and fonts alive now.
int GdiLiveObjectCount();
}
