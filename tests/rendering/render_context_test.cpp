#include "rendering/render_context.h"

#include <gtest/gtest.h>

#include <climits>

#include "common/gpu_device.h"
#include "platform/text/gdi.h"
#include "rendering/render_target.h"

namespace {
struct Texels {
    UINT width = 0, height = 0;
    std::vector<std::uint8_t> bytes;  // RGBA8
    const std::uint8_t* At(UINT x, UINT y) const { return &bytes[(static_cast<std::size_t>(y) * width + x) * 4]; }
};

Texels Read(ID3D11Device* device, ID3D11DeviceContext* context, ID3D11ShaderResourceView* view)
{
    Texels texels;
    ID3D11Texture2D* texture = gputest::TextureOf(view);
    D3D11_TEXTURE2D_DESC desc{};
    texture->GetDesc(&desc);
    EXPECT_EQ(desc.Format, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB);
    EXPECT_EQ(desc.MipLevels, 1u);
    texels.width = desc.Width;
    texels.height = desc.Height;
    texels.bytes = gputest::ReadTexels(device, context, texture);
    return texels;
}

class Generators : public testing::Test {
protected:
    void SetUp() override
    {
        device = gputest::SharedDevice().device;
        context = gputest::SharedDevice().context;
        REQUIRE_DEVICE(gputest::SharedDevice());
        context->ClearState();
        g_renderContext.Set(device, context);
    }
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
};
}  // namespace

TEST(TextFontHeight, CountsTwoHundredFiftySixthsOfTheWidthWithSign)
{
    struct Case {
        i32 size;
        u32 width;
        int height;
    };
    const Case cases[] = {
        {32, 512, 64},
        {-32, 512, -64},
        {0, 512, 0},
        {1, 100, 0},
        {-1, 100, -1},  // the shift floors: -100 >> 8 is -1
        {256, 1024, 1024},
        {INT_MIN, 16384, -INT_MAX},
        {INT_MAX, 16384, INT_MAX},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextFontHeight(c.size, c.width), c.height) << c.size << " of " << c.width;
}

TEST_F(Generators, NoiseTextureHasEqualColourChannels)
{
    ID3D11ShaderResourceView* view = g_renderContext.GenerateNoiseTexture(256, 256, 12345);
    ASSERT_NE(view, nullptr);
    const Texels texels = Read(device, context, view);
    ASSERT_EQ(texels.width, 256u);
    ASSERT_EQ(texels.height, 256u);
    int distinct = 0;
    for (UINT y = 0; y < 256; ++y)
        for (UINT x = 0; x < 256; ++x) {
            const std::uint8_t* t = texels.At(x, y);
            ASSERT_EQ(t[0], t[1]);
            ASSERT_EQ(t[0], t[2]);
            distinct += t[0] != texels.At(0, 0)[0];
        }
    EXPECT_GT(distinct, 1000);
    EXPECT_EQ(view->Release(), 0u) << "the view was the texture's only holder";
}

TEST_F(Generators, ColourTextureIsOneTexel)
{
    ID3D11ShaderResourceView* view = g_renderContext.CreateColorTexture(255, 0, 0, 255);
    ASSERT_NE(view, nullptr);
    const Texels texels = Read(device, context, view);
    ASSERT_EQ(texels.width, 1u);
    ASSERT_EQ(texels.height, 1u);
    EXPECT_EQ(texels.At(0, 0)[0], 255);
    EXPECT_EQ(texels.At(0, 0)[1], 0);
    EXPECT_EQ(texels.At(0, 0)[2], 0);
    EXPECT_EQ(texels.At(0, 0)[3], 255);
    view->Release();
}

TEST_F(Generators, OctaveTextureSamplesZoomedInput)
{
    // A 16 x 16 input whose texels all differ.
    std::vector<std::uint8_t> bytes(16 * 16 * 4);
    for (UINT y = 0; y < 16; ++y)
        for (UINT x = 0; x < 16; ++x) {
            std::uint8_t* t = &bytes[(y * 16 + x) * 4];
            t[0] = static_cast<std::uint8_t>(x * 16);
            t[1] = static_cast<std::uint8_t>(y * 16);
            t[2] = static_cast<std::uint8_t>((x + y) * 8);
            t[3] = 255;
        }
    RenderTarget input;
    input.Create(device, 16, 16, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, 1, 1, 0, false, false, 1, true,
                 D3D11_SUBRESOURCE_DATA{bytes.data(), 16 * 4, 16 * 16 * 4});
    ASSERT_NE(input.shaderResourceView, nullptr);

    // (octaves, first octave, blend) -> the one octave the result shows.
    struct Case {
        float octaves, start, blend;
        int shown;
    };
    const Case cases[] = {{1, 0, 0.5f, 0}, {1, 1, 0.5f, 1}, {1, 2, 0.0f, 2},
                          {2, 1, 0.0f, 1}, {2, 1, 1.0f, 2}, {3, 0, 1.0f, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.octaves << " octaves from " << c.start << " blend " << c.blend);
        ID3D11ShaderResourceView* view =
            g_renderContext.GenerateOctaveTexture(16, 16, c.octaves, c.start, c.blend, input.shaderResourceView);
        ASSERT_NE(view, nullptr);
        const Texels texels = Read(device, context, view);
        ASSERT_EQ(texels.width, 16u);
        for (UINT y = 0; y < 16; ++y)
            for (UINT x = 0; x < 16; ++x) {
                const std::uint8_t* expected = &bytes[((y >> c.shown) * 16 + (x >> c.shown)) * 4];
                for (int k = 0; k < 4; ++k)
                    ASSERT_NEAR(texels.At(x, y)[k], expected[k], 1) << "texel " << x << ", " << y << " channel " << k;
            }
        view->Release();
    }
    input.Release();
}

TEST_F(Generators, TextTextureIsWhiteOnBlackAndFreesItsDrawing)
{
    const int before = platform::GdiLiveObjectCount();
    ID3D11ShaderResourceView* view =
        g_renderContext.CreateTextTexture("DejaVu Sans", "Quorvelan", 32, 256, 64, 4, 4, 2, 0, 0);
    EXPECT_EQ(platform::GdiLiveObjectCount(), before);
    ASSERT_NE(view, nullptr);
    const Texels texels = Read(device, context, view);
    ASSERT_EQ(texels.width, 256u);
    ASSERT_EQ(texels.height, 64u);
    int white = 0;
    for (UINT y = 0; y < 64; ++y)
        for (UINT x = 0; x < 256; ++x) {
            const std::uint8_t* t = texels.At(x, y);
            ASSERT_EQ(t[0], t[1]);
            ASSERT_EQ(t[0], t[2]);
            white += t[0] == 255;
            if (x < 4 || y < 4) {
                EXPECT_EQ(t[0], 0) << "nothing left of or above the text's origin";
            }
        }
    EXPECT_GT(white, 100);
    view->Release();

    // A negative size keeps its sign: -32 of 256 asks for a 32-pixel em, a
    // little taller than the 32-pixel cell that +32 asks for.
    int inkHeight[2];
    const i32 sizes[2] = {-32, 32};
    for (int i = 0; i < 2; ++i) {
        ID3D11ShaderResourceView* letter =
            g_renderContext.CreateTextTexture("DejaVu Sans", "H", sizes[i], 256, 96, 0, 0, 0, 0, 0);
        ASSERT_NE(letter, nullptr);
        const Texels drawn = Read(device, context, letter);
        int top = -1, bottom = -1;
        for (UINT y = 0; y < drawn.height; ++y)
            for (UINT x = 0; x < drawn.width; ++x)
                if (drawn.At(x, y)[0] > 127) {
                    if (top < 0)
                        top = static_cast<int>(y);
                    bottom = static_cast<int>(y);
                }
        inkHeight[i] = top < 0 ? 0 : bottom - top + 1;
        letter->Release();
    }
    EXPECT_NEAR(inkHeight[0], 23, 2) << "capital H of a 32-pixel em";
    EXPECT_GT(inkHeight[0], inkHeight[1]);
    EXPECT_GT(inkHeight[1], 15);
    EXPECT_EQ(platform::GdiLiveObjectCount(), before);
}

TEST_F(Generators, ARefusedTextureGivesNull)
{
    EXPECT_EQ(g_renderContext.GenerateNoiseTexture(0, 0, 0), nullptr);
    ID3D11ShaderResourceView* input = g_renderContext.CreateColorTexture(1, 2, 3, 4);
    EXPECT_EQ(g_renderContext.GenerateOctaveTexture(0, 16, 1, 0, 0, input), nullptr);
    EXPECT_EQ(g_renderContext.CreateTextTexture("DejaVu Sans", "x", 32, 0, 0, 0, 0, 0, 0, 0), nullptr);
    if (input)
        input->Release();
}
