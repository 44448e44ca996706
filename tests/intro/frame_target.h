#pragma once
// A float target that a frame is drawn into, as the frame loop does it
// (cleared to magenta first), and read back.
#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "intro/solution.h"
#include "test_device.h"

class ReadBackTarget {
public:
    using Pixel = std::array<float, 4>;

    ReadBackTarget(std::uint32_t width, std::uint32_t height) : width(width), height(height)
    {
        D3D11_TEXTURE2D_DESC desc{};
        desc.Width = width;
        desc.Height = height;
        desc.MipLevels = 1;
        desc.ArraySize = 1;
        desc.Format = DXGI_FORMAT_R32G32B32A32_FLOAT;
        desc.SampleDesc.Count = 1;
        desc.Usage = D3D11_USAGE_DEFAULT;
        desc.BindFlags = D3D11_BIND_RENDER_TARGET;
        Gfx().device->CreateTexture2D(&desc, nullptr, &texture);
        Gfx().device->CreateRenderTargetView(texture, nullptr, &view);
        desc.Usage = D3D11_USAGE_STAGING;
        desc.BindFlags = 0;
        desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
        Gfx().device->CreateTexture2D(&desc, nullptr, &staging);
    }
    ~ReadBackTarget()
    {
        for (IUnknown* object : std::initializer_list<IUnknown*>{view, texture, staging})
            if (object)
                object->Release();
    }
    ReadBackTarget(const ReadBackTarget&) = delete;
    ReadBackTarget& operator=(const ReadBackTarget&) = delete;

    // The centre pixel of the frame of the position.
    Pixel Draw(Solution& solution, std::uint32_t position)
    {
        const float magenta[4] = {1, 0, 1, 1};
        Gfx().context->ClearRenderTargetView(view, magenta);
        solution.Render(position, view);
        Gfx().context->CopyResource(staging, texture);
        Pixel centre{-1, -1, -1, -1};
        D3D11_MAPPED_SUBRESOURCE mapped{};
        if (SUCCEEDED(Gfx().context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped))) {
            std::memcpy(centre.data(),
                        static_cast<const char*>(mapped.pData) + (height / 2) * mapped.RowPitch +
                            (width / 2) * sizeof(Pixel),
                        sizeof(Pixel));
            Gfx().context->Unmap(staging, 0);
        }
        return centre;
    }

private:
    std::uint32_t width;
    std::uint32_t height;
    ID3D11Texture2D* texture = nullptr;
    ID3D11Texture2D* staging = nullptr;
    ID3D11RenderTargetView* view = nullptr;
};
