#include "platform/text/gdi.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

enum class GdiKind { Brush, Bitmap, Font };

struct HGDIOBJ__ {
    GdiKind kind;
    int selections = 0;  // contexts holding it; such an object is not deleted
    explicit HGDIOBJ__(GdiKind k) : kind(k) {}
    virtual ~HGDIOBJ__() {}
};

namespace {
int g_liveObjects = 0;

struct Brush : HGDIOBJ__ {
    COLORREF color;
    explicit Brush(COLORREF c) : HGDIOBJ__(GdiKind::Brush), color(c) {}
};

struct Bitmap : HGDIOBJ__ {
    int width;
    int height;
    std::vector<std::uint8_t> pixels;  // B, G, R, 0 per pixel, top row first
    Bitmap(int w, int h)
        : HGDIOBJ__(GdiKind::Bitmap), width(w), height(h), pixels(static_cast<std::size_t>(w) * h * 4, 0)
    {
        ++g_liveObjects;
    }
    ~Bitmap() override { --g_liveObjects; }
};

struct Font : HGDIOBJ__ {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    int ascent = 0;  // pixels from the cell's top to the baseline
    Font() : HGDIOBJ__(GdiKind::Font) { ++g_liveObjects; }
    ~Font() override
    {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
        --g_liveObjects;
    }
};

Brush g_blackBrush(RGB(0, 0, 0));
Brush g_whiteBrush(RGB(255, 255, 255));

// What a new context holds until something else is selected: GDI's 1x1
// bitmap and a font without a face, which draws nothing.
struct StockBitmap : Bitmap {
    StockBitmap() : Bitmap(1, 1) { --g_liveObjects; }
    ~StockBitmap() override { ++g_liveObjects; }
};
struct StockFont : Font {
    StockFont() { --g_liveObjects; }
    ~StockFont() override { ++g_liveObjects; }
};
StockBitmap g_defaultBitmap;
StockFont g_defaultFont;

bool IsStock(const HGDIOBJ__* object)
{
    return object == &g_blackBrush || object == &g_whiteBrush || object == &g_defaultBitmap || object == &g_defaultFont;
}

// The face file fontconfig picks for a family name (its nearest match when
// that family is not installed).
bool FindFaceFile(const char* faceName, std::string* path, int* index)
{
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return false;
    if (faceName && *faceName)
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    bool found = false;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        *path = reinterpret_cast<const char*>(file);
        int i = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &i) != FcResultMatch)
            i = 0;
        *index = i;
        found = true;
    }
    FcPatternDestroy(match);
    return found;
}

void Unselect(HGDIOBJ__* object)
{
    if (object)
        --object->selections;
}
}  // namespace

struct HDC__ {
    bool screen = false;
    Bitmap* bitmap = &g_defaultBitmap;
    Font* font = &g_defaultFont;
    COLORREF textColor = RGB(0, 0, 0);
    int bkMode = OPAQUE;
    int charExtra = 0;
    HDC__() { ++g_liveObjects; }
    ~HDC__()
    {
        Unselect(bitmap);
        Unselect(font);
        --g_liveObjects;
    }
};

HDC GetDC(HWND)
{
    HDC dc = new HDC__;
    dc->screen = true;
    return dc;
}

int ReleaseDC(HWND, HDC dc)
{
    if (!dc || !dc->screen)
        return 0;
    delete dc;
    return 1;
}

HDC CreateCompatibleDC(HDC)
{
    return new HDC__;
}

BOOL DeleteDC(HDC dc)
{
    if (!dc)
        return FALSE;
    delete dc;
    return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height)
{
    if (!dc || width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return nullptr;
    return new Bitmap(width, height);
}

HFONT CreateFontA(int height, int, int, int, int, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                  LPCSTR faceName)
{
    std::string path;
    int index = 0;
    if (!FindFaceFile(faceName, &path, &index))
        return nullptr;
    Font* font = new Font;
    if (FT_Init_FreeType(&font->library) != 0 || FT_New_Face(font->library, path.c_str(), index, &font->face) != 0) {
        delete font;
        return nullptr;
    }
    FT_Face face = font->face;
    // Pixel sizes: negative heights give the em size, positive ones the cell
    // (ascent + descent), as GDI reads them.
    double em = 16.0;
    if (height < 0) {
        em = -static_cast<double>(height);
    } else if (height > 0) {
        const double cell = FT_IS_SCALABLE(face) ? static_cast<double>(face->ascender - face->descender) : 0.0;
        em = cell > 0.0 ? height * static_cast<double>(face->units_per_EM) / cell : height;
    }
    em = std::min(em, 4096.0);
    const FT_F26Dot6 size = std::max<FT_F26Dot6>(64, static_cast<FT_F26Dot6>(em * 64.0 + 0.5));
    if (FT_Set_Char_Size(face, 0, size, 72, 72) != 0) {
        delete font;
        return nullptr;
    }
    font->ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
    return font;
}

HGDIOBJ GetStockObject(int which)
{
    switch (which) {
    case BLACK_BRUSH: return &g_blackBrush;
    case WHITE_BRUSH: return &g_whiteBrush;
    default: return nullptr;
    }
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    if (!dc || !object)
        return nullptr;
    HGDIOBJ previous = nullptr;
    if (object->kind == GdiKind::Bitmap) {
        if (dc->screen)
            return nullptr;
        previous = dc->bitmap;
        Unselect(dc->bitmap);
        dc->bitmap = static_cast<Bitmap*>(object);
    } else if (object->kind == GdiKind::Font) {
        previous = dc->font;
        Unselect(dc->font);
        dc->font = static_cast<Font*>(object);
    } else {
        return nullptr;  // brushes are passed to FillRect, never selected here
    }
    ++object->selections;
    return previous;
}

BOOL DeleteObject(HGDIOBJ object)
{
    if (!object || IsStock(object) || object->selections > 0)
        return FALSE;
    delete object;
    return TRUE;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    if (!dc || !rect || !brush || brush->kind != GdiKind::Brush)
        return 0;
    Bitmap* bitmap = dc->bitmap;
    const COLORREF color = static_cast<Brush*>(brush)->color;
    const int left = std::max<LONG>(rect->left, 0), right = std::min<LONG>(rect->right, bitmap->width);
    const int top = std::max<LONG>(rect->top, 0), bottom = std::min<LONG>(rect->bottom, bitmap->height);
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            std::uint8_t* p = &bitmap->pixels[(static_cast<std::size_t>(y) * bitmap->width + x) * 4];
            p[0] = static_cast<std::uint8_t>(color >> 16);
            p[1] = static_cast<std::uint8_t>(color >> 8);
            p[2] = static_cast<std::uint8_t>(color);
        }
    }
    return 1;
}

int SetBkMode(HDC dc, int mode)
{
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    const int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

COLORREF SetTextColor(HDC dc, COLORREF color)
{
    if (!dc)
        return CLR_INVALID;
    const COLORREF previous = dc->textColor;
    dc->textColor = color & 0x00FFFFFFu;
    return previous;
}

int SetTextCharacterExtra(HDC dc, int extra)
{
    if (!dc)
        return static_cast<int>(0x80000000u);
    const int previous = dc->charExtra;
    dc->charExtra = extra;
    return previous;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count)
{
    if (!dc || (!text && count > 0) || count < 0)
        return FALSE;
    if (!dc->font->face)
        return TRUE;
    Bitmap* bitmap = dc->bitmap;
    FT_Face face = dc->font->face;
    const std::uint8_t colour[3] = {static_cast<std::uint8_t>(dc->textColor >> 16),
                                    static_cast<std::uint8_t>(dc->textColor >> 8),
                                    static_cast<std::uint8_t>(dc->textColor)};
    // Positions in 64ths of a pixel, wide enough for any int coordinates.
    std::int64_t penX = static_cast<std::int64_t>(x) * 64;
    const std::int64_t baseline = static_cast<std::int64_t>(y) + dc->font->ascent;
    for (int i = 0; i < count; ++i) {
        const FT_ULong code = static_cast<unsigned char>(text[i]);  // Latin-1
        if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0)
            continue;
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& glyph = slot->bitmap;
        if (glyph.pixel_mode == FT_PIXEL_MODE_GRAY || glyph.pixel_mode == FT_PIXEL_MODE_MONO) {
            const std::int64_t originX = (penX >> 6) + slot->bitmap_left;
            const std::int64_t originY = baseline - slot->bitmap_top;
            // Clip the glyph's rows and columns to the bitmap.
            const std::int64_t col0 = std::max<std::int64_t>(0, -originX);
            const std::int64_t col1 = std::min<std::int64_t>(glyph.width, bitmap->width - originX);
            const std::int64_t row0 = std::max<std::int64_t>(0, -originY);
            const std::int64_t row1 = std::min<std::int64_t>(glyph.rows, bitmap->height - originY);
            for (std::int64_t r = row0; r < row1 && col0 < col1; ++r) {
                const unsigned char* src = glyph.buffer + r * glyph.pitch;
                // The row's first visible pixel: originX may lie left of the bitmap.
                std::uint8_t* dst = bitmap->pixels.data() + (static_cast<std::size_t>(originY + r) * bitmap->width +
                                                             static_cast<std::size_t>(originX + col0)) *
                                                                4;
                for (std::int64_t c = col0; c < col1; ++c, dst += 4) {
                    unsigned coverage;
                    if (glyph.pixel_mode == FT_PIXEL_MODE_GRAY)
                        coverage = src[c];
                    else
                        coverage = (src[c >> 3] & (0x80 >> (c & 7))) ? 255 : 0;
                    if (!coverage)
                        continue;
                    std::uint8_t* p = dst;
                    for (int k = 0; k < 3; ++k)
                        p[k] = static_cast<std::uint8_t>((p[k] * (255 - coverage) + colour[k] * coverage + 127) / 255);
                }
            }
        }
        penX += slot->advance.x + static_cast<std::int64_t>(dc->charExtra) * 64;
    }
    return TRUE;
}

int GetDIBits(HDC dc, HBITMAP bitmapObject, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT)
{
    if (!dc || !bitmapObject || bitmapObject->kind != GdiKind::Bitmap || !info)
        return 0;
    const Bitmap* bitmap = static_cast<const Bitmap*>(bitmapObject);
    BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biBitCount != 32 || header.biCompression != BI_RGB ||
        header.biWidth <= 0 || header.biHeight == 0)
        return 0;
    if (!bits)
        return 0;
    const bool topDown = header.biHeight < 0;
    const std::int64_t rowsInInfo = topDown ? -static_cast<std::int64_t>(header.biHeight) : header.biHeight;
    const std::int64_t rows = std::min<std::int64_t>(rowsInInfo, bitmap->height);
    const std::int64_t first = start;
    const std::int64_t last = std::min<std::int64_t>(first + lines, rows);
    const std::size_t columns = static_cast<std::size_t>(std::min<LONG>(header.biWidth, bitmap->width));
    const std::size_t stride = static_cast<std::size_t>(header.biWidth) * 4;
    auto* out = static_cast<std::uint8_t*>(bits);
    int copied = 0;
    for (std::int64_t line = first; line < last; ++line) {
        // Scan line 0 is the top row top-down and the bottom row bottom-up.
        const std::int64_t row = topDown ? line : bitmap->height - 1 - line;
        std::memcpy(out + static_cast<std::size_t>(line - first) * stride,
                    &bitmap->pixels[static_cast<std::size_t>(row) * bitmap->width * 4], columns * 4);
        ++copied;
    }
    return copied;
}

namespace platform {
int GdiLiveObjectCount()
{
    return g_liveObjects;
}
}  // namespace platform
