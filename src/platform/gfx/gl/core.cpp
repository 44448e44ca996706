// The GL context and what the device's objects share.
#include "platform/gfx/gl/core.h"

#include <SDL.h>

#include <cstring>

#include "platform/gfx/gfx_stats.h"
#include "platform/gfx/gl/device.h"

namespace gfx {

namespace {
thread_local Core* t_current = nullptr;
std::uint64_t g_stateChangesOfGoneDevices = 0;
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
    // The driver's compiler recurses as deep as the shader's longest chain of
    // dependent values: the program runs on a large stack (main.cpp) for the
    // link and for the first draw, where llvmpipe compiles.
    const char* text = glsl.c_str();
    GLuint program = glCreateShaderProgramv(type, 1, &text);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    if (length > 1) {
        std::string info(std::size_t(length), '\0');
        glGetProgramInfoLog(program, length, nullptr, info.data());
        info.resize(std::strlen(info.c_str()));
        log = info;
    }
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
template class Child<ID3D11Query>;

}  // namespace gfx
