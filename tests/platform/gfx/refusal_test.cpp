// Refused calls say why on a debug device, and nothing on any other.
#include <functional>
#include <ostream>
#include <string>

#include "gfx_fixture.h"
#include "platform/system/console.h"

using namespace gfxtest;

namespace {

// What a refusal case may use, made before the console is watched.
struct Env {
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    ID3D11Texture2D* renderOnly = nullptr;  // a render target that shaders do not read
    ID3D11Buffer* staging = nullptr;        // a staging buffer the CPU reads
};

struct RefusalCase {
    const char* name;
    std::function<HRESULT(Env&)> call;
    const char* words;  // the line a debug device prints, without "D3D11 ERROR: " and the newline
};

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.name;
}

const RefusalCase kCases[] = {
    {"TextureOfSizeZero",
     [](Env& e) {
         D3D11_TEXTURE2D_DESC d = TextureDesc(0, 4, DXGI_FORMAT_R8G8B8A8_UNORM).desc;
         ID3D11Texture2D* t = nullptr;
         return e.device->CreateTexture2D(&d, nullptr, &t);
     },
     "CreateTexture2D: pDesc->Width is 0: a texture needs a size of at least 1"},
    {"TextureOfUnknownFormat",
     [](Env& e) {
         D3D11_TEXTURE2D_DESC d = TextureDesc(4, 4, DXGI_FORMAT_UNKNOWN).desc;
         ID3D11Texture2D* t = nullptr;
         return e.device->CreateTexture2D(&d, nullptr, &t);
     },
     "CreateTexture2D: pDesc->Format is not a format this layer knows"},
    {"DepthBindOfAColourFormat",
     [](Env& e) {
         D3D11_TEXTURE2D_DESC d = TextureDesc(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM).Bind(D3D11_BIND_DEPTH_STENCIL).desc;
         ID3D11Texture2D* t = nullptr;
         return e.device->CreateTexture2D(&d, nullptr, &t);
     },
     "CreateTexture2D: pDesc->BindFlags has D3D11_BIND_DEPTH_STENCIL with a colour format: depth-stencil takes a "
     "depth format"},
    {"StagingTextureBound",
     [](Env& e) {
         D3D11_TEXTURE2D_DESC d = TextureDesc(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM)
                                      .Usage(D3D11_USAGE_STAGING, D3D11_CPU_ACCESS_READ)
                                      .Bind(D3D11_BIND_SHADER_RESOURCE)
                                      .desc;
         ID3D11Texture2D* t = nullptr;
         return e.device->CreateTexture2D(&d, nullptr, &t);
     },
     "CreateTexture2D: pDesc->BindFlags is not 0: a staging texture binds to nothing"},
    {"BufferWithoutDescription",
     [](Env& e) {
         ID3D11Buffer* b = nullptr;
         return e.device->CreateBuffer(nullptr, nullptr, &b);
     },
     "CreateBuffer: pDesc is null: a buffer needs a description"},
    {"ConstantBufferOfPartVectors",
     [](Env& e) {
         D3D11_BUFFER_DESC d =
             BufferDesc(20).Usage(D3D11_USAGE_DYNAMIC, D3D11_CPU_ACCESS_WRITE).Bind(D3D11_BIND_CONSTANT_BUFFER).desc;
         ID3D11Buffer* b = nullptr;
         return e.device->CreateBuffer(&d, nullptr, &b);
     },
     "CreateBuffer: pDesc->ByteWidth is not a multiple of 16: a constant buffer holds whole 16-byte vectors"},
    {"SamplerWithoutDescription",
     [](Env& e) {
         ID3D11SamplerState* s = nullptr;
         return e.device->CreateSamplerState(nullptr, &s);
     },
     "CreateSamplerState: pSamplerDesc is null: a state needs a description"},
    {"ShaderViewOfARenderTargetOnly",
     [](Env& e) {
         ID3D11ShaderResourceView* v = nullptr;
         return e.device->CreateShaderResourceView(e.renderOnly, nullptr, &v);
     },
     "CreateShaderResourceView: pResource was made without D3D11_BIND_SHADER_RESOURCE"},
    {"WriteMapOfAReadBuffer",
     [](Env& e) {
         D3D11_MAPPED_SUBRESOURCE m{};
         return e.context->Map(e.staging, 0, D3D11_MAP_WRITE, 0, &m);
     },
     "Map: MapType writes a resource made without D3D11_CPU_ACCESS_WRITE"},
    {"QueryInterfaceWithoutOutPointer", [](Env& e) { return e.device->QueryInterface(IID_ID3D11Device, nullptr); },
     "QueryInterface: ppvObject is null: there is nowhere to put the interface"},
    {"SwapChainWithoutDescription",
     [](Env& e) {
         IDXGISwapChain* chain = nullptr;
         ID3D11Device* device = nullptr;
         return D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, e.device->GetCreationFlags(),
                                              nullptr, 0, D3D11_SDK_VERSION, nullptr, &chain, &device, nullptr,
                                              nullptr);
     },
     "D3D11CreateDeviceAndSwapChain: pSwapChainDesc is null: a swap chain needs a description"},
    {"ReflectionOfJunk",
     [](Env&) {
         const char junk[] = "not bytecode";
         void* reflector = nullptr;
         return D3DReflect(junk, sizeof junk, IID_ID3D11ShaderReflection, &reflector);
     },
     "D3DReflect: pSrcData is not shader bytecode of this layer"},
};

class Refusals : public ::testing::TestWithParam<RefusalCase> {
protected:
    // A device made with flags and what the cases use.
    void Make(UINT flags)
    {
        ASSERT_EQ(gputest::CreateDevice(made_, flags), S_OK);
        env_.device = made_.device;
        env_.context = made_.context;
        D3D11_TEXTURE2D_DESC t = TextureDesc(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM).Bind(D3D11_BIND_RENDER_TARGET).desc;
        ASSERT_EQ(env_.device->CreateTexture2D(&t, nullptr, &env_.renderOnly), S_OK);
        D3D11_BUFFER_DESC b = BufferDesc(16).Usage(D3D11_USAGE_STAGING, D3D11_CPU_ACCESS_READ).desc;
        ASSERT_EQ(env_.device->CreateBuffer(&b, nullptr, &env_.staging), S_OK);
    }
    void TearDown() override
    {
        if (env_.staging)
            env_.staging->Release();
        if (env_.renderOnly)
            env_.renderOnly->Release();
        if (made_.context)
            made_.context->Release();
        if (made_.device) {
            EXPECT_EQ(made_.device->Release(), 0u);
        }
    }

    gputest::Device made_;
    Env env_;
};

TEST_P(Refusals, ADebugDeviceSaysWhy)
{
    Make(D3D11_CREATE_DEVICE_DEBUG);
    ConsoleCapture console;
    EXPECT_EQ(GetParam().call(env_), E_INVALIDARG);
    EXPECT_EQ(console.ErrorText(), std::string("D3D11 ERROR: ") + GetParam().words + "\n");
    EXPECT_EQ(console.Text(), "");
}

TEST_P(Refusals, AnotherDeviceStaysSilent)
{
    Make(0);
    ConsoleCapture console;
    EXPECT_EQ(GetParam().call(env_), E_INVALIDARG);
    EXPECT_EQ(console.ErrorText(), "");
    EXPECT_EQ(console.Text(), "");
}

INSTANTIATE_TEST_SUITE_P(Gfx, Refusals, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

}  // namespace
