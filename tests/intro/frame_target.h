#pragma once
// A float target that a frame is drawn into, as the frame loop does it
// (cleared to magenta first), and read back whole.
#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "common/gpu_device.h"
#include "intro/solution.h"

class FrameTarget {
public:
    using Pixel = std::array<float, 4>;

    FrameTarget(std::uint32_t width, std::uint32_t height) : width(width), height(height)
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
        gputest::SharedDevice().device->CreateTexture2D(&desc, nullptr, &texture);
        gputest::SharedDevice().device->CreateRenderTargetView(texture, nullptr, &view);
    }
    ~FrameTarget()
    {
        for (IUnknown* object : std::initializer_list<IUnknown*>{view, texture})
            if (object)
                object->Release();
    }
    FrameTarget(const FrameTarget&) = delete;
    FrameTarget& operator=(const FrameTarget&) = delete;

    // Draws the frame of the position; gives its centre pixel.
    Pixel Draw(Solution& solution, std::uint32_t position)
    {
        const float magenta[4] = {1, 0, 1, 1};
        gputest::SharedDevice().context->ClearRenderTargetView(view, magenta);
        solution.Render(position, view);
        pixels.assign(std::size_t(width) * height, Pixel{-1, -1, -1, -1});
        const std::vector<std::uint8_t> bytes =
            gputest::ReadTexels(gputest::SharedDevice().device, gputest::SharedDevice().context, texture);
        if (bytes.size() == pixels.size() * sizeof(Pixel))
            std::memcpy(pixels.data(), bytes.data(), bytes.size());
        return Centre();
    }

    Pixel At(std::uint32_t x, std::uint32_t y) const { return pixels[std::size_t(y) * width + x]; }
    Pixel Centre() const { return At(width / 2, height / 2); }

    std::vector<Pixel> pixels;

private:
    std::uint32_t width;
    std::uint32_t height;
    ID3D11Texture2D* texture = nullptr;
    ID3D11RenderTargetView* view = nullptr;
};
