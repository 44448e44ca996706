#pragma once
// Inside the gfx layer: the GL context and what the device's objects share,
// and the base of every device child.
#include <epoxy/gl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gfx/com_object.h"
#include "platform/gfx/d3d11.h"
#include "platform/gfx/gl/framebuffer_cache.h"
#include "platform/gfx/gl/gl_cache.h"
#include "platform/gfx/hlsl/shader_info.h"

struct SDL_Window;

namespace gfx {

class DeviceImpl;

class Core {
public:
    Core(SDL_Window* window, void* glContext, bool ownsWindow);
    ~Core();
    void MakeCurrent();
    static Core* Current();

    SDL_Window* window;
    void* glContext;
    bool ownsWindow;
    DeviceImpl* device = nullptr;  // null once the device is gone
    GlCache cache;
    GLuint pipeline = 0;
    GLuint emptyVao = 0;
    GLuint defaultSampler = 0;
    std::unordered_map<GLenum, GLuint> zeroTextures;  // per target: reads as 0
    GLuint zeroBuffer = 0;
    GLuint ZeroTexture(GLenum target);
    std::uint64_t NextVersion() { return ++version_; }
    std::uint64_t NextId() { return ++id_; }
    std::uint64_t uniformUploads = 0;
    std::uint64_t draws = 0;
    std::uint64_t liveObjects = 0;  // device children not yet destroyed
    bool debug = false;
    bool breakOnError = false;  // ID3D11InfoQueue::SetBreakOnSeverity
    bool breakOnCorruption = false;

    // Programs the compiler linked ahead of Create*Shader.
    struct Precompiled {
        Stage stage;
        std::string glsl;
        GLuint program;
    };
    std::vector<Precompiled> precompiled;
    GLuint TakePrecompiled(Stage stage, const std::string& glsl);
    // Compiles and links one separable program; 0 and the log on failure.
    GLuint LinkProgram(Stage stage, const std::string& glsl, std::string& log);

    // Framebuffers by attachment set; a view leaving takes its framebuffers with it.
    FramebufferCache framebuffers;
    void ForgetView(std::uint64_t viewId);

private:
    std::uint64_t version_ = 0;
    std::uint64_t id_ = 0;
};

// ---- object plumbing ----

template <class Interface>
class Child : public Object<Interface> {
public:
    explicit Child(std::shared_ptr<Core> core) : core_(std::move(core)) { ++core_->liveObjects; }
    ~Child() override { --core_->liveObjects; }
    void GetDevice(ID3D11Device** out) override;
    Core& core() { return *core_; }

protected:
    std::shared_ptr<Core> core_;
};

template <class T>
void SetRef(T*& slot, T* value)
{
    if (slot == value)
        return;
    if (value)
        value->AddRef();
    if (slot)
        slot->Release();
    slot = value;
}

}  // namespace gfx
