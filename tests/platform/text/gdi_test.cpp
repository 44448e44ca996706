#include "platform/text/gdi.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

namespace {
struct Ink {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;  // inclusive bounds
    int pixels = 0;
    bool Empty() const { return pixels == 0; }
    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
};

struct Canvas {
    int width, height;
    HDC screen = nullptr;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;

    Canvas(int w, int h) : width(w), height(h)
    {
        screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, w, h);
        oldBitmap = SelectObject(dc, bitmap);
        RECT all{0, 0, w, h};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
    }

    ~Canvas()
    {
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }

    void Draw(const char* face, int fontHeight, int x, int y, const char* text, int extra = 0)
    {
        HFONT font = CreateFontA(fontHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, ANTIALIASED_QUALITY, 0, face);
        ASSERT_NE(font, nullptr);
        HGDIOBJ old = SelectObject(dc, font);
        SetTextCharacterExtra(dc, extra);
        int length = 0;
        while (text[length])
            ++length;
        EXPECT_TRUE(TextOutA(dc, x, y, text, length));
        SelectObject(dc, old);
        EXPECT_TRUE(DeleteObject(font));
    }

    std::vector<std::uint8_t> Read(bool topDown = true)
    {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * 4, 0xCD);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = topDown ? -height : height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        EXPECT_EQ(GetDIBits(dc, bitmap, 0, height, bytes.data(), &info, DIB_RGB_COLORS), height);
        return bytes;
    }

    Ink FindInk()
    {
        const std::vector<std::uint8_t> bytes = Read();
        Ink ink;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = &bytes[(static_cast<std::size_t>(y) * width + x) * 4];
                if (p[0] > 127) {
                    ink.left = std::min(ink.left, x);
                    ink.right = std::max(ink.right, x);
                    ink.top = std::min(ink.top, y);
                    ink.bottom = std::max(ink.bottom, y);
                    ++ink.pixels;
                }
            }
        return ink;
    }
};

const char* const kFace = "DejaVu Sans";
}  // namespace

TEST(Gdi, WhiteTextOnBlackHasEqualChannelsAndAZeroFourthByte)
{
    Canvas canvas(128, 48);
    canvas.Draw(kFace, -32, 4, 2, "Hg");
    const std::vector<std::uint8_t> bytes = canvas.Read();
    int white = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        ASSERT_EQ(bytes[i], bytes[i + 1]);
        ASSERT_EQ(bytes[i], bytes[i + 2]);
        ASSERT_EQ(bytes[i + 3], 0);
        white += bytes[i] == 255;
    }
    EXPECT_GT(white, 50);
    const Ink ink = canvas.FindInk();
    EXPECT_GE(ink.left, 4);
    EXPECT_GE(ink.top, 2);
}

TEST(Gdi, NegativeHeightIsTheEmAndPositiveTheCell)
{
    Ink em, cell;
    {
        Canvas canvas(64, 64);
        canvas.Draw(kFace, -40, 4, 4, "H");
        em = canvas.FindInk();
    }
    {
        Canvas canvas(64, 64);
        canvas.Draw(kFace, 40, 4, 4, "H");
        cell = canvas.FindInk();
    }
    ASSERT_FALSE(em.Empty());
    ASSERT_FALSE(cell.Empty());
    // DejaVu's capitals are 0.73 em high; its cell is 1.16 em.
    EXPECT_NEAR(em.Height(), 29, 2);
    EXPECT_NEAR(cell.Height(), 25, 2);
    // The cell's top is the given y: a capital starts below the ascent's gap.
    EXPECT_GT(em.top, 4);
}

TEST(Gdi, CharacterExtraWidensEveryAdvance)
{
    int widths[2];
    const int extras[2] = {0, 7};
    for (int i = 0; i < 2; ++i) {
        Canvas canvas(160, 48);
        canvas.Draw(kFace, -24, 2, 2, "IIII", extras[i]);
        widths[i] = canvas.FindInk().Width();
    }
    EXPECT_EQ(widths[1] - widths[0], 3 * 7);
}

TEST(Gdi, GlyphsAreClippedToTheBitmap)
{
    struct Case {
        int x, y;
    };
    const Case cases[] = {
        {-10, -10}, {20, 8}, {-1000, 0}, {0, -1000}, {INT_MAX - 5, 0}, {INT_MIN + 5, INT_MIN + 5}, {0, INT_MAX - 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "at " << c.x << ", " << c.y);
        Canvas canvas(24, 16);
        canvas.Draw(kFace, -40, c.x, c.y, "WW");
        canvas.FindInk();  // reads every pixel; nothing beyond it was written
    }
    // A glyph across the top-left corner still draws its visible part.
    Canvas canvas(24, 16);
    canvas.Draw(kFace, -40, -3, -10, "WWWW");
    const Ink ink = canvas.FindInk();
    EXPECT_EQ(ink.left, 0);
    EXPECT_EQ(ink.top, 0);
}

TEST(Gdi, AFaceThatIsNotInstalledFallsBackToAnotherOne)
{
    Canvas canvas(96, 48);
    canvas.Draw("Quorvelan No Such Face", -32, 2, 2, "Ab");
    EXPECT_FALSE(canvas.FindInk().Empty());
}

TEST(Gdi, BottomUpReadsReverseTheRows)
{
    Canvas canvas(8, 4);
    RECT topRow{0, 0, 8, 1};
    FillRect(canvas.dc, &topRow, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const std::vector<std::uint8_t> down = canvas.Read(true);
    const std::vector<std::uint8_t> up = canvas.Read(false);
    EXPECT_EQ(down[0], 255);
    EXPECT_EQ(down[8 * 4 * 3], 0);
    EXPECT_EQ(up[0], 0);
    EXPECT_EQ(up[8 * 4 * 3], 255);

    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 8, -4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<std::uint8_t> bytes(8 * 4 * 4);
    EXPECT_EQ(GetDIBits(canvas.dc, canvas.bitmap, 0, 4, bytes.data(), &info, DIB_RGB_COLORS), 0);
}

TEST(Gdi, EverythingMadeIsFreed)
{
    const int before = platform::GdiLiveObjectCount();
    {
        Canvas canvas(32, 32);
        HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, ANTIALIASED_QUALITY, 0, kFace);
        ASSERT_NE(font, nullptr);
        SelectObject(canvas.dc, font);
        EXPECT_FALSE(DeleteObject(font)) << "a selected font stays";
        SelectObject(canvas.dc, GetStockObject(BLACK_BRUSH));  // not a font: changes nothing
        DeleteDC(canvas.dc);
        canvas.dc = CreateCompatibleDC(canvas.screen);
        EXPECT_TRUE(DeleteObject(font)) << "deleting its context unselects it";
        EXPECT_FALSE(DeleteObject(GetStockObject(BLACK_BRUSH)));
        EXPECT_EQ(CreateCompatibleBitmap(canvas.screen, 0, 10), nullptr);
    }
    EXPECT_EQ(platform::GdiLiveObjectCount(), before);
}
