#pragma once
// Inside the gfx layer: framebuffers by the views attached to them, made on first use.
#include <epoxy/gl.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace gfx {

class GlCache;
class RtvImpl;
class DsvImpl;

class FramebufferCache {
public:
    static constexpr std::size_t kTargets = 8;

    // Binds for drawing the framebuffer of these views, made on first use; targets in
    // srgbMask are attached through their UNORM views (the shader encodes for them).
    void Bind(GlCache& cache, const std::array<RtvImpl*, kTargets>& targets, DsvImpl* depth, std::uint32_t srgbMask);
    // Deletes the framebuffers view is attached to, before its id or GL names are gone.
    void Forget(std::uint64_t viewId, GlCache& cache);
    // With the context current, before it goes.
    void DeleteAll();

private:
    struct Key {
        std::array<std::uint64_t, kTargets + 2> ids{};  // 8 colour views, depth, sRGB mask
        bool operator==(const Key& o) const { return ids == o.ids; }
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const
        {
            std::size_t h = 0;
            for (auto v : k.ids)
                h = h * 1000003u ^ std::size_t(v);
            return h;
        }
    };
    std::unordered_map<Key, GLuint, KeyHash> fbos_;
};

}  // namespace gfx
