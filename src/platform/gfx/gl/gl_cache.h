#pragma once
// Inside the gfx layer: the GL state cache; every GL state change of the layer goes through it.
#include <epoxy/gl.h>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace gfx {

class GlCache {
public:
    void Enable(GLenum cap, bool on);
    void EnableIndexed(GLenum cap, GLuint index, bool on);
    void ColorMask(GLuint index, std::uint8_t mask);
    void DepthMask(bool on);
    void StencilMask(GLuint front, GLuint back);
    void BindDrawFramebuffer(GLuint fbo);
    void UseProgramStages(GLbitfield stage, GLuint program);
    void BindVertexArray(GLuint vao);
    void BindTextureUnit(GLuint unit, GLuint texture, GLenum target);
    void BindSampler(GLuint unit, GLuint sampler);
    void BindImage(GLuint unit, GLuint texture, GLint level, bool layered, GLint layer, GLenum format);
    void Viewport(GLuint index, const float v[4]);
    void DepthRange(GLuint index, double n, double f);
    void Scissor(GLuint index, const GLint r[4]);
    void CullFace(bool enable, GLenum face);
    void FrontFace(GLenum mode);
    void PolygonMode(GLenum mode);
    void PolygonOffset(float slope, float units, float clamp);
    void DepthFunc(GLenum func);
    void StencilFuncSeparate(GLenum face, GLenum func, GLint ref, GLuint mask);
    void StencilOpSeparate(GLenum face, GLenum sfail, GLenum dpfail, GLenum dppass);
    void BlendFuncSeparate(GLuint index, GLenum src, GLenum dst, GLenum srcA, GLenum dstA);
    void BlendEquationSeparate(GLuint index, GLenum rgb, GLenum alpha);
    void BlendColor(const float c[4]);
    void SampleMask(GLuint mask);
    void PixelStore(GLenum name, GLint value);
    // A deleted name may come back for a new object: forget where it was bound.
    void ForgetTexture(GLuint texture);
    void ForgetSampler(GLuint sampler);
    void ForgetProgram(GLuint program);

    std::uint64_t changes = 0;
    GLuint pipeline = 0;

private:
    struct Cap {
        GLenum cap;
        GLuint index;
        int on;
    };
    std::vector<Cap> caps_;
    int* CapSlot(GLenum cap, GLuint index);
    std::array<int, 8> colorMask_{};
    int depthMask_ = -1;
    GLuint stencilFront_ = 0xffffffffu, stencilBack_ = 0xffffffffu;
    bool stencilKnown_ = false;
    GLuint drawFbo_ = 0xffffffffu;
    GLuint stageVs_ = 0xffffffffu, stageFs_ = 0xffffffffu, stageCs_ = 0xffffffffu;
    GLuint vao_ = 0xffffffffu;
    std::array<GLuint, 96> textures_{};
    std::array<GLuint, 96> samplers_{};
    struct Image {
        GLuint texture = 0xffffffffu;
        GLint level = 0;
        bool layered = false;
        GLint layer = 0;
        GLenum format = 0;
    };
    std::array<Image, 8> images_{};
    std::array<std::array<float, 4>, 16> viewports_{};
    std::array<std::array<double, 2>, 16> depthRanges_{};
    std::array<std::array<GLint, 4>, 16> scissors_{};
    std::array<bool, 16> viewportKnown_{}, depthKnown_{}, scissorKnown_{};
    GLenum cullFace_ = 0, frontFace_ = 0, polygonMode_ = 0, depthFunc_ = 0;
    float offset_[3] = {-1, -1, -1};
    bool offsetKnown_ = false;
    struct StencilSide {
        GLenum func = 0;
        GLint ref = -1;
        GLuint mask = 0;
        GLenum sfail = 0, dpfail = 0, dppass = 0;
    };
    StencilSide front_, back_;
    struct BlendSlot {
        GLenum src = 0, dst = 0, srcA = 0, dstA = 0, eq = 0, eqA = 0;
    };
    std::array<BlendSlot, 8> blend_{};
    float blendColor_[4] = {-1, -1, -1, -1};
    GLuint sampleMask_ = 0;
    bool sampleMaskKnown_ = false;
    std::vector<std::pair<GLenum, GLint>> pixelStore_;
};

}  // namespace gfx
