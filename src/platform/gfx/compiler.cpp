// D3DCompile: HLSL -> glslang -> SPIR-V -> SPIRV-Cross -> GLSL 4.50 (+ the
// driver's compile and link when a device is current), and blobs.
#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>
#include <spirv_cross/spirv_glsl.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

#include "platform/gfx/com_object.h"
#include "platform/gfx/compiler_internal.h"
#include "platform/gfx/d3dcompiler.h"
#include "platform/gfx/gfx_stats.h"
#include "platform/gfx/spirv_passes.h"

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

// ---- blobs ----------------------------------------------------------------------

namespace {

class Blob final : public Object<ID3DBlob> {
public:
    explicit Blob(std::size_t size) : bytes_(size) {}
    Blob(const void* data, std::size_t size)
        : bytes_(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size)
    {
    }

    bool Matches(REFIID riid) override { return riid == IID_ID3DBlob; }
    LPVOID GetBufferPointer() override { return bytes_.empty() ? nullptr : bytes_.data(); }
    SIZE_T GetBufferSize() override { return bytes_.size(); }

private:
    std::vector<std::uint8_t> bytes_;
};

ID3DBlob* MakeTextBlob(const std::string& text)
{
    return new Blob(text.c_str(), text.size() + 1);
}

// ---- serialisation --------------------------------------------------------------

constexpr std::uint32_t kMagic = 0x42535651;  // "QVSB"
constexpr std::uint32_t kFormatVersion = 1;

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
    return !r.failed() && r.atEnd();
}

std::uint32_t VaryingLocation(const std::string& semantic, std::uint32_t index)
{
    // Fixed places for the usual names, so that stages compiled apart meet;
    // any other name gets the next free place, the same for the whole process.
    if (semantic == "TEXCOORD" && index < 16)
        return index;
    if (semantic == "COLOR" && index < 4)
        return 16 + index;
    static std::mutex mutex;
    static std::map<std::string, std::uint32_t> others;
    std::lock_guard<std::mutex> lock(mutex);
    std::string key = semantic + "#" + std::to_string(index);
    auto it = others.find(key);
    if (it != others.end())
        return it->second;
    std::uint32_t location = 20 + std::uint32_t(others.size());
    others.emplace(key, location);
    return location;
}

// ---- compiler -------------------------------------------------------------------

namespace {

std::once_flag g_processOnce;
ShaderCompileTimes g_lastTimes;

double MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

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

// glslang's "ERROR: name:12: text" lines become "name(12): error: text";
// lines without a place get the compiled source's name and line 1.
std::string NormaliseGlslangLog(const std::string& log, const std::string& sourceName, bool& sawError)
{
    std::istringstream in(log);
    std::string line, out;
    bool placedError = false;
    std::vector<std::string> unplaced;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        std::string severity;
        std::string rest;
        static const char* const kinds[][2] = {{"INTERNAL ERROR: ", "error"},
                                               {"ERROR: ", "error"},
                                               {"UNIMPLEMENTED: ", "error"},
                                               {"WARNING: ", "warning"},
                                               {"NOTE: ", "note"}};
        for (const auto& k : kinds) {
            if (line.rfind(k[0], 0) == 0) {
                severity = k[1];
                rest = line.substr(std::strlen(k[0]));
                break;
            }
        }
        if (severity.empty()) {
            severity = "note";
            rest = line;
        }
        if (severity == "error")
            sawError = true;
        // "file:line: message"
        std::size_t c1 = rest.find(':');
        std::size_t c2 = c1 == std::string::npos ? std::string::npos : rest.find(':', c1 + 1);
        bool placed = false;
        if (c2 != std::string::npos && c2 > c1 + 1) {
            std::string num = rest.substr(c1 + 1, c2 - c1 - 1);
            if (std::all_of(num.begin(), num.end(), [](char ch) { return std::isdigit((unsigned char)ch); })) {
                std::string file = rest.substr(0, c1);
                std::string text = rest.substr(c2 + 1);
                while (!text.empty() && text[0] == ' ')
                    text.erase(0, 1);
                // glslang numbers the main source string 0 when it has no name
                if (file.empty() || file == "0")
                    file = sourceName;
                out += file + "(" + num + "): " + severity + ": " + text + "\n";
                placed = true;
                if (severity == "error")
                    placedError = true;
            }
        }
        if (!placed)
            unplaced.push_back(severity + ": " + rest);
    }
    for (const std::string& u : unplaced) {
        // The summary ("N compilation errors. No code generated.") adds nothing to placed errors.
        if (placedError && u.find("compilation error") != std::string::npos)
            continue;
        out += sourceName + "(1): " + u + "\n";
    }
    return out;
}

class IncludeBridge final : public glslang::TShader::Includer {
public:
    explicit IncludeBridge(ID3DInclude* include) : include_(include) {}

    IncludeResult* includeLocal(const char* header, const char* includer, size_t depth) override
    {
        return Open(D3D_INCLUDE_LOCAL, header, includer, depth);
    }
    IncludeResult* includeSystem(const char* header, const char* includer, size_t depth) override
    {
        return Open(D3D_INCLUDE_SYSTEM, header, includer, depth);
    }
    void releaseInclude(IncludeResult* result) override
    {
        if (!result)
            return;
        auto* own = static_cast<Opened*>(result->userData);
        if (own->fromCallback)
            include_->Close(own->data);
        else
            delete[] static_cast<const char*>(own->data);
        byName_.erase(result->headerName);
        delete own;
        delete result;
    }

private:
    struct Opened {
        const void* data;
        bool fromCallback;
    };

    IncludeResult* Open(D3D_INCLUDE_TYPE type, const char* header, const char* includer, size_t depth)
    {
        if (!include_)
            return nullptr;  // glslang reports the include it could not process
        LPCVOID parent = nullptr;
        if (depth > 1 && includer) {
            auto it = byName_.find(includer);
            if (it != byName_.end())
                parent = it->second;
        }
        LPCVOID data = nullptr;
        UINT bytes = 0;
        bool fromCallback = include_ != D3D_COMPILE_STANDARD_FILE_INCLUDE;
        if (fromCallback) {
            if (FAILED(include_->Open(type, header, parent, &data, &bytes)) || (!data && bytes))
                return nullptr;
        } else {
            std::FILE* f = std::fopen(header, "rb");
            if (!f)
                return nullptr;
            std::string text;
            char chunk[4096];
            std::size_t got;
            while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0)
                text.append(chunk, got);
            std::fclose(f);
            char* copy = new char[text.size() + 1];
            std::memcpy(copy, text.c_str(), text.size() + 1);
            data = copy;
            bytes = UINT(text.size());
        }
        byName_[header] = data;
        return new IncludeResult(header, static_cast<const char*>(data), bytes, new Opened{data, fromCallback});
    }

    ID3DInclude* include_;
    std::map<std::string, LPCVOID> byName_;
};

struct Target {
    Stage stage;
    EShLanguage language;
    std::uint32_t major;
    std::uint32_t minor;
};

bool ParseTarget(const char* target, Target& t)
{
    if (!target)
        return false;
    std::string s = target;
    if (s.size() != 6 || s[2] != '_' || s[4] != '_')
        return false;
    std::string kind = s.substr(0, 2);
    if (kind == "ps") {
        t.stage = Stage::Pixel;
        t.language = EShLangFragment;
    } else if (kind == "vs") {
        t.stage = Stage::Vertex;
        t.language = EShLangVertex;
    } else if (kind == "cs") {
        t.stage = Stage::Compute;
        t.language = EShLangCompute;
    } else {
        return false;
    }
    t.major = std::uint32_t(s[3] - '0');
    t.minor = std::uint32_t(s[5] - '0');
    return (t.major == 4 && t.minor <= 1) || (t.major == 5 && t.minor == 0);
}

struct CompileOutput {
    std::string messages;
    bool failed = false;
    ShaderInfo info;
};

// HLSL to SPIR-V. False on failure (messages hold why).
bool RunGlslang(const std::string& source, const std::string& sourceName, const D3D_SHADER_MACRO* defines,
                ID3DInclude* include, const char* entry, const Target& target, bool debugInfo,
                std::vector<std::uint32_t>& spirv, std::string& messages)
{
    glslang::TShader shader(target.language);
    const char* text = source.c_str();
    int length = int(source.size());
    const char* name = sourceName.c_str();
    shader.setStringsWithLengthsAndNames(&text, &length, &name, 1);
    std::string preamble;
    for (const D3D_SHADER_MACRO* d = defines; d && d->Name; ++d)
        preamble += std::string("#define ") + d->Name + " " + (d->Definition ? d->Definition : "") + "\n";
    if (!preamble.empty())
        shader.setPreamble(preamble.c_str());
    shader.setEntryPoint(entry);
    shader.setEnvInput(glslang::EShSourceHlsl, target.language, glslang::EShClientOpenGL, 100);
    shader.setEnvClient(glslang::EShClientOpenGL, glslang::EShTargetOpenGL_450);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    shader.setHlslIoMapping(true);
    shader.setEnvTargetHlslFunctionality1();
    shader.setAutoMapLocations(true);
    shader.setAutoMapBindings(true);
    auto rules = EShMessages(EShMsgReadHlsl | EShMsgSpvRules | EShMsgHlslOffsets);
    IncludeBridge includer(include);
    bool sawError = false;
    bool parsed = shader.parse(GetDefaultResources(), 100, false, rules, includer);
    messages += NormaliseGlslangLog(shader.getInfoLog(), sourceName, sawError);
    if (!parsed) {
        if (!sawError)
            messages += sourceName + "(1): error: HLSL front end failed\n";
        return false;
    }
    glslang::TProgram program;
    program.addShader(&shader);
    bool linked = program.link(rules) && program.mapIO();
    messages += NormaliseGlslangLog(program.getInfoLog(), sourceName, sawError);
    if (!linked) {
        if (!sawError)
            messages += sourceName + "(1): error: HLSL link failed\n";
        return false;
    }
    spv::SpvBuildLogger logger;
    glslang::SpvOptions options;
    options.generateDebugInfo = debugInfo;
    options.disableOptimizer = true;
    glslang::GlslangToSpv(*program.getIntermediate(target.language), spirv, &logger, &options);
    std::string spvMessages = logger.getAllMessages();
    if (spirv.empty()) {
        messages += sourceName + "(1): error: SPIR-V generation failed: " + spvMessages + "\n";
        return false;
    }
    return true;
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
bool RunSpirvCross(std::vector<std::uint32_t> spirv, const Target& target, bool lineDirectives, ShaderInfo& info,
                   std::string& messages, const std::string& sourceName)
{
    try {
        std::string passError;
        if (!RunHlslPasses(spirv, PassOptions{}, &passError)) {
            messages += sourceName + "(1): error: " + passError + "\n";
            return false;
        }
        spirv_cross::CompilerGLSL c(std::move(spirv));
        auto options = c.get_common_options();
        options.version = 450;
        options.es = false;
        options.separate_shader_objects = true;
        options.emit_line_directives = lineDirectives;
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
            messages += sourceName + "(1): error: more than " + std::to_string(kMaxSamplersPerStage) +
                        " texture and sampler pairs in one shader\n";
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
        if (lineDirectives)
            info.glsl = PlainLineDirectives(info.glsl);
        return true;
    } catch (const std::exception& e) {
        messages += sourceName + "(1): error: GLSL translation failed: " + e.what() + "\n";
        return false;
    }
}

// The driver numbers lines of the GLSL; with line directives those are lines
// of the HLSL. Mesa: "0:12(5): error: ..."; others: "ERROR: 0:12: ...".
std::string NormaliseDriverLog(const std::string& log, const std::string& sourceName)
{
    std::istringstream in(log);
    std::string line, out;
    // A driver may list every overload it tried: the first lines say enough.
    constexpr int kMaxLines = 12;
    int lines = 0, dropped = 0;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        if (lines == kMaxLines) {
            ++dropped;
            continue;
        }
        ++lines;
        std::string lower = line;
        for (char& ch : lower)
            ch = char(std::tolower((unsigned char)ch));
        std::string severity = lower.find("warning") != std::string::npos ? "warning" : "error";
        std::uint32_t lineNo = 1;
        std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::size_t p = colon + 1;
            std::size_t q = p;
            while (q < line.size() && std::isdigit((unsigned char)line[q]))
                ++q;
            if (q > p)
                lineNo = std::max<std::uint32_t>(1, std::uint32_t(std::stoul(line.substr(p, q - p))));
        }
        out += sourceName + "(" + std::to_string(lineNo) + "): " + severity + ": GL: " + line + "\n";
    }
    if (dropped)
        out += sourceName + "(1): note: GL: " + std::to_string(dropped) + " more lines\n";
    if (out.empty())
        out = sourceName + "(1): error: GL: the driver rejected the shader\n";
    return out;
}

}  // namespace

void EnsureCompilerProcess()
{
    std::call_once(g_processOnce, [] {
        glslang::InitializeProcess();
        // glslang builds its built-in symbol tables at the first parse of each
        // stage; pay for that here rather than in the first real compilation.
        const char* warm[][3] = {{"float4 p() : SV_TARGET { return 0; }", "p", "ps_5_0"},
                                 {"float4 v(float4 x : POSITION) : SV_POSITION { return x; }", "v", "vs_5_0"},
                                 {"[numthreads(1, 1, 1)] void c() {}", "c", "cs_5_0"}};
        for (const auto& w : warm) {
            Target t{};
            ParseTarget(w[2], t);
            std::vector<std::uint32_t> spirv;
            std::string ignored;
            RunGlslang(w[0], "memory", nullptr, nullptr, w[1], t, false, spirv, ignored);
        }
    });
}

ShaderCompileTimes LastShaderCompileTimes()
{
    return g_lastTimes;
}

}  // namespace gfx

using namespace gfx;

HRESULT D3DCreateBlob(SIZE_T Size, ID3DBlob** ppBlob)
{
    if (!ppBlob)
        return E_INVALIDARG;
    *ppBlob = new Blob(Size);
    return S_OK;
}

HRESULT D3DCompile(LPCVOID pSrcData, SIZE_T SrcDataSize, LPCSTR pSourceName, const D3D_SHADER_MACRO* pDefines,
                   ID3DInclude* pInclude, LPCSTR pEntrypoint, LPCSTR pTarget, UINT Flags1, UINT /*Flags2*/,
                   ID3DBlob** ppCode, ID3DBlob** ppErrorMsgs)
{
    if (ppCode)
        *ppCode = nullptr;
    if (ppErrorMsgs)
        *ppErrorMsgs = nullptr;
    EnsureCompilerProcess();
    g_lastTimes = {};

    std::string sourceName = pSourceName && *pSourceName ? pSourceName : "memory";
    std::string messages;
    auto finish = [&](ID3DBlob* code) -> HRESULT {
        if (!code && messages.find("error") == std::string::npos)
            messages += sourceName + "(1): error: no code generated\n";
        if (ppErrorMsgs && !messages.empty())
            *ppErrorMsgs = MakeTextBlob(messages);
        if (ppCode)
            *ppCode = code;
        else if (code)
            code->Release();
        return code ? S_OK : E_FAIL;
    };

    Target target{};
    if (!ParseTarget(pTarget, target)) {
        messages = sourceName + "(1): error: unsupported target '" + (pTarget ? pTarget : "") + "'\n";
        return finish(nullptr);
    }
    if (!pSrcData && SrcDataSize) {
        messages = sourceName + "(1): error: no source text\n";
        return finish(nullptr);
    }
    if (!pEntrypoint || !*pEntrypoint) {
        messages = sourceName + "(1): error: no entry point\n";
        return finish(nullptr);
    }
    // The text ends at its first zero byte, as with the real compiler's C strings.
    std::string source(static_cast<const char*>(pSrcData), SrcDataSize);
    source = source.c_str();

    auto t0 = std::chrono::steady_clock::now();
    std::vector<std::uint32_t> spirv;
    bool ok = RunGlslang(source, sourceName, pDefines, pInclude, pEntrypoint, target, false, spirv, messages);
    g_lastTimes.glslang = MsSince(t0);
    if (!ok)
        return finish(nullptr);

    auto t1 = std::chrono::steady_clock::now();
    ShaderInfo info;
    ok = RunSpirvCross(spirv, target, false, info, messages, sourceName);
    g_lastTimes.spirvCross = MsSince(t1);
    if (!ok)
        return finish(nullptr);

    auto t2 = std::chrono::steady_clock::now();
    bool driverOk = true;
    std::string driverLog;
    if (PrecompileOnCurrentDevice(info, driverOk, driverLog) && !driverOk) {
        // Find the HLSL line: translate again with line directives and let the
        // driver report against those.
        std::vector<std::uint32_t> spirvLines;
        std::string ignored;
        ShaderInfo lined;
        bool locatedOk = true;
        std::string locatedLog = driverLog;
        if (RunGlslang(source, sourceName, pDefines, pInclude, pEntrypoint, target, true, spirvLines, ignored) &&
            RunSpirvCross(spirvLines, target, true, lined, ignored, sourceName))
            if (PrecompileOnCurrentDevice(lined, locatedOk, locatedLog) && locatedOk)
                locatedLog = driverLog;
        messages += NormaliseDriverLog(locatedLog, sourceName);
        g_lastTimes.driver = MsSince(t2);
        return finish(nullptr);
    }
    g_lastTimes.driver = MsSince(t2);

    if ((Flags1 & D3DCOMPILE_WARNINGS_ARE_ERRORS) && messages.find("warning") != std::string::npos) {
        messages += sourceName + "(1): error: warnings treated as errors\n";
        return finish(nullptr);
    }
    std::vector<std::uint8_t> bytes = SerializeShaderInfo(info);
    return finish(new Blob(bytes.data(), bytes.size()));
}
