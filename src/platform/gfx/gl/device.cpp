// The device: a GL 4.5 core context and the objects made on it.
#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/gfx/gl/context.h"
#include "platform/gfx/gl/device.h"
#include "platform/gfx/hlsl/hlsl_translator.h"
#include "platform/system/console.h"
#include "platform/system/large_stack.h"
#include "platform/window/native_window.h"

namespace gfx {

namespace {
bool DebuggerAttached()
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return false;
    char line[256];
    bool attached = false;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "TracerPid:", 10) == 0)
            attached = std::atoi(line + 10) != 0;
    std::fclose(f);
    return attached;
}

void GLAPIENTRY DebugMessage(GLenum, GLenum type, GLuint, GLenum severity, GLsizei, const GLchar* message,
                             const void* user)
{
    if (severity == GL_DEBUG_SEVERITY_NOTIFICATION)
        return;
    bool error = type == GL_DEBUG_TYPE_ERROR;
    ConsoleErrorPrintf("D3D11 %s: %s\n", error ? "ERROR" : "WARNING", message);
    const Core* core = static_cast<const Core*>(user);
    bool wantsBreak = error ? core->breakOnError : core->breakOnCorruption && severity == GL_DEBUG_SEVERITY_HIGH;
    if (wantsBreak && DebuggerAttached())
        std::raise(SIGTRAP);
}
}  // namespace

namespace {

// The translator's driver check: compiles and links the GLSL when this device's
// context is current and keeps the program for the Create*Shader call that
// normally follows.
DriverVerdict Precompile(Core* core, const ShaderInfo& info)
{
    DriverVerdict verdict;
    if (Core::Current() != core || !core->device)
        return verdict;
    verdict.checked = true;
    GLuint program = core->LinkProgram(info.stage, info.glsl, verdict.log);
    verdict.ok = program != 0;
    if (verdict.ok) {
        constexpr std::size_t kKeep = 8;
        if (core->precompiled.size() >= kKeep) {
            glDeleteProgram(core->precompiled.front().program);
            core->precompiled.erase(core->precompiled.begin());
        }
        core->precompiled.push_back({info.stage, info.glsl, program});
    }
    return verdict;
}

}  // namespace

// ---- debug interfaces ---------------------------------------------------------------

namespace {

class DebugImpl final : public Object<ID3D11Debug> {
public:
    explicit DebugImpl(DeviceImpl* device) : device_(device) { device_->AddRef(); }
    ~DebugImpl() override { device_->Release(); }
    bool Matches(REFIID riid) override { return riid == IID_ID3D11Debug; }
    HRESULT QueryInterface(REFIID riid, void** out) override;
    HRESULT ReportLiveDeviceObjects(D3D11_RLDO_FLAGS) override
    {
        ConsoleErrorPrintf("D3D11: live device %p, %u references, %llu objects\n", static_cast<void*>(device_),
                           unsigned(device_->AddRef() - 1),
                           static_cast<unsigned long long>(device_->core->liveObjects));
        device_->Release();
        return S_OK;
    }

private:
    DeviceImpl* device_;
};

class InfoQueueImpl final : public Object<ID3D11InfoQueue> {
public:
    explicit InfoQueueImpl(DeviceImpl* device) : device_(device) { device_->AddRef(); }
    ~InfoQueueImpl() override { device_->Release(); }
    bool Matches(REFIID riid) override { return riid == IID_ID3D11InfoQueue; }
    HRESULT SetBreakOnSeverity(D3D11_MESSAGE_SEVERITY severity, BOOL enable) override
    {
        if (severity == D3D11_MESSAGE_SEVERITY_ERROR)
            device_->core->breakOnError = enable;
        if (severity == D3D11_MESSAGE_SEVERITY_CORRUPTION)
            device_->core->breakOnCorruption = enable;
        return S_OK;
    }
    HRESULT AddStorageFilterEntries(D3D11_INFO_QUEUE_FILTER* filter) override
    {
        return filter ? S_OK
                      : Refuse(device_->core->debug, "AddStorageFilterEntries", "pFilter",
                               "is null: there are no entries to add");
    }

private:
    DeviceImpl* device_;
};

HRESULT DebugImpl::QueryInterface(REFIID riid, void** out)
{
    if (out && riid == IID_ID3D11InfoQueue) {
        *out = static_cast<ID3D11InfoQueue*>(new InfoQueueImpl(device_));
        return S_OK;
    }
    return Object<ID3D11Debug>::QueryInterface(riid, out);
}

}  // namespace

// ---- DeviceImpl ---------------------------------------------------------------------

DeviceImpl::DeviceImpl(std::shared_ptr<Core> c, UINT flags) : core(std::move(c)), flags_(flags)
{
    core->device = this;
    if (core->debug)
        ++g_debugDevices;
    context = NewContext(*this);
    Core* raw = core.get();
    SetDriverCheck(this, [raw](const ShaderInfo& info) { return Precompile(raw, info); });
}

DeviceImpl::~DeviceImpl()
{
    ClearDriverCheck(this);
    core->MakeCurrent();
    DeleteContext(context);
    core->device = nullptr;
    if (core->debug)
        --g_debugDevices;
}

HRESULT DeviceImpl::QueryInterface(REFIID riid, void** out)
{
    if (out && riid == IID_ID3D11Debug) {
        *out = nullptr;
        if (!core->debug)
            return E_NOINTERFACE;
        *out = static_cast<ID3D11Debug*>(new DebugImpl(this));
        return S_OK;
    }
    return Object<ID3D11Device>::QueryInterface(riid, out);
}

void DeviceImpl::GetImmediateContext(ID3D11DeviceContext** out)
{
    if (!out)
        return;
    *out = ContextInterface(context);
    (*out)->AddRef();
}

HRESULT DeviceImpl::CheckMultisampleQualityLevels(DXGI_FORMAT format, UINT count, UINT* levels)
{
    const char* call = "CheckMultisampleQualityLevels";
    if (!levels)
        return Refuse(core->debug, call, "pNumQualityLevels", "is null: there is nowhere to put the count");
    *levels = 0;
    const FormatInfo* f = FindFormat(format);
    if (!f)
        return Refuse(core->debug, call, "Format", "is not a format this layer knows");
    core->MakeCurrent();
    GLint maxSamples = 0;
    glGetInternalformativ(GL_TEXTURE_2D_MULTISAMPLE, StorageFormat(*f, 0), GL_SAMPLES, 1, &maxSamples);
    if (count == 1 || (count > 1 && GLint(count) <= maxSamples))
        *levels = 1;
    return S_OK;
}

// ---- creation ---------------------------------------------------------------------

bool DebugWanted(UINT flags)
{
    const char* env = std::getenv("QUORVELAN_D3D11_DEBUG");
    return (flags & D3D11_CREATE_DEVICE_DEBUG) || (env && std::strcmp(env, "1") == 0);
}

DeviceImpl* NewDevice(const char* call, SDL_Window* window, bool ownsWindow, UINT flags, HRESULT& hr)
{
    hr = E_FAIL;
    if (!window || !(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) {
        hr = Refuse(DebugWanted(flags), call, "pSwapChainDesc->OutputWindow",
                    "is not an OpenGL window: the device draws with OpenGL");
        return nullptr;
    }
    // The driver compiles a shader where it is first drawn, recursing as deep
    // as the shader's longest chain of dependent values: on an ordinary
    // thread's 8 MB a generated shader ends the process inside the driver.
    if (!platform::OnLargeStack())
        ConsoleErrorPrintf("D3D11: %s is called off the large stack: draw from within platform::RunWithLargeStack, "
                           "or a deep shader can overflow this thread's stack in the driver's compile\n",
                           call);
    EnsureCompilerProcess();
    SDL_GLContext gl = SDL_GL_CreateContext(window);
    if (!gl) {
        ConsoleErrorPrintf("D3D11: no GL context: %s\n", SDL_GetError());
        if (ownsWindow)
            SDL_DestroyWindow(window);
        return nullptr;
    }
    auto core = std::make_shared<Core>(window, gl, ownsWindow);
    if (epoxy_gl_version() < 45) {
        ConsoleErrorPrintf("D3D11: OpenGL 4.5 is needed, the context offers %d.%d\n", epoxy_gl_version() / 10,
                           epoxy_gl_version() % 10);
        return nullptr;
    }
    core->debug = DebugWanted(flags);
    if (core->debug) {
        glEnable(GL_DEBUG_OUTPUT);
        glDebugMessageCallback(DebugMessage, core.get());
    }
    // Direct3D's conventions: row 0 at the top, clip depth 0..1.
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
    glEnable(GL_PROGRAM_POINT_SIZE);
    core->cache.Enable(GL_FRAMEBUFFER_SRGB, true);
    core->cache.Enable(GL_MULTISAMPLE, true);
    glCreateProgramPipelines(1, &core->pipeline);
    glBindProgramPipeline(core->pipeline);
    core->cache.pipeline = core->pipeline;
    glCreateVertexArrays(1, &core->emptyVao);
    core->cache.BindVertexArray(core->emptyVao);
    glCreateSamplers(1, &core->defaultSampler);
    ApplySamplerDesc(core->defaultSampler, DefaultSamplerDesc());
    core->cache.PixelStore(GL_UNPACK_ALIGNMENT, 1);
    core->cache.PixelStore(GL_PACK_ALIGNMENT, 1);
    hr = S_OK;
    return new DeviceImpl(core, flags);
}

HRESULT CheckCreationArguments(const char* call, UINT flags, IDXGIAdapter* adapter, D3D_DRIVER_TYPE driverType,
                               const D3D_FEATURE_LEVEL* featureLevels, UINT featureLevelCount)
{
    if (adapter)
        return Refuse(DebugWanted(flags), call, "pAdapter", "is not null: only the default adapter is offered");
    if (driverType != D3D_DRIVER_TYPE_HARDWARE && driverType != D3D_DRIVER_TYPE_UNKNOWN)
        return Refuse(DebugWanted(flags), call, "DriverType",
                      "is not D3D_DRIVER_TYPE_HARDWARE or D3D_DRIVER_TYPE_UNKNOWN");
    bool wanted = !featureLevels || featureLevelCount == 0;
    for (UINT i = 0; featureLevels && i < featureLevelCount; ++i)
        wanted |= featureLevels[i] <= D3D_FEATURE_LEVEL_11_0;
    if (!wanted)
        return Refuse(DebugWanted(flags), call, "pFeatureLevels",
                      "names no level of 11.0 or below: the device is 11.0");
    return S_OK;
}

}  // namespace gfx

using namespace gfx;

HRESULT D3D11CreateDevice(IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE DriverType, HMODULE, UINT Flags,
                          const D3D_FEATURE_LEVEL* pFeatureLevels, UINT FeatureLevels, UINT, ID3D11Device** ppDevice,
                          D3D_FEATURE_LEVEL* pFeatureLevel, ID3D11DeviceContext** ppImmediateContext)
{
    if (ppDevice)
        *ppDevice = nullptr;
    if (ppImmediateContext)
        *ppImmediateContext = nullptr;
    if (HRESULT hr =
            CheckCreationArguments("D3D11CreateDevice", Flags, pAdapter, DriverType, pFeatureLevels, FeatureLevels);
        FAILED(hr))
        return hr;
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        ConsoleErrorPrintf("D3D11: no video: %s\n", SDL_GetError());
        return E_FAIL;
    }
    platform::ConfigureGlAttributes();
    SDL_Window* window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 16, 16,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
        ConsoleErrorPrintf("D3D11: no window: %s\n", SDL_GetError());
        return E_FAIL;
    }
    HRESULT hr;
    DeviceImpl* device = NewDevice("D3D11CreateDevice", window, true, Flags, hr);
    if (!device)
        return hr;
    if (pFeatureLevel)
        *pFeatureLevel = D3D_FEATURE_LEVEL_11_0;
    if (ppImmediateContext)
        device->GetImmediateContext(ppImmediateContext);
    if (ppDevice)
        *ppDevice = device;
    else
        device->Release();
    return S_OK;
}
