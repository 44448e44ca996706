// What the device refuses to make, driver failures, and the debug interfaces.
#include <SDL.h>

#include <thread>

#include "gfx_fixture.h"
#include "platform/system/console.h"

using namespace gfxtest;

TEST_F(Gfx, CreationRefusesWhatItCannotMake)
{
    D3D11_TEXTURE2D_DESC d = TextureDesc(0, 4, DXGI_FORMAT_R8G8B8A8_UNORM).Bind(D3D11_BIND_SHADER_RESOURCE).desc;
    ID3D11Texture2D* tex = reinterpret_cast<ID3D11Texture2D*>(1);
    EXPECT_EQ(device->CreateTexture2D(&d, nullptr, &tex), E_INVALIDARG);
    EXPECT_EQ(tex, nullptr);
    const D3D11_BUFFER_DESC b =
        BufferDesc(0).Usage(D3D11_USAGE_DYNAMIC, D3D11_CPU_ACCESS_WRITE).Bind(D3D11_BIND_CONSTANT_BUFFER).desc;
    ID3D11Buffer* buf = reinterpret_cast<ID3D11Buffer*>(1);
    EXPECT_EQ(device->CreateBuffer(&b, nullptr, &buf), E_INVALIDARG);  // a zero-float block gets no buffer
    EXPECT_EQ(buf, nullptr);
    // A typeless texture has no view without a format.
    d.Width = 4;
    d.Format = DXGI_FORMAT_R24G8_TYPELESS;
    d.BindFlags = D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE;
    ASSERT_EQ(device->CreateTexture2D(&d, nullptr, &tex), S_OK);
    ID3D11ShaderResourceView* srv = reinterpret_cast<ID3D11ShaderResourceView*>(1);
    EXPECT_EQ(device->CreateShaderResourceView(tex, nullptr, &srv), E_INVALIDARG);
    EXPECT_EQ(srv, nullptr);
    tex->Release();
    // More levels than the chain of a 4x4 texture has (three), whatever its usage.
    for (D3D11_USAGE usage : {D3D11_USAGE_DEFAULT, D3D11_USAGE_STAGING}) {
        bool staging = usage == D3D11_USAGE_STAGING;
        D3D11_TEXTURE2D_DESC m = TextureDesc(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM)
                                     .Mips(4)
                                     .Usage(usage, staging ? UINT(D3D11_CPU_ACCESS_READ) : 0u)
                                     .Bind(staging ? 0u : UINT(D3D11_BIND_SHADER_RESOURCE))
                                     .desc;
        EXPECT_EQ(device->CreateTexture2D(&m, nullptr, &tex), E_INVALIDARG) << usage;
        m.MipLevels = 0xffffffffu;
        EXPECT_EQ(device->CreateTexture2D(&m, nullptr, &tex), E_INVALIDARG) << usage;
        m.MipLevels = 3;
        ASSERT_EQ(device->CreateTexture2D(&m, nullptr, &tex), S_OK) << usage;
        tex->Release();
    }
    // Bytes that are not bytecode make no shader.
    ID3D11PixelShader* ps = reinterpret_cast<ID3D11PixelShader*>(1);
    const char junk[16] = {};
    EXPECT_EQ(device->CreatePixelShader(junk, sizeof junk, nullptr, &ps), E_INVALIDARG);
    EXPECT_EQ(ps, nullptr);
}

TEST_F(Gfx, DriverFailuresComeBackAsCompilerErrors)
{
    // glslang and SPIRV-Cross accept it; the driver's limits do not.
    std::string text =
        "cbuffer a : register(b0) { float4 x[4096]; };\n"
        "cbuffer b : register(b1) { float4 y[4096]; };\n"
        "cbuffer c : register(b2) { float4 z[4096]; };\n"
        "float4 p(float4 pos : SV_POSITION) : SV_TARGET { int i = int(pos.x); return x[i] + y[i] + z[i]; }\n";
    ID3DBlob* code = nullptr;
    ID3DBlob* errors = nullptr;
    EXPECT_EQ(D3DCompile(text.c_str(), text.size(), "big.hlsl", nullptr, nullptr, "p", "ps_5_0", 0, 0, &code, &errors),
              E_FAIL);
    EXPECT_EQ(code, nullptr);
    ASSERT_NE(errors, nullptr);
    std::string messages = static_cast<const char*>(errors->GetBufferPointer());
    errors->Release();
    EXPECT_NE(messages.find("big.hlsl("), std::string::npos) << messages;
    EXPECT_NE(messages.find("): error: "), std::string::npos) << messages;
}

// The driver compiles where a shader is first drawn, as deep as the shader's
// chain of dependent values: a device made on an ordinary thread says that it
// should be on the large stack, one made there (as the tests are) says nothing.
TEST(GfxCreation, ADeviceMadeOffTheLargeStackSaysWhereItShouldBe)
{
    const auto make = [](std::string& said) {
        ConsoleCapture console;
        ID3D11Device* device = nullptr;
        ID3D11DeviceContext* context = nullptr;
        EXPECT_EQ(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                    &device, nullptr, &context),
                  S_OK);
        if (context)
            context->Release();
        if (device)
            device->Release();
        said = console.ErrorText() + console.Text();
    };
    std::string onLargeStack, offIt;
    make(onLargeStack);
    std::thread([&] {
        make(offIt);
        // SDL's record of a thread it did not make lives on unless let go here.
        SDL_TLSCleanup();
    }).join();
    EXPECT_EQ(onLargeStack, "");
    EXPECT_EQ(offIt,
              "D3D11: D3D11CreateDevice is called off the large stack: draw from within platform::RunWithLargeStack, "
              "or a deep shader can overflow this thread's stack in the driver's compile\n");
}

TEST(GfxDebug, DebugInterfacesOnADebugDevice)
{
    gputest::Device made;
    ASSERT_EQ(gputest::CreateDevice(made, D3D11_CREATE_DEVICE_DEBUG), S_OK);
    ID3D11Device* device = made.device;
    ID3D11DeviceContext* context = made.context;
    ID3D11Debug* debug = nullptr;
    ASSERT_EQ(device->QueryInterface(IID_ID3D11Debug, reinterpret_cast<void**>(&debug)), S_OK);
    ID3D11InfoQueue* queue = nullptr;
    ASSERT_EQ(debug->QueryInterface(IID_ID3D11InfoQueue, reinterpret_cast<void**>(&queue)), S_OK);
    EXPECT_EQ(queue->SetBreakOnSeverity(D3D11_MESSAGE_SEVERITY_CORRUPTION, TRUE), S_OK);
    EXPECT_EQ(queue->SetBreakOnSeverity(D3D11_MESSAGE_SEVERITY_ERROR, TRUE), S_OK);
    D3D11_MESSAGE_ID deny[1] = {D3D11_MESSAGE_ID_SETPRIVATEDATA_CHANGINGPARAMS};
    D3D11_INFO_QUEUE_FILTER filter{};
    filter.DenyList.NumIDs = 1;
    filter.DenyList.pIDList = deny;
    EXPECT_EQ(queue->AddStorageFilterEntries(&filter), S_OK);
    queue->Release();
    context->Release();
    EXPECT_EQ(device->Release(), 1u);  // the debug interface still holds the device
    EXPECT_EQ(debug->ReportLiveDeviceObjects(D3D11_RLDO_SUMMARY | D3D11_RLDO_DETAIL), S_OK);
    EXPECT_EQ(debug->Release(), 0u);
}

TEST_F(Gfx, ViewRangesBeyondTheTextureAreRefused)
{
    // Two slices of two levels; first and count as callers may pass them, -1 meaning all the rest.
    ID3D11Texture2D* colour =
        Texture(TextureDesc(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM)
                    .Bind(D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS)
                    .Array(2)
                    .Mips(2));
    ID3D11Texture2D* depth =
        Texture(TextureDesc(4, 4, DXGI_FORMAT_D24_UNORM_S8_UINT).Bind(D3D11_BIND_DEPTH_STENCIL).Array(2));
    ASSERT_TRUE(colour && depth);
    struct Case {
        UINT first, count;
        HRESULT expected;
    } cases[] = {
        {0, 2, S_OK},
        {1, UINT(-1), S_OK},
        {0xffffffffu, 2, E_INVALIDARG},
        {0xfffffffeu, 3, E_INVALIDARG},
        {2, 1, E_INVALIDARG},
        {3, UINT(-1), E_INVALIDARG},
        {0, 3, E_INVALIDARG},
        {1, 0, E_INVALIDARG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "first " << c.first << " count " << c.count);
        D3D11_RENDER_TARGET_VIEW_DESC rd{};
        rd.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        rd.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2DARRAY;
        rd.Texture2DArray = {.MipSlice = 0, .FirstArraySlice = c.first, .ArraySize = c.count};
        ID3D11RenderTargetView* rtv = nullptr;
        EXPECT_EQ(device->CreateRenderTargetView(colour, &rd, &rtv), c.expected);
        if (rtv)
            rtv->Release();

        D3D11_DEPTH_STENCIL_VIEW_DESC dd{};
        dd.Format = DXGI_FORMAT_D24_UNORM_S8_UINT;
        dd.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2DARRAY;
        dd.Texture2DArray = {.MipSlice = 0, .FirstArraySlice = c.first, .ArraySize = c.count};
        ID3D11DepthStencilView* dsv = nullptr;
        EXPECT_EQ(device->CreateDepthStencilView(depth, &dd, &dsv), c.expected);
        if (dsv)
            dsv->Release();

        D3D11_UNORDERED_ACCESS_VIEW_DESC ud{};
        ud.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        ud.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE2DARRAY;
        ud.Texture2DArray = {.MipSlice = 0, .FirstArraySlice = c.first, .ArraySize = c.count};
        ID3D11UnorderedAccessView* uav = nullptr;
        EXPECT_EQ(device->CreateUnorderedAccessView(colour, &ud, &uav), c.expected);
        if (uav)
            uav->Release();

        // The same ranges over slices and over levels of a shader view.
        D3D11_SHADER_RESOURCE_VIEW_DESC sd{};
        sd.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        sd.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2DARRAY;
        sd.Texture2DArray = {
            .MostDetailedMip = 0, .MipLevels = UINT(-1), .FirstArraySlice = c.first, .ArraySize = c.count};
        ID3D11ShaderResourceView* srv = nullptr;
        EXPECT_EQ(device->CreateShaderResourceView(colour, &sd, &srv), c.expected);
        if (srv)
            srv->Release();
        sd.Texture2DArray = {.MostDetailedMip = c.first, .MipLevels = c.count, .FirstArraySlice = 0, .ArraySize = 2};
        srv = nullptr;
        EXPECT_EQ(device->CreateShaderResourceView(colour, &sd, &srv), c.expected);
        if (srv)
            srv->Release();
    }
}
