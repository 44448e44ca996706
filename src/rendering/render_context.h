#pragma once
// The device and immediate context the texture generators work with, and the
// generators themselves: each makes an sRGB RGBA8 texture of one mip level
// and returns only its shader-resource view (null when the device refuses
// the texture); the view holds the texture.
#include <cstdint>

#include "platform/gfx/d3d11.h"
#include "rendering/math_types.h"

typedef std::uint8_t u8;
typedef std::int32_t i32;

struct RenderContext {
    ID3D11Device* device = nullptr;          // borrowed
    ID3D11DeviceContext* context = nullptr;  // borrowed

    void Set(ID3D11Device* device, ID3D11DeviceContext* context);

    // The hash of each texel's coordinate in all four channels.
    ID3D11ShaderResourceView* GenerateNoiseTexture(u32 width, u32 height, u32 unused);
    // Blends octaves zoomed copies of input, from 2^startOctave on.
    ID3D11ShaderResourceView* GenerateOctaveTexture(u32 width, u32 height, float octaves, float startOctave,
                                                    float blend, ID3D11ShaderResourceView* input);
    // One texel of the given sRGB colour.
    ID3D11ShaderResourceView* CreateColorTexture(u8 red, u8 green, u8 blue, u8 alpha);
    // White text on black; size counts 256ths of the width for the font's height.
    ID3D11ShaderResourceView* CreateTextTexture(const char* face, const char* text, i32 size, u32 width, u32 height,
                                                i32 x, i32 y, i32 charExtra, u32 unused1, u32 unused2);
};

extern RenderContext g_renderContext;

// The font height CreateTextTexture asks for: (size x width) >> 8, sign kept.
int TextFontHeight(i32 size, u32 width);
