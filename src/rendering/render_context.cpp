#include "rendering/render_context.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/text/gdi.h"
#include "rendering/builtin_shaders.h"
#include "rendering/constant_buffer.h"
#include "rendering/post_processor.h"
#include "rendering/render_target.h"
#include "rendering/shader.h"

RenderContext g_renderContext;

namespace {
constexpr u32 kTextureFormat = DXGI_FORMAT_R8G8B8A8_UNORM_SRGB;

void CreateTexture(RenderTarget* target, ID3D11Device* device, u32 width, u32 height,
                   const D3D11_SUBRESOURCE_DATA* initialData)
{
    const D3D11_SUBRESOURCE_DATA none{nullptr, 0, 0};
    target->Create(device, width, height, kTextureFormat, 1, 1, 0, false, false, 1, initialData != nullptr,
                   initialData ? *initialData : none);
}

// A target for a generator pass to draw into; false, with nothing kept, when
// the device refuses it.
bool CreateDrawTarget(RenderTarget* target, ID3D11Device* device, u32 width, u32 height)
{
    CreateTexture(target, device, width, height, nullptr);
    if (target->renderTargetView && target->shaderResourceView)
        return true;
    target->Release();
    return false;
}

// The caller keeps only the shader view, which holds the texture; the
// target's own references go, so the texture lives as long as the view.
ID3D11ShaderResourceView* HandOver(RenderTarget* target)
{
    ID3D11ShaderResourceView* view = target->shaderResourceView;
    target->shaderResourceView = nullptr;
    target->Release();
    return view;
}
}  // namespace

void RenderContext::Set(ID3D11Device* device_, ID3D11DeviceContext* context_)
{
    device = device_;
    context = context_;
}

ID3D11ShaderResourceView* RenderContext::GenerateNoiseTexture(u32 width, u32 height, u32)
{
    TexgenProcessor pass;
    pass.Initialize(device);
    RenderTarget target;
    if (!CreateDrawTarget(&target, device, width, height))
        return nullptr;
    Shader shader(device);
    shader.CompilePixelShader(g_builtinShaders[BuiltinShader::HashNoise]);
    pass.Generate(context, nullptr, target.renderTargetView, &shader);
    return HandOver(&target);
}

ID3D11ShaderResourceView* RenderContext::GenerateOctaveTexture(u32 width, u32 height, float octaves, float startOctave,
                                                               float blend, ID3D11ShaderResourceView* input)
{
    RenderTarget target;
    if (!CreateDrawTarget(&target, device, width, height))
        return nullptr;
    Shader shader(device);
    shader.CompilePixelShader(g_builtinShaders[BuiltinShader::OctaveBlend]);
    TexgenProcessor pass;
    pass.Initialize(device);
    TexgenProcessorParams payload;
    payload.data1 = Float4(octaves, startOctave, blend, 1.0f);
    pass.SetParams(payload);
    pass.Generate(context, input, target.renderTargetView, &shader);
    return HandOver(&target);
}

ID3D11ShaderResourceView* RenderContext::CreateColorTexture(u8 red, u8 green, u8 blue, u8 alpha)
{
    const u8 texel[4] = {red, green, blue, alpha};
    const D3D11_SUBRESOURCE_DATA data{texel, 4, 4};
    RenderTarget target;
    CreateTexture(&target, device, 1, 1, &data);
    return HandOver(&target);
}

int TextFontHeight(i32 size, u32 width)
{
    // In 64 bits: the product of an i32 and a u32 must neither wrap nor turn
    // unsigned; the shift is arithmetic, so the sign stays.
    const long long height = (static_cast<long long>(size) * static_cast<long long>(width)) >> 8;
    if (height > INT_MAX)
        return INT_MAX;
    if (height < -INT_MAX)
        return -INT_MAX;
    return static_cast<int>(height);
}

ID3D11ShaderResourceView* RenderContext::CreateTextTexture(const char* face, const char* text, i32 size, u32 width,
                                                           u32 height, i32 x, i32 y, i32 charExtra, u32, u32)
{
    if (width == 0 || height == 0 || width > 16384 || height > 16384)
        return nullptr;

    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, static_cast<int>(width), static_cast<int>(height));
    HFONT font =
        CreateFontA(TextFontHeight(size, width), 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, ANTIALIASED_QUALITY, 0, face);

    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    RECT all{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    SetTextCharacterExtra(dc, charExtra);
    const std::size_t length = text ? std::strlen(text) : 0;
    TextOutA(dc, x, y, text, static_cast<int>(length > INT_MAX ? INT_MAX : length));

    const std::size_t byteCount = static_cast<std::size_t>(width) * height * 4;
    unsigned char* bytes = static_cast<unsigned char*>(std::calloc(byteCount, 1));
    if (bytes) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = 40;
        info.bmiHeader.biWidth = static_cast<LONG>(width);
        info.bmiHeader.biHeight = -static_cast<LONG>(height);
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        GetDIBits(dc, bitmap, 0, height, bytes, &info, DIB_RGB_COLORS);
    }

    // The bytes go up unchanged: blue, green, red become red, green, blue.
    RenderTarget target;
    if (bytes) {
        const D3D11_SUBRESOURCE_DATA data{bytes, width * 4, width * height * 4};
        CreateTexture(&target, device, width, height, &data);
    }
    std::free(bytes);

    // Everything drawn with goes: the objects are unselected first, so that
    // each can be deleted, and the screen context is released, not deleted.
    if (oldFont)
        SelectObject(dc, oldFont);
    if (oldBitmap)
        SelectObject(dc, oldBitmap);
    if (font)
        DeleteObject(font);
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);

    return HandOver(&target);
}
