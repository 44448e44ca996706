#include "rendering/render_target.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "common/gpu_device.h"

namespace {
const D3D11_SUBRESOURCE_DATA kNoData{nullptr, 0, 0};

D3D11_TEXTURE2D_DESC DescOf(ID3D11Texture2D* texture)
{
    D3D11_TEXTURE2D_DESC desc{};
    texture->GetDesc(&desc);
    return desc;
}
// Our own reference on each object, so that the owner's Release can be seen:
// afterwards ours must be the last one.
struct HeldReferences {
    std::vector<IUnknown*> objects;
    explicit HeldReferences(std::initializer_list<IUnknown*> held) : objects(held)
    {
        for (std::size_t i = 0; i < objects.size(); ++i) {
            if (objects[i])
                objects[i]->AddRef();
            else
                ADD_FAILURE() << "object " << i << " is null";
        }
    }
    // In reverse order: views first, as each holds its resource.
    void ExpectOnlyOursLeft() const
    {
        for (std::size_t i = objects.size(); i-- > 0;) {
            if (objects[i]) {
                EXPECT_EQ(objects[i]->Release(), 0u) << "object " << i;
            }
        }
    }
};

}  // namespace

TEST(RenderTarget, TheIntroTargetHasOneViewOfEachKind)
{
    REQUIRE_GPU();
    RenderTarget target;
    EXPECT_EQ(target.arraySize, 1u);
    target.Create(device, 64, 32, DXGI_FORMAT_R16G16B16A16_FLOAT, 1, 1, 0, false, false, 1, false, kNoData);
    ASSERT_NE(target.texture, nullptr);
    EXPECT_EQ(target.renderTargetViews.Size(), 1u);
    EXPECT_EQ(target.renderTargetView, target.renderTargetViews[0]);
    EXPECT_NE(target.renderTargetView, nullptr);
    EXPECT_NE(target.shaderResourceView, nullptr);
    EXPECT_EQ(target.unorderedAccessView, nullptr);
    EXPECT_EQ(target.width, 64u);
    EXPECT_EQ(target.height, 32u);
    EXPECT_EQ(target.format, static_cast<u32>(DXGI_FORMAT_R16G16B16A16_FLOAT));
    EXPECT_EQ(target.arraySize, 1u);
    const D3D11_TEXTURE2D_DESC desc = DescOf(target.texture);
    EXPECT_EQ(desc.BindFlags, static_cast<UINT>(D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE));
    EXPECT_EQ(desc.MiscFlags, 0u);
    target.Release();
}

TEST(RenderTarget, MipGenerationOnlyWithSeveralLevels)
{
    REQUIRE_GPU();
    struct Case {
        u32 mipLevels;
        bool generateMips;
        UINT miscFlags;
    };
    const Case cases[] = {{4, true, D3D11_RESOURCE_MISC_GENERATE_MIPS}, {1, true, 0}, {4, false, 0}};
    for (const Case& c : cases) {
        RenderTarget target;
        target.Create(device, 32, 32, DXGI_FORMAT_R8G8B8A8_UNORM, c.mipLevels, 1, 0, c.generateMips, false, 1, false,
                      kNoData);
        ASSERT_NE(target.texture, nullptr);
        EXPECT_EQ(DescOf(target.texture).MiscFlags, c.miscFlags) << c.mipLevels << " levels";
        EXPECT_EQ(target.generateMips, c.generateMips);
        EXPECT_EQ(target.mipLevels, c.mipLevels);
        target.Release();
    }
}

TEST(RenderTarget, OneViewPerSliceReleasedOnce)
{
    REQUIRE_GPU();
    for (u32 samples : {1u, 4u}) {
        SCOPED_TRACE(testing::Message() << samples << " samples");
        RenderTarget target;
        target.Create(device, 16, 16, DXGI_FORMAT_R8G8B8A8_UNORM, 1, samples, 0, false, false, 4, false, kNoData);
        ASSERT_NE(target.texture, nullptr);
        EXPECT_EQ(target.arraySize, 4u);
        ASSERT_EQ(target.renderTargetViews.Size(), 4u);
        for (u32 s = 0; s < 4; ++s) {
            ASSERT_NE(target.renderTargetViews[s], nullptr);
            D3D11_RENDER_TARGET_VIEW_DESC view{};
            target.renderTargetViews[s]->GetDesc(&view);
            if (samples == 1) {
                EXPECT_EQ(view.ViewDimension, D3D11_RTV_DIMENSION_TEXTURE2DARRAY);
                EXPECT_EQ(view.Texture2DArray.MipSlice, 0u);
                EXPECT_EQ(view.Texture2DArray.FirstArraySlice, s);
                EXPECT_EQ(view.Texture2DArray.ArraySize, 1u);
            } else {
                EXPECT_EQ(view.ViewDimension, D3D11_RTV_DIMENSION_TEXTURE2DMSARRAY);
                EXPECT_EQ(view.Texture2DMSArray.FirstArraySlice, s);
                EXPECT_EQ(view.Texture2DMSArray.ArraySize, 1u);
            }
        }
        EXPECT_EQ(target.renderTargetView, target.renderTargetViews[0]);

        // Our own references show that the target gives back exactly one each.
        ID3D11RenderTargetView* views[4];
        for (u32 s = 0; s < 4; ++s) {
            views[s] = target.renderTargetViews[s];
            views[s]->AddRef();
        }
        target.Release();
        target.Release();
        for (u32 s = 0; s < 4; ++s)
            EXPECT_EQ(views[s]->Release(), 0u) << "slice " << s;
    }
}

TEST(RenderTarget, ASecondCreateGivesBackTheFirstTextureAndViews)
{
    REQUIRE_GPU();
    RenderTarget target;
    target.Create(device, 8, 8, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1, 0, false, true, 2, false, kNoData);
    ASSERT_NE(target.texture, nullptr);
    ASSERT_NE(target.unorderedAccessView, nullptr);
    const HeldReferences first({target.texture, target.renderTargetViews[0], target.renderTargetViews[1],
                                target.shaderResourceView, target.unorderedAccessView});
    target.Create(device, 4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1, 0, false, false, 1, false, kNoData);
    ASSERT_NE(target.texture, nullptr);
    EXPECT_EQ(target.renderTargetViews.Size(), 1u);
    EXPECT_EQ(target.unorderedAccessView, nullptr);
    first.ExpectOnlyOursLeft();
    target.Release();

    DepthBuffer depth;
    depth.Create(device, 8, 8, DXGI_FORMAT_D24_UNORM_S8_UINT, true, 1, 0, 1);
    ASSERT_NE(depth.texture, nullptr);
    ASSERT_NE(depth.shaderResourceView, nullptr);
    const HeldReferences firstDepth({depth.texture, depth.depthStencilView, depth.shaderResourceView});
    depth.Create(device, 4, 4, DXGI_FORMAT_D24_UNORM_S8_UINT, false, 1, 0, 1);
    EXPECT_EQ(depth.shaderResourceView, nullptr);
    firstDepth.ExpectOnlyOursLeft();
    depth.Release();
}

TEST(RenderTarget, ARefusedTextureLeavesNoViews)
{
    REQUIRE_GPU();
    RenderTarget target;
    target.Create(device, 0, 0, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, 1, 1, 0, false, false, 1, false, kNoData);
    EXPECT_EQ(target.texture, nullptr);
    EXPECT_EQ(target.renderTargetView, nullptr);
    EXPECT_EQ(target.shaderResourceView, nullptr);
    EXPECT_EQ(target.renderTargetViews.Size(), 0u);
    target.Release();
}

TEST(RenderTarget, UnorderedAccessOnRequest)
{
    REQUIRE_GPU();
    RenderTarget target;
    target.Create(device, 8, 8, DXGI_FORMAT_R32G32B32A32_FLOAT, 1, 1, 0, false, true, 1, false, kNoData);
    ASSERT_NE(target.texture, nullptr);
    EXPECT_NE(DescOf(target.texture).BindFlags & D3D11_BIND_UNORDERED_ACCESS, 0u);
    EXPECT_NE(target.unorderedAccessView, nullptr);
    target.Release();
}

TEST(DepthBuffer, ShaderViewOverD24ReadsTheDepthBits)
{
    REQUIRE_GPU();
    DepthBuffer depth;
    EXPECT_EQ(depth.arraySize, 1u);
    depth.Create(device, 32, 16, DXGI_FORMAT_D24_UNORM_S8_UINT, true, 1, 0, 1);
    ASSERT_NE(depth.texture, nullptr);
    EXPECT_EQ(DescOf(depth.texture).Format, DXGI_FORMAT_R24G8_TYPELESS);
    ASSERT_EQ(depth.depthStencilViews.Size(), 1u);
    ASSERT_NE(depth.depthStencilView, nullptr);
    D3D11_DEPTH_STENCIL_VIEW_DESC dsv{};
    depth.depthStencilView->GetDesc(&dsv);
    EXPECT_EQ(dsv.Format, DXGI_FORMAT_D24_UNORM_S8_UINT);
    EXPECT_EQ(dsv.ViewDimension, D3D11_DSV_DIMENSION_TEXTURE2D);
    ASSERT_NE(depth.shaderResourceView, nullptr);
    D3D11_SHADER_RESOURCE_VIEW_DESC srv{};
    depth.shaderResourceView->GetDesc(&srv);
    EXPECT_EQ(srv.Format, DXGI_FORMAT_R24_UNORM_X8_TYPELESS);
    EXPECT_EQ(srv.ViewDimension, D3D11_SRV_DIMENSION_TEXTURE2D);
    EXPECT_EQ(srv.Texture2D.MipLevels, 1u);

    ID3D11DepthStencilView* view = depth.depthStencilView;
    view->AddRef();
    depth.Release();
    depth.Release();
    EXPECT_EQ(view->Release(), 0u);
}

TEST(DepthBuffer, SlicesAndFormatsWithoutAShaderView)
{
    REQUIRE_GPU();
    DepthBuffer depth;
    depth.Create(device, 16, 16, DXGI_FORMAT_D32_FLOAT, false, 1, 0, 3);
    ASSERT_NE(depth.texture, nullptr);
    EXPECT_EQ(DescOf(depth.texture).Format, DXGI_FORMAT_D32_FLOAT);
    EXPECT_EQ(depth.shaderResourceView, nullptr);
    EXPECT_EQ(depth.arraySize, 3u);
    ASSERT_EQ(depth.depthStencilViews.Size(), 3u);
    for (u32 s = 0; s < 3; ++s) {
        D3D11_DEPTH_STENCIL_VIEW_DESC dsv{};
        depth.depthStencilViews[s]->GetDesc(&dsv);
        EXPECT_EQ(dsv.ViewDimension, D3D11_DSV_DIMENSION_TEXTURE2DARRAY);
        EXPECT_EQ(dsv.Texture2DArray.FirstArraySlice, s);
        EXPECT_EQ(dsv.Texture2DArray.ArraySize, 1u);
    }
    depth.Release();
}

TEST(TypedBuffer, SizeAndViewsCoverTheElements)
{
    REQUIRE_GPU();
    TypedBuffer typed;
    typed.Create(device, DXGI_FORMAT_R32G32B32A32_FLOAT, 16, 100);
    EXPECT_EQ(typed.byteWidth, 1600u);
    EXPECT_EQ(typed.count, 100u);
    ASSERT_NE(typed.buffer, nullptr);
    D3D11_BUFFER_DESC desc{};
    typed.buffer->GetDesc(&desc);
    EXPECT_EQ(desc.ByteWidth, 1600u);
    EXPECT_EQ(desc.BindFlags, static_cast<UINT>(D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS));
    ASSERT_NE(typed.shaderResourceView, nullptr);
    ASSERT_NE(typed.unorderedAccessView, nullptr);
    D3D11_SHADER_RESOURCE_VIEW_DESC srv{};
    typed.shaderResourceView->GetDesc(&srv);
    EXPECT_EQ(srv.ViewDimension, D3D11_SRV_DIMENSION_BUFFER);
    EXPECT_EQ(srv.Buffer.NumElements, 100u);
    D3D11_UNORDERED_ACCESS_VIEW_DESC uav{};
    typed.unorderedAccessView->GetDesc(&uav);
    EXPECT_EQ(uav.ViewDimension, D3D11_UAV_DIMENSION_BUFFER);
    EXPECT_EQ(uav.Buffer.NumElements, 100u);

    // Release gives back exactly one reference each, once.
    const HeldReferences held({typed.buffer, typed.shaderResourceView, typed.unorderedAccessView});
    typed.Release();
    typed.Release();
    EXPECT_EQ(typed.buffer, nullptr);
    EXPECT_EQ(typed.shaderResourceView, nullptr);
    EXPECT_EQ(typed.unorderedAccessView, nullptr);
    held.ExpectOnlyOursLeft();
}
