// A stage's constant buffers, textures and images into its program.
#include "platform/gfx/gl/shader_bindings.h"

#include <cstring>

namespace gfx {

void UploadConstants(Core& core, Program::Variant& p, const StageBindings& s)
{
    static thread_local std::vector<std::uint8_t> scratch;
    for (Program::Constants& k : p.constants) {
        BufferImpl* b = k.slot < kCbSlots ? s.cb[k.slot] : nullptr;
        if (b && b->cpu.empty())
            b = nullptr;  // not a constant buffer
        std::uint64_t version = b ? b->version : 0;
        if (k.uploaded == version)
            continue;
        k.uploaded = version;
        std::size_t want = std::size_t(k.vectors) * 16;
        const std::uint8_t* bytes;
        if (b && b->cpu.size() >= want) {
            bytes = b->cpu.data();
        } else {
            // Past the end of a small buffer, or with none bound, the shader reads zeros.
            scratch.assign(want, 0);
            if (b)
                std::memcpy(scratch.data(), b->cpu.data(), b->cpu.size());
            bytes = scratch.data();
        }
        // Another buffer (the intro makes its blocks anew every frame) may hold the same bytes.
        if (k.bytes.size() == want && std::memcmp(k.bytes.data(), bytes, want) == 0)
            continue;
        k.bytes.assign(bytes, bytes + want);
        glProgramUniform4fv(p.gl, k.location, k.vectors, reinterpret_cast<const GLfloat*>(bytes));
        ++core.uniformUploads;
    }
}

void BindTextures(Core& core, const Program& p, const StageBindings& s, const BindingStore& store, bool checkTargets)
{
    GlCache& c = core.cache;
    for (const SamplerPair& pair : p.info.samplers) {
        SrvImpl* v = pair.textureSlot >= 0 && UINT(pair.textureSlot) < kSrvSlots ? s.srv[pair.textureSlot] : nullptr;
        GLuint texture;
        if (v && v->target == pair.target && !(checkTargets && store.IsBoundTarget(v->resource)))
            texture = v->texture;
        else
            texture = core.ZeroTexture(pair.target);
        c.BindTextureUnit(pair.unit, texture, pair.target);
        SamplerImpl* sm =
            pair.samplerSlot >= 0 && UINT(pair.samplerSlot) < kSamplerSlots ? s.samplers[pair.samplerSlot] : nullptr;
        c.BindSampler(pair.unit, sm ? sm->gl : core.defaultSampler);
    }
}

void BindImages(GlCache& c, const Program& p, const std::array<UavImpl*, kUavSlots>& uavs)
{
    for (const ImageInfo& img : p.info.images) {
        UavImpl* u = img.slot < kUavSlots ? uavs[img.slot] : nullptr;
        if (u)
            c.BindImage(img.slot, u->texture, u->level, u->layered, u->layer, img.format ? img.format : u->format);
        else
            c.BindImage(img.slot, 0, 0, false, 0, img.format ? img.format : GL_R32F);
    }
}

}  // namespace gfx
