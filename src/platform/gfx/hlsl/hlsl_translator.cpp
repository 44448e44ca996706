// HLSL -> glslang -> SPIR-V -> SPIRV-Cross -> GLSL 4.50, then the driver's
// verdict through the check a device registered.
#include "platform/gfx/hlsl/hlsl_translator.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <regex>

#include "platform/gfx/gfx_stats.h"
#include "platform/gfx/hlsl/glsl_emit.h"
#include "platform/gfx/hlsl/hlsl_includes.h"
#include "platform/gfx/hlsl/hlsl_rewrite.h"
#include "platform/gfx/hlsl/macro_limit.h"
#include "platform/gfx/hlsl/source_text.h"
#include "platform/gfx/hlsl/spirv_passes.h"
#include "platform/system/large_stack.h"

namespace gfx {

namespace {

std::once_flag g_processOnce;
ShaderCompileTimes g_lastTimes;

std::mutex g_checksMutex;
std::vector<std::pair<const void*, DriverCheck>> g_checks;

double MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

EShLanguage LanguageOf(Stage stage)
{
    switch (stage) {
    case Stage::Vertex: return EShLangVertex;
    case Stage::Compute: return EShLangCompute;
    case Stage::Pixel: break;
    }
    return EShLangFragment;
}

struct FrontEnd {
    std::vector<std::uint32_t> spirv;
    Diagnostics diagnostics;
    std::map<std::string, std::string> texts;  // every file read, by the name the messages use
    bool rewritten = false;                    // a rewrite changed some text
    Diagnostics cuts;                          // texts cut at a zero byte: said with any failure
};

// A failed step's messages start at first: a cut text is most likely why.
bool FailWithCuts(Diagnostics& d, std::size_t first, const Diagnostics& cuts)
{
    d.insert(d.begin() + std::ptrdiff_t(std::min(first, d.size())), cuts.begin(), cuts.end());
    return false;
}

// HLSL to SPIR-V. False on failure (an error among the diagnostics says why).
bool RunGlslang(const HlslRequest& request, const std::string& sourceName, const Target& target,
                const SourceRewrite& rewrite, bool debugInfo, FrontEnd& out)
{
    EShLanguage language = LanguageOf(target.stage);
    glslang::TShader shader(language);
    // The text ends at its first zero byte, as with the real compiler's C strings.
    Diagnostics& cuts = out.cuts;
    std::string source = UpToNul(sourceName, request.source, cuts);
    source.erase(0, ByteOrderMarkLength(source.data(), source.size()));
    out.texts[sourceName] = source;
    const std::string raw = source;
    Diagnostics rewritten;
    source = rewrite.Apply(sourceName, source, rewritten);
    std::string preamble;
    for (const D3D_SHADER_MACRO* d = request.defines; d && d->Name; ++d)
        preamble += std::string("#define ") + d->Name + " " + (d->Definition ? d->Definition : "") + "\n";
    IncludeBridge includer(request.include, sourceName, raw, [&](const std::string& file, const std::string& included) {
        std::string text = UpToNul(file, included, cuts);
        out.texts[file] = text;
        return rewrite.Apply(file, text, rewritten);
    });
    // Macros are weighed before glslang expands them: the defines, then the
    // text with each include where it is included, read through the includer
    // that glslang is then handed.
    MacroLimit macros;
    Diagnostics tooLarge;
    macros.Read(sourceName, preamble, nullptr, tooLarge);
    macros.Read(sourceName, source, &includer, tooLarge);
    if (HasErrors(tooLarge)) {
        out.diagnostics = tooLarge;
        return FailWithCuts(out.diagnostics, 0, cuts);
    }
    includer.Replay();
    const char* text = source.c_str();
    int length = int(source.size());
    const char* name = sourceName.c_str();
    shader.setStringsWithLengthsAndNames(&text, &length, &name, 1);
    if (!preamble.empty())
        shader.setPreamble(preamble.c_str());
    shader.setEntryPoint(request.entry.c_str());
    shader.setEnvInput(glslang::EShSourceHlsl, language, glslang::EShClientOpenGL, 100);
    shader.setEnvClient(glslang::EShClientOpenGL, glslang::EShTargetOpenGL_450);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    shader.setHlslIoMapping(true);
    shader.setEnvTargetHlslFunctionality1();
    shader.setAutoMapLocations(true);
    shader.setAutoMapBindings(true);
    auto rules = EShMessages(EShMsgReadHlsl | EShMsgSpvRules | EShMsgHlslOffsets);
    bool parsed = shader.parse(GetDefaultResources(), 100, false, rules, includer);
    Diagnostics& d = out.diagnostics;
    out.rewritten = !rewritten.empty();
    // A file included twice (behind a guard) is rewritten twice: one warning says enough.
    for (const Diagnostic& w : rewritten)
        if (std::none_of(d.begin(), d.end(),
                         [&](const Diagnostic& x) { return x.file == w.file && x.line == w.line && x.text == w.text; }))
            d.push_back(w);
    std::size_t first = d.size();
    ParseGlslangLog(shader.getInfoLog(), sourceName, d);
    includer.Explain(d);
    if (!parsed) {
        if (!HasErrors(Diagnostics(d.begin() + std::ptrdiff_t(first), d.end())))
            AddError(d, sourceName, "HLSL front end failed");
        return FailWithCuts(d, first, cuts);
    }
    glslang::TProgram program;
    program.addShader(&shader);
    bool linked = program.link(rules) && program.mapIO();
    first = d.size();
    ParseGlslangLog(program.getInfoLog(), sourceName, d);
    if (!linked) {
        if (!HasErrors(Diagnostics(d.begin() + std::ptrdiff_t(first), d.end())))
            AddError(d, sourceName, "HLSL link failed");
        return FailWithCuts(d, first, cuts);
    }
    spv::SpvBuildLogger logger;
    glslang::SpvOptions options;
    options.generateDebugInfo = debugInfo;
    options.disableOptimizer = true;
    glslang::GlslangToSpv(*program.getIntermediate(language), out.spirv, &logger, &options);
    if (out.spirv.empty()) {
        first = d.size();
        AddError(d, sourceName, "SPIR-V generation failed: " + logger.getAllMessages());
        return FailWithCuts(d, first, cuts);
    }
    return true;
}

// What Direct3D accepts with a warning and glslang refuses, found in
// glslang's errors: adds to rewrite what another attempt should change.
bool PlanRewrite(const FrontEnd& attempt, SourceRewrite& rewrite)
{
    static const std::regex overload("'([A-Za-z_][A-Za-z0-9_]*)' : no matching overloaded function found.*");
    bool more = false;
    for (const Diagnostic& d : attempt.diagnostics) {
        if (d.severity != Severity::Error)
            continue;
        std::smatch m;
        if (std::regex_match(d.text, m, overload)) {
            SourceRewrite::Call call{d.file, d.line, m[1], {}};
            std::vector<std::string> texts;
            for (const auto& text : attempt.texts)
                texts.push_back(text.second);
            if (!attempt.texts.count(d.file) || !TruncatableParameters(texts, call.function, call.scalar) ||
                rewrite.truncate.count(call))
                continue;
            rewrite.truncate.insert(call);
            more = true;
        }
    }
    return more;
}

void AppendHint(Diagnostic& d, const std::string& hint)
{
    while (!d.text.empty() && d.text.back() == ' ')
        d.text.pop_back();
    d.text += " (" + hint + ")";
}

// Where no rewrite helped, the error says what to change.
void AddHints(FrontEnd& attempt)
{
    static const std::regex unknown("'([A-Za-z_][A-Za-z0-9_]*)' : unknown variable.*");
    static const std::regex overload("'([A-Za-z_][A-Za-z0-9_]*)' : no matching overloaded function found.*");
    for (Diagnostic& d : attempt.diagnostics) {
        if (d.severity != Severity::Error)
            continue;
        std::smatch m;
        std::string text = d.text;
        if (std::regex_match(text, m, unknown)) {
            std::string name = m[1];
            for (const auto& t : attempt.texts)
                if (DeclaresLoopVariable(t.second, name)) {
                    AppendHint(d, "a for loop's variable used after the loop: declare " + name + " before the loop");
                    break;
                }
        } else if (std::regex_match(text, m, overload)) {
            std::string name = m[1];
            for (const auto& t : attempt.texts)
                if (HasScalarParameter(t.second, name)) {
                    AppendHint(d, "to pass one component of a vector to a scalar parameter, write .x");
                    break;
                }
        }
    }
}

// The one place where SPIR-V words go from glslang to SPIRV-Cross.
bool SpirvToGlsl(std::vector<std::uint32_t> spirv, const Target& target, const GlslOptions& options, ShaderInfo& info,
                 Diagnostics& diagnostics, const std::string& sourceName)
{
    std::string passError;
    if (!RunHlslPasses(spirv, &passError)) {
        AddError(diagnostics, sourceName, passError);
        return false;
    }
    info.spirv = spirv;
    return TranslateToGlsl(std::move(spirv), target, options, info, diagnostics, sourceName);
}

// Runs a step of the translation on a large stack. A step that runs out of
// memory fails with an error instead of ending the program.
bool OnLargeStack(Diagnostics& diagnostics, const std::string& sourceName, const std::function<bool()>& step)
{
    bool ok = false;
    try {
        platform::RunWithLargeStack([&] { ok = step(); });
    } catch (const std::bad_alloc&) {
        AddError(diagnostics, sourceName, "out of memory while translating the shader");
        ok = false;
    }
    return ok;
}

DriverVerdict CheckOnDriver(const ShaderInfo& info)
{
    std::vector<DriverCheck> checks;
    {
        std::lock_guard<std::mutex> lock(g_checksMutex);
        for (auto it = g_checks.rbegin(); it != g_checks.rend(); ++it)
            checks.push_back(it->second);
    }
    for (const DriverCheck& check : checks) {
        DriverVerdict v = check(info);
        if (v.checked)
            return v;
    }
    return {};
}

}  // namespace

void SetDriverCheck(const void* owner, DriverCheck check)
{
    std::lock_guard<std::mutex> lock(g_checksMutex);
    for (auto& c : g_checks)
        if (c.first == owner) {
            c.second = std::move(check);
            return;
        }
    g_checks.emplace_back(owner, std::move(check));
}

void ClearDriverCheck(const void* owner)
{
    std::lock_guard<std::mutex> lock(g_checksMutex);
    for (auto it = g_checks.begin(); it != g_checks.end(); ++it)
        if (it->first == owner) {
            g_checks.erase(it);
            return;
        }
}

HlslResult TranslateHlsl(const HlslRequest& request)
{
    EnsureCompilerProcess();
    g_lastTimes = {};
    HlslResult result;
    Diagnostics& diagnostics = result.diagnostics;
    const std::string sourceName = request.sourceName.empty() ? "memory" : request.sourceName;
    auto finish = [&](bool produced) {
        result.ok = produced && !HasErrors(diagnostics);
        if (!result.ok && !HasErrors(diagnostics))
            AddError(diagnostics, sourceName, "no code generated");
        return result;
    };

    Target target;
    if (!ParseTarget(request.target.c_str(), target)) {
        AddError(diagnostics, sourceName, "unsupported target '" + request.target + "'");
        return finish(false);
    }
    if (request.sourceMissing) {
        AddError(diagnostics, sourceName, "no source text");
        return finish(false);
    }
    if (request.entry.empty()) {
        AddError(diagnostics, sourceName, "no entry point");
        return finish(false);
    }

    // Everything up to the GLSL recurses as deep as the text nests (a generated
    // expression of thousands of terms): it runs on a large stack. The driver's
    // check needs this thread's context and runs here.
    SourceRewrite rewrite;
    Diagnostics cuts;
    bool ok = OnLargeStack(diagnostics, sourceName, [&] {
        auto t0 = std::chrono::steady_clock::now();
        rewrite.loops = true;
        FrontEnd front;
        bool done = false;
        for (int attempt = 0; attempt < 4; ++attempt) {
            front = FrontEnd();
            done = RunGlslang(request, sourceName, target, rewrite, false, front);
            if (done || !PlanRewrite(front, rewrite))
                break;
        }
        if (!done && front.rewritten) {
            // A rewrite must never cost a shader that glslang takes as it is.
            SourceRewrite plain;
            FrontEnd asWritten;
            if (RunGlslang(request, sourceName, target, plain, false, asWritten)) {
                rewrite = plain;
                front = std::move(asWritten);
                done = true;
            }
        }
        g_lastTimes.glslang = MsSince(t0);
        if (!done)
            AddHints(front);
        diagnostics.insert(diagnostics.end(), front.diagnostics.begin(), front.diagnostics.end());
        if (!done)
            return false;

        auto t1 = std::chrono::steady_clock::now();
        cuts = front.cuts;
        const std::size_t first = diagnostics.size();
        done = SpirvToGlsl(std::move(front.spirv), target, {}, result.info, diagnostics, sourceName);
        g_lastTimes.spirvCross = MsSince(t1);
        return done || FailWithCuts(diagnostics, first, cuts);
    });
    if (!ok)
        return finish(false);

    auto t2 = std::chrono::steady_clock::now();
    DriverVerdict verdict = CheckOnDriver(result.info);
    if (verdict.checked && !verdict.ok) {
        // Find the HLSL line: translate again with line directives and let the
        // driver report against those.
        std::string located = verdict.log;
        FrontEnd lined;
        ShaderInfo linedInfo;
        Diagnostics ignored;
        GlslOptions options;
        options.lineDirectives = true;
        if (OnLargeStack(ignored, sourceName, [&] {
                return RunGlslang(request, sourceName, target, rewrite, true, lined) &&
                       SpirvToGlsl(std::move(lined.spirv), target, options, linedInfo, ignored, sourceName);
            })) {
            DriverVerdict again = CheckOnDriver(linedInfo);
            if (again.checked && !again.ok)
                located = again.log;
        }
        FailWithCuts(diagnostics, diagnostics.size(), cuts);
        ParseDriverLog(located, sourceName, diagnostics);
        g_lastTimes.driver = MsSince(t2);
        return finish(false);
    }
    g_lastTimes.driver = MsSince(t2);

    if (request.warningsAreErrors && HasSeverity(diagnostics, Severity::Warning)) {
        AddError(diagnostics, sourceName, "warnings treated as errors");
        return finish(false);
    }
    return finish(true);
}

bool MakeSrgbVariant(const ShaderInfo& info, std::uint32_t srgbMask, std::string& glsl)
{
    if (info.spirv.empty())
        return false;
    ShaderInfo variant;
    Diagnostics ignored;
    GlslOptions options;
    options.srgbMask = srgbMask;
    if (!OnLargeStack(ignored, "variant", [&] {
            return TranslateToGlsl(info.spirv, TargetOfRecord(info), options, variant, ignored, "variant");
        }))
        return false;
    glsl = std::move(variant.glsl);
    return true;
}

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
            HlslRequest r;
            r.source = w[0];
            r.entry = w[1];
            r.target = w[2];
            Target t;
            ParseTarget(w[2], t);
            FrontEnd ignored;
            RunGlslang(r, "memory", t, SourceRewrite(), false, ignored);
        }
    });
}

ShaderCompileTimes LastShaderCompileTimes()
{
    return g_lastTimes;
}

}  // namespace gfx
