// SPIR-V to GLSL 4.50 through SPIRV-Cross: separable stages, flattened
// constant buffers, combined samplers by register, varyings by semantic.
#include "platform/gfx/hlsl/glsl_emit.h"

#include <spirv_cross/spirv_glsl.hpp>

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>

#include "platform/gfx/d3dcompiler.h"
#include "platform/gfx/hlsl/varyings.h"

// GL enums the shader record uses, spelled out so that the compiler needs no GL header.
namespace {
constexpr std::uint32_t kGlTexture2D = 0x0DE1;
constexpr std::uint32_t kGlTexture3D = 0x806F;
constexpr std::uint32_t kGlTextureCube = 0x8513;
constexpr std::uint32_t kGlTexture2DArray = 0x8C1A;
constexpr std::uint32_t kGlTextureBuffer = 0x8C2A;
constexpr std::uint32_t kGlTexture2DMultisample = 0x9100;
constexpr std::uint32_t kGlTexture2DMultisampleArray = 0x9102;
constexpr std::uint32_t kGlTexture1D = 0x0DE0;
constexpr std::uint32_t kGlTexture1DArray = 0x8C18;
}  // namespace

namespace gfx {

namespace {

std::string Upper(std::string s)
{
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// "TEXCOORD12" -> ("TEXCOORD", 12)
void SplitSemantic(const std::string& full, std::string& name, std::uint32_t& index)
{
    std::size_t end = full.size();
    while (end > 0 && std::isdigit(static_cast<unsigned char>(full[end - 1])))
        --end;
    name = Upper(full.substr(0, end));
    index = end < full.size() ? std::uint32_t(std::stoul(full.substr(end))) : 0;
}

std::uint32_t SystemValueOf(const std::string& name)
{
    static const std::map<std::string, std::uint32_t> table = {
        {"SV_POSITION", D3D_NAME_POSITION},
        {"SV_CLIPDISTANCE", D3D_NAME_CLIP_DISTANCE},
        {"SV_CULLDISTANCE", D3D_NAME_CULL_DISTANCE},
        {"SV_RENDERTARGETARRAYINDEX", D3D_NAME_RENDER_TARGET_ARRAY_INDEX},
        {"SV_VIEWPORTARRAYINDEX", D3D_NAME_VIEWPORT_ARRAY_INDEX},
        {"SV_VERTEXID", D3D_NAME_VERTEX_ID},
        {"SV_PRIMITIVEID", D3D_NAME_PRIMITIVE_ID},
        {"SV_INSTANCEID", D3D_NAME_INSTANCE_ID},
        {"SV_ISFRONTFACE", D3D_NAME_IS_FRONT_FACE},
        {"SV_SAMPLEINDEX", D3D_NAME_SAMPLE_INDEX},
        {"SV_TARGET", D3D_NAME_TARGET},
        {"SV_DEPTH", D3D_NAME_DEPTH},
        {"SV_COVERAGE", D3D_NAME_COVERAGE},
    };
    auto it = table.find(name);
    return it == table.end() ? D3D_NAME_UNDEFINED : it->second;
}

std::uint32_t ComponentTypeOf(const spirv_cross::SPIRType& type)
{
    switch (type.basetype) {
    case spirv_cross::SPIRType::Float: return D3D_REGISTER_COMPONENT_FLOAT32;
    case spirv_cross::SPIRType::Int: return D3D_REGISTER_COMPONENT_SINT32;
    case spirv_cross::SPIRType::UInt:
    case spirv_cross::SPIRType::Boolean: return D3D_REGISTER_COMPONENT_UINT32;
    default: return D3D_REGISTER_COMPONENT_UNKNOWN;
    }
}

std::uint32_t MaskOf(const spirv_cross::SPIRType& type)
{
    std::uint32_t n = std::min<std::uint32_t>(std::max<std::uint32_t>(type.vecsize, 1), 4);
    return (1u << n) - 1;
}

std::uint32_t TargetOf(const spirv_cross::SPIRType& type)
{
    const auto& img = type.image;
    switch (img.dim) {
    case spv::Dim1D: return img.arrayed ? kGlTexture1DArray : kGlTexture1D;
    case spv::Dim2D:
        if (img.ms)
            return img.arrayed ? kGlTexture2DMultisampleArray : kGlTexture2DMultisample;
        return img.arrayed ? kGlTexture2DArray : kGlTexture2D;
    case spv::Dim3D: return kGlTexture3D;
    case spv::DimCube: return kGlTextureCube;
    case spv::DimBuffer: return kGlTextureBuffer;
    default: return kGlTexture2D;
    }
}

std::uint32_t GlImageFormatOf(spv::ImageFormat f)
{
    switch (f) {
    case spv::ImageFormatRgba32f: return 0x8814;
    case spv::ImageFormatRgba16f: return 0x881A;
    case spv::ImageFormatR32f: return 0x822E;
    case spv::ImageFormatRgba8: return 0x8058;
    case spv::ImageFormatRgba8Snorm: return 0x8F97;
    case spv::ImageFormatRg32f: return 0x8230;
    case spv::ImageFormatRg16f: return 0x822F;
    case spv::ImageFormatR16f: return 0x822D;
    case spv::ImageFormatRgba16: return 0x805B;
    case spv::ImageFormatRg16: return 0x822C;
    case spv::ImageFormatRg8: return 0x822B;
    case spv::ImageFormatR16: return 0x822A;
    case spv::ImageFormatR8: return 0x8229;
    case spv::ImageFormatRgba32i: return 0x8D82;
    case spv::ImageFormatRgba16i: return 0x8D88;
    case spv::ImageFormatRgba8i: return 0x8D8E;
    case spv::ImageFormatR32i: return 0x8235;
    case spv::ImageFormatRg32i: return 0x823B;
    case spv::ImageFormatRgba32ui: return 0x8D70;
    case spv::ImageFormatRgba16ui: return 0x8D76;
    case spv::ImageFormatRgba8ui: return 0x8D7C;
    case spv::ImageFormatR32ui: return 0x8236;
    case spv::ImageFormatRg32ui: return 0x823C;
    default: return 0;
    }
}

// The sRGB encode of chosen outputs, written where the entry point returns.
// The driver's own encode on write may be off by one step (llvmpipe's is);
// the exact formula in the shader is not.
class Emitter final : public spirv_cross::CompilerGLSL {
public:
    using CompilerGLSL::CompilerGLSL;

    struct Output {
        std::string name;
        std::uint32_t width;
    };
    std::vector<Output> srgbOutputs;

protected:
    void emit_fixup() override
    {
        CompilerGLSL::emit_fixup();
        if (get_execution_model() != spv::ExecutionModelFragment)
            return;
        for (const Output& o : srgbOutputs) {
            std::string rgb = o.width >= 3   ? o.name + ".rgb"
                              : o.width == 2 ? "vec3(" + o.name + ", 0.0)"
                                             : "vec3(" + o.name + ")";
            std::string back = o.width >= 3 ? o.name + ".rgb" : o.name;
            std::string swizzle = o.width >= 3 ? "" : o.width == 2 ? ".xy" : ".x";
            statement("vec3 qv_c_", o.name, " = clamp(", rgb, ", 0.0, 1.0);");
            statement(back, " = mix(qv_c_", o.name, " * 12.92, 1.055 * pow(qv_c_", o.name,
                      ", vec3(1.0 / 2.4)) - 0.055, step(vec3(0.0031308), qv_c_", o.name, "))", swizzle, ";");
        }
    }
};

bool ParseTargetText(const std::string& s, Target& t)
{
    if (s.size() != 6 || s[2] != '_' || s[4] != '_')
        return false;
    std::string kind = s.substr(0, 2);
    if (kind == "ps")
        t.stage = Stage::Pixel;
    else if (kind == "vs")
        t.stage = Stage::Vertex;
    else if (kind == "cs")
        t.stage = Stage::Compute;
    else
        return false;
    t.major = std::uint32_t(s[3] - '0');
    t.minor = std::uint32_t(s[5] - '0');
    return (t.major == 4 && t.minor <= 1) || (t.major == 5 && t.minor == 0);
}

// '#line 12 "file"' needs an extension drivers lack; '#line 12' is core GLSL.
std::string PlainLineDirectives(const std::string& glsl)
{
    std::istringstream in(glsl);
    std::string line, out;
    while (std::getline(in, line)) {
        if (line.find("GL_GOOGLE_cpp_style_line_directive") != std::string::npos)
            continue;
        if (line.rfind("#line ", 0) == 0) {
            std::size_t quote = line.find(" \"");
            if (quote != std::string::npos)
                line.resize(quote);
        }
        out += line;
        out += '\n';
    }
    return out;
}

// SPIR-V to GLSL plus the record of bindings and signatures.
}  // namespace

bool TranslateToGlsl(std::vector<std::uint32_t> spirv, const Target& target, const GlslOptions& glslOptions,
                     ShaderInfo& info, Diagnostics& diagnostics, const std::string& sourceName)
{
    try {
        Emitter c(std::move(spirv));
        auto options = c.get_common_options();
        options.version = 450;
        options.es = false;
        options.separate_shader_objects = true;
        options.emit_line_directives = glslOptions.lineDirectives;
        options.vertex.fixup_clipspace = false;
        options.vertex.flip_vert_y = false;
        c.set_common_options(options);

        // Only what the shader uses is declared: an unused block may be empty
        // (a generated "cbuffer vars" without parameters), which GLSL refuses.
        auto active = c.get_active_interface_variables();
        spirv_cross::ShaderResources res = c.get_shader_resources(active);
        c.set_enabled_interface_variables(active);

        info.stage = target.stage;
        std::uint32_t type = target.stage == Stage::Pixel    ? D3D11_SHVER_PIXEL_SHADER
                             : target.stage == Stage::Vertex ? D3D11_SHVER_VERTEX_SHADER
                                                             : D3D11_SHVER_COMPUTE_SHADER;
        info.version = type << 16 | target.major << 4 | target.minor;

        // Signatures. Vertex inputs keep glslang's locations; varyings are
        // placed by semantic so that stages compiled apart meet.
        auto addParams = [&](const spirv_cross::SmallVector<spirv_cross::Resource>& list, bool isInput,
                             std::vector<SignatureParam>& out) {
            for (const auto& r : list) {
                SignatureParam p;
                SplitSemantic(c.get_decoration_string(r.id, spv::DecorationHlslSemanticGOOGLE), p.semantic, p.index);
                if (p.semantic.empty())
                    SplitSemantic(r.name, p.semantic, p.index);
                const auto& t = c.get_type(r.type_id);
                p.componentType = ComponentTypeOf(t);
                p.mask = MaskOf(t);
                p.systemValue = SystemValueOf(p.semantic);
                bool varying = (target.stage == Stage::Vertex && !isInput) || (target.stage == Stage::Pixel && isInput);
                if (varying) {
                    p.location = VaryingLocation(p.semantic, p.index);
                    c.set_decoration(r.id, spv::DecorationLocation, p.location);
                } else {
                    p.location = c.get_decoration(r.id, spv::DecorationLocation);
                }
                out.push_back(p);
            }
            std::stable_sort(out.begin(), out.end(),
                             [](const SignatureParam& a, const SignatureParam& b) { return a.location < b.location; });
        };
        auto addBuiltins = [&](const spirv_cross::SmallVector<spirv_cross::BuiltInResource>& list,
                               std::vector<SignatureParam>& out) {
            for (const auto& b : list) {
                SignatureParam p;
                std::string sem = c.get_decoration_string(b.resource.id, spv::DecorationHlslSemanticGOOGLE);
                if (sem.empty())
                    continue;
                SplitSemantic(sem, p.semantic, p.index);
                p.systemValue = SystemValueOf(p.semantic);
                if (p.systemValue == D3D_NAME_UNDEFINED)
                    continue;  // compute-only values have no signature
                const auto& t = c.get_type(b.value_type_id);
                p.componentType = ComponentTypeOf(t);
                p.mask = MaskOf(t);
                p.location = 0;
                out.push_back(p);
            }
        };
        if (target.stage != Stage::Compute) {
            std::vector<SignatureParam> builtinIn, builtinOut;
            addParams(res.stage_inputs, true, info.inputs);
            addParams(res.stage_outputs, false, info.outputs);
            addBuiltins(res.builtin_inputs, builtinIn);
            addBuiltins(res.builtin_outputs, builtinOut);
            // System values first where the usual declarations put them.
            if (target.stage == Stage::Pixel)
                info.inputs.insert(info.inputs.begin(), builtinIn.begin(), builtinIn.end());
            else
                info.inputs.insert(info.inputs.end(), builtinIn.begin(), builtinIn.end());
            if (target.stage == Stage::Vertex)
                info.outputs.insert(info.outputs.begin(), builtinOut.begin(), builtinOut.end());
            else
                info.outputs.insert(info.outputs.end(), builtinOut.begin(), builtinOut.end());
            // Pixel shader outputs: SV_Target n writes render target n.
            if (target.stage == Stage::Pixel)
                for (const auto& r : res.stage_outputs) {
                    std::string name;
                    std::uint32_t index = 0;
                    SplitSemantic(c.get_decoration_string(r.id, spv::DecorationHlslSemanticGOOGLE), name, index);
                    if (name == "SV_TARGET") {
                        c.set_decoration(r.id, spv::DecorationLocation, index);
                        c.set_name(r.id, "qv_target" + std::to_string(index));
                        if (index < 32 && (glslOptions.srgbMask & (1u << index)))
                            c.srgbOutputs.push_back(
                                {"qv_target" + std::to_string(index), c.get_type(r.type_id).vecsize});
                    }
                }
        }

        // Constant buffers become flattened vec4 arrays named by register.
        for (const auto& r : res.uniform_buffers) {
            CBufferInfo cb;
            cb.slot = c.get_decoration(r.id, spv::DecorationBinding);
            cb.name = c.get_name(r.base_type_id);
            if (cb.name.empty())
                cb.name = r.name;
            cb.uniform = "qv_cb" + std::to_string(cb.slot);
            const auto& t = c.get_type(r.base_type_id);
            std::size_t size = c.get_declared_struct_size(t);
            cb.size = std::uint32_t((size + 15) / 16 * 16);
            if (cb.size == 0)
                continue;
            c.set_name(r.base_type_id, cb.uniform);
            c.set_name(r.id, cb.uniform);
            c.flatten_buffer_block(r.id);
            info.cbuffers.push_back(cb);
            info.resources.push_back({cb.name, D3D_SIT_CBUFFER, cb.slot});
        }

        std::uint32_t unitBase = target.stage == Stage::Pixel    ? kPixelUnitBase
                                 : target.stage == Stage::Vertex ? kVertexUnitBase
                                                                 : kComputeUnitBase;
        for (const auto& r : res.separate_images)
            info.resources.push_back({r.name, D3D_SIT_TEXTURE, c.get_decoration(r.id, spv::DecorationBinding)});
        for (const auto& r : res.separate_samplers)
            info.resources.push_back({r.name, D3D_SIT_SAMPLER, c.get_decoration(r.id, spv::DecorationBinding)});

        // HLSL pairs textures with samplers at each use; GL samples through
        // combined units: one unit per pair, bound from t# and s# at draw time.
        c.build_dummy_sampler_for_combined_images();
        c.build_combined_image_samplers();
        std::uint32_t dummySampler = 0;
        for (const auto& r : c.get_shader_resources().separate_samplers)
            if (c.get_name(r.id).find("DummySampler") != std::string::npos)
                dummySampler = r.id;
        std::vector<std::uint32_t> pairedImages;
        for (const auto& pair : c.get_combined_image_samplers()) {
            SamplerPair s;
            s.unit = unitBase + std::uint32_t(info.samplers.size());
            s.textureSlot = std::int32_t(c.get_decoration(pair.image_id, spv::DecorationBinding));
            s.samplerSlot = pair.sampler_id == dummySampler
                                ? -1
                                : std::int32_t(c.get_decoration(pair.sampler_id, spv::DecorationBinding));
            s.target = TargetOf(c.get_type_from_variable(pair.image_id));
            c.set_decoration(pair.combined_id, spv::DecorationBinding, s.unit);
            c.unset_decoration(pair.combined_id, spv::DecorationLocation);
            info.samplers.push_back(s);
            pairedImages.push_back(pair.image_id);
        }
        // Texel buffers (Buffer<T>) are read without a sampler and stay as they are.
        for (const auto& r : res.separate_images) {
            if (std::find(pairedImages.begin(), pairedImages.end(), std::uint32_t(r.id)) != pairedImages.end())
                continue;
            const auto& t = c.get_type(r.type_id);
            if (t.image.dim != spv::DimBuffer)
                continue;
            SamplerPair s;
            s.unit = unitBase + std::uint32_t(info.samplers.size());
            s.textureSlot = std::int32_t(c.get_decoration(r.id, spv::DecorationBinding));
            s.samplerSlot = -1;
            s.target = kGlTextureBuffer;
            c.set_decoration(r.id, spv::DecorationBinding, s.unit);
            c.unset_decoration(r.id, spv::DecorationLocation);
            info.samplers.push_back(s);
        }
        if (info.samplers.size() > kMaxSamplersPerStage) {
            AddError(diagnostics, sourceName,
                     "more than " + std::to_string(kMaxSamplersPerStage) + " texture and sampler pairs in one shader");
            return false;
        }

        // Unordered-access views: images bound by u#. One only written is
        // declared without a format so that it takes the texture's own.
        for (const auto& r : res.storage_images) {
            ImageInfo img;
            img.slot = c.get_decoration(r.id, spv::DecorationBinding);
            auto& t = const_cast<spirv_cross::SPIRType&>(c.get_type(r.type_id));
            img.target = TargetOf(t);
            bool writeOnly = c.has_decoration(r.id, spv::DecorationNonReadable);
            if (writeOnly) {
                t.image.format = spv::ImageFormatUnknown;
                img.format = 0;
            } else {
                img.format = GlImageFormatOf(t.image.format);
            }
            c.unset_decoration(r.id, spv::DecorationLocation);
            info.images.push_back(img);
            info.resources.push_back({r.name, D3D_SIT_UAV_RWTYPED, img.slot});
        }

        if (target.stage == Stage::Compute)
            for (std::uint32_t i = 0; i < 3; ++i)
                info.groupSize[i] = c.get_execution_mode_argument(spv::ExecutionModeLocalSize, i);

        info.glsl = c.compile();
        // The translation finds which images are only written; those need no
        // format of their own and then take the bound texture's.
        bool again = false;
        for (std::size_t i = 0; i < res.storage_images.size(); ++i) {
            const auto& r = res.storage_images[i];
            auto& t = const_cast<spirv_cross::SPIRType&>(c.get_type(r.type_id));
            if (info.images[i].format && c.has_decoration(r.id, spv::DecorationNonReadable)) {
                t.image.format = spv::ImageFormatUnknown;
                info.images[i].format = 0;
                again = true;
            }
        }
        if (again)
            info.glsl = c.compile();
        if (glslOptions.lineDirectives)
            info.glsl = PlainLineDirectives(info.glsl);
        return true;
    } catch (const std::exception& e) {
        AddError(diagnostics, sourceName, std::string("GLSL translation failed: ") + e.what());
        return false;
    }
}

bool ParseTarget(const char* target, Target& t)
{
    return target && ParseTargetText(target, t);
}

Target TargetOfRecord(const ShaderInfo& info)
{
    Target t;
    t.stage = info.stage;
    t.major = (info.version >> 4) & 0xF;
    t.minor = info.version & 0xF;
    return t;
}

}  // namespace gfx
