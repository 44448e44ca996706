#pragma once
// Float targets for pass tests: draw, then read the texels back.
#include <vector>

#include "common/gpu_device.h"
#include "rendering/render_target.h"

namespace test {

struct FloatTarget {
    RenderTarget target;
    u32 width, height;

    FloatTarget(ID3D11Device* device, u32 w, u32 h) : width(w), height(h)
    {
        target.Create(device, w, h, DXGI_FORMAT_R32G32B32A32_FLOAT, 1, 1, 0, false, false, 1, false,
                      D3D11_SUBRESOURCE_DATA{nullptr, 0, 0});
        EXPECT_NE(target.renderTargetView, nullptr);
    }
    ~FloatTarget() { target.Release(); }

    ID3D11RenderTargetView* rtv() const { return target.renderTargetView; }
    ID3D11ShaderResourceView* srv() const { return target.shaderResourceView; }

    // RGBA per texel, rows top first.
    std::vector<float> Read(ID3D11Device* device, ID3D11DeviceContext* context) const
    {
        return gputest::ReadFloatTexels(device, context, target.texture);
    }

    void Clear(ID3D11DeviceContext* context, float value) const
    {
        const FLOAT colour[4] = {value, value, value, value};
        context->ClearRenderTargetView(target.renderTargetView, colour);
    }
};

}  // namespace test
