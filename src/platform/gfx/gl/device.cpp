// The device: a GL 4.5 core context and the objects made on it.
#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/gfx/d3dcompiler.h"
#include "platform/gfx/gfx_stats.h"
#include "platform/gfx/gl/context_impl.h"
#include "platform/gfx/gl/device_impl.h"
#include "platform/gfx/hlsl/hlsl_translator.h"
#include "platform/system/console.h"
#include "platform/system/large_stack.h"
#include "platform/window/native_window.h"

namespace gfx {

// ---- Core -----------------------------------------------------------------------

namespace {
thread_local Core* t_current = nullptr;
std::uint64_t g_stateChangesOfGoneDevices = 0;

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

Core::Core(SDL_Window* w, void* gl, bool owns) : window(w), glContext(gl), ownsWindow(owns)
{
    MakeCurrent();
}

Core::~Core()
{
    MakeCurrent();
    for (auto& p : precompiled)
        glDeleteProgram(p.program);
    framebuffers.DeleteAll();
    for (auto& z : zeroTextures)
        glDeleteTextures(1, &z.second);
    if (zeroBuffer)
        glDeleteBuffers(1, &zeroBuffer);
    if (defaultSampler)
        glDeleteSamplers(1, &defaultSampler);
    if (emptyVao)
        glDeleteVertexArrays(1, &emptyVao);
    if (pipeline)
        glDeleteProgramPipelines(1, &pipeline);
    g_stateChangesOfGoneDevices += cache.changes;
    SDL_GL_MakeCurrent(window, nullptr);
    t_current = nullptr;
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(glContext));
    if (ownsWindow)
        SDL_DestroyWindow(window);
}

void Core::MakeCurrent()
{
    if (t_current == this)
        return;
    SDL_GL_MakeCurrent(window, static_cast<SDL_GLContext>(glContext));
    t_current = this;
}

Core* Core::Current()
{
    return t_current;
}

GLuint Core::ZeroTexture(GLenum target)
{
    auto it = zeroTextures.find(target);
    if (it != zeroTextures.end())
        return it->second;
    GLuint t = 0;
    glCreateTextures(target, 1, &t);
    const std::uint8_t zeros[16] = {};
    switch (target) {
    case GL_TEXTURE_BUFFER:
        if (!zeroBuffer) {
            glCreateBuffers(1, &zeroBuffer);
            glNamedBufferStorage(zeroBuffer, 16, zeros, 0);
        }
        glTextureBuffer(t, GL_RGBA32F, zeroBuffer);
        break;
    case GL_TEXTURE_2D_MULTISAMPLE: glTextureStorage2DMultisample(t, 1, GL_RGBA8, 1, 1, GL_TRUE); break;
    case GL_TEXTURE_2D_MULTISAMPLE_ARRAY: glTextureStorage3DMultisample(t, 1, GL_RGBA8, 1, 1, 1, GL_TRUE); break;
    case GL_TEXTURE_2D_ARRAY:
    case GL_TEXTURE_3D:
        glTextureStorage3D(t, 1, GL_RGBA8, 1, 1, 1);
        glTextureSubImage3D(t, 0, 0, 0, 0, 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, zeros);
        break;
    case GL_TEXTURE_CUBE_MAP:
        glTextureStorage2D(t, 1, GL_RGBA8, 1, 1);
        glTextureSubImage3D(t, 0, 0, 0, 0, 1, 1, 6, GL_RGBA, GL_UNSIGNED_BYTE, std::vector<std::uint8_t>(24).data());
        break;
    case GL_TEXTURE_1D:
        glTextureStorage1D(t, 1, GL_RGBA8, 1);
        glTextureSubImage1D(t, 0, 0, 1, GL_RGBA, GL_UNSIGNED_BYTE, zeros);
        break;
    case GL_TEXTURE_1D_ARRAY:
        glTextureStorage2D(t, 1, GL_RGBA8, 1, 1);
        glTextureSubImage2D(t, 0, 0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, zeros);
        break;
    default:
        glTextureStorage2D(t, 1, GL_RGBA8, 1, 1);
        glTextureSubImage2D(t, 0, 0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, zeros);
        break;
    }
    zeroTextures[target] = t;
    return t;
}

GLuint Core::TakePrecompiled(Stage stage, const std::string& glsl)
{
    for (auto it = precompiled.begin(); it != precompiled.end(); ++it)
        if (it->stage == stage && it->glsl == glsl) {
            GLuint p = it->program;
            precompiled.erase(it);
            return p;
        }
    return 0;
}

GLuint Core::LinkProgram(Stage stage, const std::string& glsl, std::string& log)
{
    GLenum type = stage == Stage::Vertex  ? GL_VERTEX_SHADER
                  : stage == Stage::Pixel ? GL_FRAGMENT_SHADER
                                          : GL_COMPUTE_SHADER;
    GLuint program = 0;
    GLint linked = 0;
    auto link = [&] {
        const char* text = glsl.c_str();
        program = glCreateShaderProgramv(type, 1, &text);
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        GLint length = 0;
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
        if (length > 1) {
            std::string text(std::size_t(length), '\0');
            glGetProgramInfoLog(program, length, nullptr, text.data());
            text.resize(std::strlen(text.c_str()));
            log = text;
        }
    };
    // The driver's compiler recurses as deep as the shader's longest chain of
    // dependent values, deeper than this thread's stack for a generated shader:
    // the context goes to a thread with a large stack for the link and comes back.
    SDL_GLContext gl = static_cast<SDL_GLContext>(glContext);
    bool handedOver = SDL_GL_MakeCurrent(window, nullptr) == 0;
    bool linkedThere = false;
    if (handedOver)
        platform::RunWithLargeStack([&] {
            if (SDL_GL_MakeCurrent(window, gl) != 0)
                return;
            link();
            linkedThere = true;
            SDL_GL_MakeCurrent(window, nullptr);
        });
    SDL_GL_MakeCurrent(window, gl);
    if (!linkedThere)
        link();
    if (!linked) {
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

void Core::ForgetView(std::uint64_t viewId)
{
    framebuffers.Forget(viewId, cache);
}

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

GlCallCounts CurrentGlCallCounts()
{
    GlCallCounts counts;
    counts.stateChanges = g_stateChangesOfGoneDevices;
    if (Core* c = Core::Current()) {
        counts.stateChanges += c->cache.changes;
        counts.uniformUploads = c->uniformUploads;
        counts.draws = c->draws;
    }
    return counts;
}

// ---- Program ----------------------------------------------------------------------

Program::Program(Core& c, ShaderInfo i, GLuint program) : info(std::move(i)), core(c)
{
    variants.push_back({0, program, {}});
    Resolve(variants.back());
}

void Program::Resolve(Variant& v)
{
    for (const CBufferInfo& cb : info.cbuffers) {
        Constants k{cb.slot, -1, 0, ~0ull, {}};
        GLuint index = glGetProgramResourceIndex(v.gl, GL_UNIFORM, (cb.uniform + "[0]").c_str());
        if (index == GL_INVALID_INDEX)
            index = glGetProgramResourceIndex(v.gl, GL_UNIFORM, cb.uniform.c_str());
        if (index != GL_INVALID_INDEX) {
            const GLenum props[2] = {GL_LOCATION, GL_ARRAY_SIZE};
            GLint values[2] = {-1, 0};
            glGetProgramResourceiv(v.gl, GL_UNIFORM, index, 2, props, 2, nullptr, values);
            k.location = values[0];
            k.vectors = std::min<GLsizei>(values[1], GLsizei(cb.size / 16));
        }
        if (k.location >= 0 && k.vectors > 0)
            v.constants.push_back(k);
    }
}

Program::Variant& Program::Get(std::uint32_t srgbMask)
{
    for (Variant& v : variants)
        if (v.srgbMask == srgbMask)
            return v;
    // The translator writes the encode into the shader (the driver's own
    // encode on write may be off by one step; llvmpipe's is).
    std::string glsl;
    GLuint gl = 0;
    if (MakeSrgbVariant(info, srgbMask, glsl)) {
        std::string log;
        gl = core.LinkProgram(Stage::Pixel, glsl, log);
    }
    if (!gl)
        return variants.front();
    variants.push_back({srgbMask, gl, {}});
    Resolve(variants.back());
    return variants.back();
}

Program::~Program()
{
    core.MakeCurrent();
    for (Variant& v : variants) {
        core.cache.ForgetProgram(v.gl);
        glDeleteProgram(v.gl);
    }
}

// ---- device children --------------------------------------------------------------

template <class Interface>
void Child<Interface>::GetDevice(ID3D11Device** out)
{
    if (!out)
        return;
    *out = core_->device;
    if (*out)
        (*out)->AddRef();
}

template class Child<ID3D11Buffer>;
template class Child<ID3D11Texture2D>;
template class Child<ID3D11ShaderResourceView>;
template class Child<ID3D11RenderTargetView>;
template class Child<ID3D11DepthStencilView>;
template class Child<ID3D11UnorderedAccessView>;
template class Child<ID3D11SamplerState>;
template class Child<ID3D11BlendState>;
template class Child<ID3D11RasterizerState>;
template class Child<ID3D11DepthStencilState>;
template class Child<ID3D11InputLayout>;
template class Child<ID3D11VertexShader>;
template class Child<ID3D11PixelShader>;
template class Child<ID3D11ComputeShader>;
template class Child<ID3D11DeviceContext>;

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
    HRESULT AddStorageFilterEntries(D3D11_INFO_QUEUE_FILTER* filter) override { return filter ? S_OK : E_INVALIDARG; }

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
    if (!levels)
        return E_INVALIDARG;
    *levels = 0;
    const FormatInfo* f = FindFormat(format);
    if (!f)
        return E_INVALIDARG;
    core->MakeCurrent();
    GLint maxSamples = 0;
    glGetInternalformativ(GL_TEXTURE_2D_MULTISAMPLE, StorageFormat(*f, 0), GL_SAMPLES, 1, &maxSamples);
    if (count == 1 || (count > 1 && GLint(count) <= maxSamples))
        *levels = 1;
    return S_OK;
}

std::unique_ptr<Program> DeviceImpl::MakeProgram(Stage stage, const void* code, SIZE_T size, HRESULT& hr)
{
    ShaderInfo info;
    if (!DeserializeShaderInfo(code, size, info) || info.stage != stage) {
        hr = E_INVALIDARG;
        return nullptr;
    }
    core->MakeCurrent();
    GLuint program = core->TakePrecompiled(stage, info.glsl);
    if (!program) {
        std::string log;
        program = core->LinkProgram(stage, info.glsl, log);
        if (!program) {
            if (core->debug)
                ConsoleErrorPrintf("D3D11 ERROR: shader creation failed: %s\n", log.c_str());
            hr = E_INVALIDARG;
            return nullptr;
        }
    }
    hr = S_OK;
    return std::make_unique<Program>(*core, std::move(info), program);
}

template <class Impl, class Interface>
HRESULT DeviceImpl::CreateShader(Stage stage, const void* code, SIZE_T size, Interface** out)
{
    if (out)
        *out = nullptr;
    HRESULT hr;
    auto program = MakeProgram(stage, code, size, hr);
    if (!program)
        return hr;
    if (!out)
        return S_FALSE;
    *out = new Impl(core, std::move(program));
    return S_OK;
}

HRESULT DeviceImpl::CreateVertexShader(const void* code, SIZE_T size, ID3D11ClassLinkage*, ID3D11VertexShader** out)
{
    return CreateShader<VertexShaderImpl>(Stage::Vertex, code, size, out);
}

HRESULT DeviceImpl::CreatePixelShader(const void* code, SIZE_T size, ID3D11ClassLinkage*, ID3D11PixelShader** out)
{
    return CreateShader<PixelShaderImpl>(Stage::Pixel, code, size, out);
}

HRESULT DeviceImpl::CreateComputeShader(const void* code, SIZE_T size, ID3D11ClassLinkage*, ID3D11ComputeShader** out)
{
    return CreateShader<ComputeShaderImpl>(Stage::Compute, code, size, out);
}

namespace {

// A state object of desc (none: refused), made only where the caller asks for one.
template <class Impl, class Desc, class Interface>
HRESULT NewState(const std::shared_ptr<Core>& core, const Desc* desc, Interface** out)
{
    if (!desc)
        return E_INVALIDARG;
    if (!out)
        return S_FALSE;
    core->MakeCurrent();
    *out = new Impl(core, *desc);
    return S_OK;
}

}  // namespace

HRESULT DeviceImpl::CreateBlendState(const D3D11_BLEND_DESC* desc, ID3D11BlendState** out)
{
    return NewState<BlendImpl>(core, desc, out);
}

HRESULT DeviceImpl::CreateDepthStencilState(const D3D11_DEPTH_STENCIL_DESC* desc, ID3D11DepthStencilState** out)
{
    return NewState<DepthStencilImpl>(core, desc, out);
}

HRESULT DeviceImpl::CreateRasterizerState(const D3D11_RASTERIZER_DESC* desc, ID3D11RasterizerState** out)
{
    if (desc && desc->FillMode != D3D11_FILL_SOLID && desc->FillMode != D3D11_FILL_WIREFRAME)
        return E_INVALIDARG;
    if (desc && (desc->CullMode < D3D11_CULL_NONE || desc->CullMode > D3D11_CULL_BACK))
        return E_INVALIDARG;
    return NewState<RasterizerImpl>(core, desc, out);
}

HRESULT DeviceImpl::CreateSamplerState(const D3D11_SAMPLER_DESC* desc, ID3D11SamplerState** out)
{
    return NewState<SamplerImpl>(core, desc, out);
}

HRESULT DeviceImpl::CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* elements, UINT count, const void* code,
                                      SIZE_T size, ID3D11InputLayout** out)
{
    if (out)
        *out = nullptr;
    if (count && !elements)
        return E_INVALIDARG;
    ShaderInfo info;
    if (!DeserializeShaderInfo(code, size, info) || info.stage != Stage::Vertex)
        return E_INVALIDARG;
    core->MakeCurrent();
    auto* layout = new InputLayoutImpl(core);
    glCreateVertexArrays(1, &layout->vao);
    UINT nextOffset[D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT] = {};
    for (UINT i = 0; i < count; ++i) {
        const D3D11_INPUT_ELEMENT_DESC& e = elements[i];
        const FormatInfo* f = FindFormat(e.Format);
        if (!f || f->depth || e.InputSlot >= D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT || !e.SemanticName) {
            layout->Release();
            return E_INVALIDARG;
        }
        UINT offset =
            e.AlignedByteOffset == D3D11_APPEND_ALIGNED_ELEMENT ? nextOffset[e.InputSlot] : e.AlignedByteOffset;
        nextOffset[e.InputSlot] = offset + f->bytes;
        std::string semantic = e.SemanticName;
        for (char& ch : semantic)
            ch = char(std::toupper((unsigned char)ch));
        if (semantic.rfind("SV_", 0) == 0)
            continue;
        const SignatureParam* input = nullptr;
        for (const SignatureParam& p : info.inputs)
            if (p.systemValue == D3D_NAME_UNDEFINED && p.semantic == semantic && p.index == e.SemanticIndex)
                input = &p;
        if (!input)
            continue;  // the shader does not read it
        GLuint loc = input->location;
        GLint components = 0;
        switch (f->format) {
        case GL_RED:
        case GL_RED_INTEGER: components = 1; break;
        case GL_RG:
        case GL_RG_INTEGER: components = 2; break;
        case GL_RGB:
        case GL_RGB_INTEGER: components = 3; break;
        default: components = 4; break;
        }
        bool normalized = !f->integer && f->type != GL_FLOAT && f->type != GL_HALF_FLOAT;
        bool shaderInteger = input->componentType != D3D_REGISTER_COMPONENT_FLOAT32;
        if (f->integer && shaderInteger)
            glVertexArrayAttribIFormat(layout->vao, loc, components, f->type, offset);
        else
            glVertexArrayAttribFormat(layout->vao, loc, components, f->type, normalized ? GL_TRUE : GL_FALSE, offset);
        glVertexArrayAttribBinding(layout->vao, loc, e.InputSlot);
        glEnableVertexArrayAttrib(layout->vao, loc);
        glVertexArrayBindingDivisor(layout->vao, e.InputSlot,
                                    e.InputSlotClass == D3D11_INPUT_PER_INSTANCE_DATA ? e.InstanceDataStepRate : 0);
        layout->slotsUsed |= 1u << e.InputSlot;
    }
    if (!out) {
        layout->Release();
        return S_FALSE;
    }
    *out = layout;
    return S_OK;
}

InputLayoutImpl::~InputLayoutImpl()
{
    core_->MakeCurrent();
    core_->cache.BindVertexArray(core_->emptyVao);
    glDeleteVertexArrays(1, &vao);
}

// ---- creation ---------------------------------------------------------------------

DeviceImpl* NewDevice(SDL_Window* window, bool ownsWindow, UINT flags, HRESULT& hr)
{
    hr = E_FAIL;
    if (!window || !(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) {
        hr = E_INVALIDARG;
        return nullptr;
    }
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
    const char* env = std::getenv("QUORVELAN_D3D11_DEBUG");
    core->debug = (flags & D3D11_CREATE_DEVICE_DEBUG) || (env && std::strcmp(env, "1") == 0);
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

bool CreationArgumentsValid(IDXGIAdapter* adapter, D3D_DRIVER_TYPE driverType, const D3D_FEATURE_LEVEL* featureLevels,
                            UINT featureLevelCount)
{
    if (adapter || (driverType != D3D_DRIVER_TYPE_HARDWARE && driverType != D3D_DRIVER_TYPE_UNKNOWN))
        return false;
    bool wanted = !featureLevels || featureLevelCount == 0;
    for (UINT i = 0; featureLevels && i < featureLevelCount; ++i)
        wanted |= featureLevels[i] <= D3D_FEATURE_LEVEL_11_0;
    return wanted;
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
    if (!CreationArgumentsValid(pAdapter, DriverType, pFeatureLevels, FeatureLevels))
        return E_INVALIDARG;
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
    DeviceImpl* device = NewDevice(window, true, Flags, hr);
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
