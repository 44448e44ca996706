// The shader record's serialised form (the "bytecode").
#include "platform/gfx/hlsl/shader_info.h"

namespace gfx {

namespace {

constexpr std::uint32_t kMagic = 0x42535651;  // "QVSB"
constexpr std::uint32_t kFormatVersion = 2;

class Writer {
public:
    void U32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(std::uint8_t(v >> (8 * i)));
    }
    void Str(const std::string& s)
    {
        U32(std::uint32_t(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
    }
    std::vector<std::uint8_t> bytes;
};

class Reader {
public:
    Reader(const void* data, std::size_t size) : p_(static_cast<const std::uint8_t*>(data)), left_(size) {}
    bool U32(std::uint32_t& v)
    {
        if (left_ < 4)
            return fail_ = true, false;
        v = std::uint32_t(p_[0]) | std::uint32_t(p_[1]) << 8 | std::uint32_t(p_[2]) << 16 | std::uint32_t(p_[3]) << 24;
        p_ += 4;
        left_ -= 4;
        return true;
    }
    bool I32(std::int32_t& v)
    {
        std::uint32_t u = 0;
        bool ok = U32(u);
        v = std::int32_t(u);
        return ok;
    }
    bool Str(std::string& s)
    {
        std::uint32_t n = 0;
        if (!U32(n) || left_ < n)
            return fail_ = true, false;
        s.assign(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        left_ -= n;
        return true;
    }
    bool Count(std::uint32_t& n)
    {
        // Each element takes at least 4 bytes: a count beyond that is corrupt.
        if (!U32(n) || n > left_ / 4)
            return fail_ = true, false;
        return true;
    }
    bool failed() const { return fail_; }
    bool atEnd() const { return left_ == 0; }

private:
    const std::uint8_t* p_;
    std::size_t left_;
    bool fail_ = false;
};

void WriteSignature(Writer& w, const std::vector<SignatureParam>& params)
{
    w.U32(std::uint32_t(params.size()));
    for (const SignatureParam& p : params) {
        w.Str(p.semantic);
        w.U32(p.index);
        w.U32(p.location);
        w.U32(p.systemValue);
        w.U32(p.componentType);
        w.U32(p.mask);
    }
}

bool ReadSignature(Reader& r, std::vector<SignatureParam>& params)
{
    std::uint32_t n = 0;
    if (!r.Count(n))
        return false;
    params.resize(n);
    for (SignatureParam& p : params)
        if (!(r.Str(p.semantic) && r.U32(p.index) && r.U32(p.location) && r.U32(p.systemValue) &&
              r.U32(p.componentType) && r.U32(p.mask)))
            return false;
    return true;
}

}  // namespace

std::vector<std::uint8_t> SerializeShaderInfo(const ShaderInfo& info)
{
    Writer w;
    w.U32(kMagic);
    w.U32(kFormatVersion);
    w.U32(std::uint32_t(info.stage));
    w.U32(info.version);
    w.Str(info.glsl);
    WriteSignature(w, info.inputs);
    WriteSignature(w, info.outputs);
    w.U32(std::uint32_t(info.cbuffers.size()));
    for (const CBufferInfo& c : info.cbuffers) {
        w.Str(c.name);
        w.Str(c.uniform);
        w.U32(c.slot);
        w.U32(c.size);
    }
    w.U32(std::uint32_t(info.samplers.size()));
    for (const SamplerPair& s : info.samplers) {
        w.U32(s.unit);
        w.U32(std::uint32_t(s.textureSlot));
        w.U32(std::uint32_t(s.samplerSlot));
        w.U32(s.target);
    }
    w.U32(std::uint32_t(info.images.size()));
    for (const ImageInfo& i : info.images) {
        w.U32(i.slot);
        w.U32(i.target);
        w.U32(i.format);
    }
    w.U32(std::uint32_t(info.resources.size()));
    for (const ResourceBinding& b : info.resources) {
        w.Str(b.name);
        w.U32(b.type);
        w.U32(b.bindPoint);
    }
    for (std::uint32_t g : info.groupSize)
        w.U32(g);
    w.U32(std::uint32_t(info.spirv.size()));
    for (std::uint32_t word : info.spirv)
        w.U32(word);
    return std::move(w.bytes);
}

bool DeserializeShaderInfo(const void* data, std::size_t size, ShaderInfo& info)
{
    if (!data)
        return false;
    Reader r(data, size);
    std::uint32_t magic = 0, version = 0, stage = 0, n = 0;
    if (!r.U32(magic) || magic != kMagic || !r.U32(version) || version != kFormatVersion)
        return false;
    if (!r.U32(stage) || !r.U32(info.version) || !r.Str(info.glsl))
        return false;
    if (stage != std::uint32_t(Stage::Pixel) && stage != std::uint32_t(Stage::Vertex) &&
        stage != std::uint32_t(Stage::Compute))
        return false;
    info.stage = Stage(stage);
    if (!ReadSignature(r, info.inputs) || !ReadSignature(r, info.outputs))
        return false;
    if (!r.Count(n))
        return false;
    info.cbuffers.resize(n);
    for (CBufferInfo& c : info.cbuffers)
        if (!(r.Str(c.name) && r.Str(c.uniform) && r.U32(c.slot) && r.U32(c.size)))
            return false;
    if (!r.Count(n))
        return false;
    info.samplers.resize(n);
    for (SamplerPair& s : info.samplers)
        if (!(r.U32(s.unit) && r.I32(s.textureSlot) && r.I32(s.samplerSlot) && r.U32(s.target)))
            return false;
    if (!r.Count(n))
        return false;
    info.images.resize(n);
    for (ImageInfo& i : info.images)
        if (!(r.U32(i.slot) && r.U32(i.target) && r.U32(i.format)))
            return false;
    if (!r.Count(n))
        return false;
    info.resources.resize(n);
    for (ResourceBinding& b : info.resources)
        if (!(r.Str(b.name) && r.U32(b.type) && r.U32(b.bindPoint)))
            return false;
    for (std::uint32_t& g : info.groupSize)
        if (!r.U32(g))
            return false;
    if (!r.Count(n))
        return false;
    info.spirv.resize(n);
    for (std::uint32_t& word : info.spirv)
        if (!r.U32(word))
            return false;
    return !r.failed() && r.atEnd();
}

}  // namespace gfx
